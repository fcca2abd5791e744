#include "MainWindowFixture.h"
#include "app/LogWindow.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QStatusBar>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextBrowser>
#include <gtest/gtest.h>

namespace tarsion {
namespace {

class MainWindowTest : public test::MainWindowFixture {
protected:
    // Ctrl and `key` as the user presses them, with the log window active.
    void PressInWindow(Qt::Key key) {
        QApplication::setActiveWindow(window_.get());
        window_->LogWindow().setFocus();
        QTest::keyClick(&window_->LogWindow(), key, Qt::ControlModifier);
    }
};

TEST_F(MainWindowTest, SelectingTheShownTabKeepsItsPage) {
    QWidget* first = window_->Page();
    window_->TabBar().setCurrentIndex(0);
    emit window_->TabBar().tabBarClicked(0);
    EXPECT_EQ(window_->Page(), first);

    window_->TabBar().setCurrentIndex(3);
    EXPECT_EQ(window_->CurrentPage(), 3);
    EXPECT_NE(window_->Page(), first);
}

TEST_F(MainWindowTest, ToolbarSwitchesPagesButNotTheTabSelection) {
    window_->TabBar().setCurrentIndex(2);
    Trigger("registersView");
    EXPECT_EQ(window_->CurrentPage(), 1);
    EXPECT_EQ(window_->TabBar().currentIndex(), 2);
    // Clicking the highlighted tab brings its page back.
    emit window_->TabBar().tabBarClicked(2);
    EXPECT_EQ(window_->CurrentPage(), 2);
    Trigger("consoleView");
    EXPECT_EQ(window_->CurrentPage(), 0);
    EXPECT_EQ(window_->TabBar().currentIndex(), 2);
}

TEST_F(MainWindowTest, EditAndPrintOnlyWhileTheLogWindowIsActive) {
    EXPECT_TRUE(window_->LogWindowActive());
    EXPECT_TRUE(window_->Action(QStringLiteral("filePrint")).isEnabled());
    EXPECT_TRUE(window_->Action(QStringLiteral("editCopy")).isEnabled());
    EXPECT_FALSE(window_->Action(QStringLiteral("dumpExternalMemory")).isEnabled());
    EXPECT_FALSE(window_->Action(QStringLiteral("dumpFifo")).isEnabled());

    window_->TabBar().setCurrentIndex(4);
    EXPECT_FALSE(window_->LogWindowActive());
    for (const char* name : {"filePrint", "editUndo", "editCut", "editCopy", "editPaste"})
        EXPECT_FALSE(window_->Action(QString::fromLatin1(name)).isEnabled()) << name;
}

TEST_F(MainWindowTest, NewWritesTheNoteOnlyFromTheLogWindow) {
    int newDocuments = 0;
    QObject::connect(window_.get(), &CMainFrame::newDocumentRequested, [&] { ++newDocuments; });
    Trigger("fileNew");
    const QTextDocument* log = window_->LogWindow().document();
    EXPECT_EQ(log->findBlockByNumber(0).text(), QStringLiteral("LogWindow Stores Last 10K chars"));
    EXPECT_EQ(log->findBlockByNumber(1).text(), QStringLiteral("\tLogWindow Stores Last 10K chars"));
    EXPECT_EQ(log->findBlockByNumber(2).text(), QStringLiteral("\t\tLogWindow Stores Last 10K chars"));
    EXPECT_EQ(newDocuments, 0);

    window_->TabBar().setCurrentIndex(1);
    Trigger("fileNew");
    EXPECT_EQ(newDocuments, 1);
    EXPECT_EQ(log->blockCount(), 4);
}

TEST_F(MainWindowTest, SaveConfigurationAddsJsUnlessTheExtensionIsExactlyJs) {
    const struct {
        const char* chosen;
        const char* written;
    } cases[] = {{"setup.js", "setup.js"}, {"setup.txt", "setup.txt.js"}, {"setup.JS", "setup.JS.js"}};
    for (const auto& c : cases) {
        files_.answers = {Path(c.chosen)};
        Trigger("saveConfiguration");
        EXPECT_TRUE(QFile::exists(Path(c.written))) << c.written;
        EXPECT_EQ(window_->windowTitle(), QStringLiteral("Tessaric - TRM90627:  ") + Path(c.written));
        EXPECT_EQ(window_->RecentFiles().Files().constFirst(), Path(c.written));
    }
    EXPECT_FALSE(QFile::exists(Path("setup.txt")));
    EXPECT_EQ(files_.filters.constFirst(), QStringLiteral("Java Script Files (*.js);; All Files (*)|js"));
}

TEST_F(MainWindowTest, CancelledSaveConfigurationChangesNothing) {
    Trigger("saveConfiguration");
    EXPECT_EQ(window_->windowTitle(), QStringLiteral("Tessaric - TRM90627"));
    EXPECT_TRUE(window_->RecentFiles().Files().isEmpty());
    EXPECT_TRUE(prompt_.messages.empty());
}

TEST_F(MainWindowTest, OpenNamesTheDocumentAfterAnExistingFileAndReadsNothing) {
    {
        QFile file(Path("bench.js"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("Tarsion.Poke ( 0x0a,0x12345678 );");
    }
    files_.answers = {Path("bench.js")};
    PressInWindow(Qt::Key_O);
    EXPECT_EQ(window_->windowTitle(), QStringLiteral("Tessaric - bench.js"));
    EXPECT_EQ(window_->RecentFiles().Files(), QStringList{Path("bench.js")});
    EXPECT_EQ(board_->ChipRegister(0x0A), 0u);
    EXPECT_TRUE(prompt_.messages.empty());

    // Cancelled, or a file that is gone by now: nothing changes.
    Trigger("fileOpen");
    files_.answers = {Path("gone.js")};
    Trigger("fileOpen");
    EXPECT_EQ(window_->windowTitle(), QStringLiteral("Tessaric - bench.js"));
    EXPECT_EQ(window_->RecentFiles().Files().size(), 1);
    ASSERT_EQ(prompt_.messages.size(), 1u);
    EXPECT_EQ(prompt_.messages[0], Path("gone.js").toStdString() +
                                       "\nCannot find this file.\nPlease verify that the correct path and "
                                       "file name are given.");
}

TEST_F(MainWindowTest, SaveWritesNoFileEvenAfterOpen) {
    const QByteArray contents("WScript.Echo('mine');\n");
    {
        QFile file(Path("mine.js"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(contents);
    }
    files_.answers = {Path("mine.js")};
    Trigger("fileOpen");
    const QStringList before = QDir(dir_.path()).entryList(QDir::Files);
    const QString cwdBefore = QDir::currentPath();
    PressInWindow(Qt::Key_S);
    QFile file(Path("mine.js"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), contents);
    EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files), before);
    EXPECT_FALSE(QFile::exists(QDir(cwdBefore).filePath(QStringLiteral("mine.js"))));
    EXPECT_EQ(
        window_->statusBar()->currentMessage(),
        QStringLiteral("Nothing to save: Save Configuration stores the board's registers and memories"));
    EXPECT_EQ(files_.filters.size(), 1);
}

TEST_F(MainWindowTest, FailedSaveConfigurationIsReported) {
    files_.answers = {Path("missing-folder/setup.js")};
    Trigger("saveConfiguration");
    EXPECT_EQ(prompt_.messages, std::vector<std::string>{"Couldn't Save Settings "});
}

TEST_F(MainWindowTest, DumpsReportSuccessAndFailure) {
    {
        QFile existing(Path("i.ram"));
        ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
        existing.write("old contents that the dump replaces\n");
    }
    files_.answers = {Path("i.ram"), Path("q.ram"), Path("c.hex")};
    Trigger("dumpICoefficientRam");
    Trigger("dumpQCoefficientRam");
    Trigger("dumpConstellationRam");
    const std::vector<std::string> done{"I Coeffient Ram Dumped", "Q Coeffient Ram Dumped",
                                        "Constellation RAM Saved"};
    EXPECT_EQ(prompt_.messages, done);
    QFile dumped(Path("i.ram"));
    ASSERT_TRUE(dumped.open(QIODevice::ReadOnly));
    EXPECT_FALSE(dumped.readAll().contains("old contents"));

    prompt_.messages.clear();
    files_.answers = {Path("none/i.ram"), Path("none/q.ram"), Path("none/c.hex")};
    Trigger("dumpICoefficientRam");
    Trigger("dumpQCoefficientRam");
    Trigger("dumpConstellationRam");
    const std::vector<std::string> failed{"Couldn't Dump I Coeff RAM\nPlease see LogWindow for Details",
                                          "Couldn't Dump Coef Ram\nPlease see LogWindow for Details",
                                          "Couldn't Dump Constellation RAM\nSee LogWindow for Details"};
    EXPECT_EQ(prompt_.messages, failed);
}

TEST_F(MainWindowTest, ActionsReachTheBoardWithoutMessageBoxes) {
    Trigger("softReset");
    EXPECT_EQ(board_->SoftResets(), 1);
    Trigger("sendMemoryData");
    EXPECT_TRUE(board_->Sending());
    Trigger("stopSending");
    EXPECT_FALSE(board_->Sending());
    board_->InjectFault(VirtualBoard::Fault::NotConnected);
    Trigger("softReset");
    EXPECT_TRUE(prompt_.messages.empty());
    window_->LogWindow().BringUpToDate();
    EXPECT_NE(window_->LogWindow().toPlainText().indexOf(QStringLiteral("not Connected")), -1);
}

TEST_F(MainWindowTest, HelpTopicsShowsTheBundledManual) {
    QApplication::setActiveWindow(window_.get());
    window_->LogWindow().setFocus();
    QTest::keyClick(&window_->LogWindow(), Qt::Key_F1);
    auto* help = window_->findChild<QTextBrowser*>();
    ASSERT_NE(help, nullptr);
    EXPECT_TRUE(help->isVisible());
    EXPECT_TRUE(help->toPlainText().contains(QStringLiteral("Enter Demo Mode")));
}

TEST_F(MainWindowTest, RecordingIndicatorAndRecentEntries) {
    QAction& recording = window_->Action(QStringLiteral("startRecording"));
    window_->SetRecordingIndicator(true);
    EXPECT_EQ(recording.text(), QStringLiteral("Recording"));
    EXPECT_TRUE(recording.isChecked());
    window_->SetRecordingIndicator(false);
    EXPECT_EQ(recording.text(), QStringLiteral("Start Recording"));
    EXPECT_FALSE(recording.isChecked());

    QString chosen;
    QObject::connect(window_.get(), &CMainFrame::recentFileChosen,
                     [&](const QString& path) { chosen = path; });
    window_->RecentFiles().Add(QStringLiteral("/scripts/a.js"));
    window_->RecentFiles().Add(QStringLiteral("/scripts/b.js"));
    QAction* entry = nullptr;
    for (QAction* action : window_->findChildren<QAction*>())
        if (action->text() == QStringLiteral("&2 /scripts/a.js"))
            entry = action;
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->statusTip(), QStringLiteral("Open this document"));
    entry->trigger();
    EXPECT_EQ(chosen, QStringLiteral("/scripts/a.js"));
}

} // namespace
} // namespace tarsion
