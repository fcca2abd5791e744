// What the window tells about the board and how it keeps its layout: the status bar's fields, the
// layout across runs, the log's newest line, the page keys and the help window's keys.
#include "AppTestSupport.h"
#include "app/AppSettings.h"
#include "app/DocumentHost.h"
#include "app/LogWindow.h"
#include "app/MainFrame.h"
#include "app/ReadOutFailedDialog.h"
#include "app/StatusStrip.h"
#include "app/TarsionApp.h"
#include "board/PacedPort.h"
#include "ops/MemoryReadBack.h"
#include "support/FakePpdev.h"
#include "support/ScriptedPrompt.h"
#include "views/SignalViewMenu.h"

#include <QApplication>
#include <QComboBox>
#include <QDockWidget>
#include <QFile>
#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>
#include <QSettings>
#include <QSplitter>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <gtest/gtest.h>

#include <functional>
#include <sstream>

namespace tarsion {
namespace {

// A window over the given port, as the program builds it.
struct Bench {
    explicit Bench(std::unique_ptr<IPortBackend> port) {
        host = std::make_unique<CDocumentHost>(std::move(port), prompt);
        window = std::make_unique<CMainFrame>(host->Doc(), host->Ops(), prompt, files, settings);
        window->show();
    }
    // The initial read-out; a failed one enters demo mode.
    bool ReadOut() {
        return host->StartUp(settings, [] { return ReadOutChoice::EnterDemoMode; });
    }
    const CStatusStrip& Status() {
        window->BringUpToDate();
        return window->Status();
    }

    test::ScriptedPrompt prompt;
    test::ScriptedFileChooser files;
    CAppSettings settings;
    std::unique_ptr<CDocumentHost> host;
    std::unique_ptr<CMainFrame> window;
};

std::unique_ptr<VirtualBoard> Board(const std::string& stateFile = {}) {
    auto board = std::make_unique<VirtualBoard>();
    if (!stateFile.empty())
        board->SetStateFile(stateFile);
    return board;
}

PortBinding FakePorts(test::FakeMachine& machine, std::ostream& diagnostics) {
    machine.AddPort("parport0", "888\t1912\n");
    machine.AddPort("parport1", "632\t1656\n");
    return BindPpdev(std::make_unique<test::FakePpdev>(machine), "", 0x378, diagnostics);
}

bool PageScrolls(Bench& bench) {
    auto* scroll = qobject_cast<QScrollArea*>(bench.window->Page());
    return scroll && scroll->verticalScrollBar()->isVisible();
}

class WindowStateTest : public ::testing::Test {
protected:
    WindowStateTest() { test::ClearSettings(); }
};

TEST_F(WindowStateTest, StatusBarNamesThePortAndWhetherABoardAnswers) {
    static SystemSteadyClock clock;
    test::FakeMachine machine;
    std::ostringstream diagnostics;
    struct Case {
        const char* name;
        std::function<std::unique_ptr<IPortBackend>()> port;
        bool readOut;
        const char* portText;
        const char* boardText;
    };
    const Case cases[] = {
        {"sim", [] { return Board(); }, true, "Virtual board", CStatusStrip::kBoardAnswers},
        {"sim:FILE", [] { return Board("/tmp/state/board.txt"); }, true, "Virtual board — board.txt",
         CStatusStrip::kBoardAnswers},
        {"sim-paced:FILE", [] { return std::make_unique<CPacedPort>(Board("/tmp/board.txt"), clock); }, false,
         "Virtual board at real-port pace — board.txt", CStatusStrip::kNotRead},
        {"ppdev", [&] { return FakePorts(machine, diagnostics).backend; }, false, "/dev/parport0 at 0x378",
         CStatusStrip::kNotRead},
        {"demo",
         [] {
             auto board = Board();
             board->InjectFault(VirtualBoard::Fault::NotConnected);
             return board;
         },
         true, "Virtual board", CStatusStrip::kDemoMode},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bench bench(c.port());
        if (c.readOut)
            bench.ReadOut();
        EXPECT_EQ(bench.Status().PortField().text(), QString::fromUtf8(c.portText));
        EXPECT_EQ(bench.Status().BoardField().text(), QString::fromUtf8(c.boardText));
        const bool demo = bench.host->Link().IsDemo();
        EXPECT_EQ(demo, c.boardText == CStatusStrip::kDemoMode);
        EXPECT_EQ(bench.window->windowTitle().contains(QStringLiteral("DEMO MODE")), demo);
        EXPECT_EQ(bench.Status().BoardField().styleSheet().contains(QStringLiteral("background")), demo);
    }
}

// The cause the port layer knows reaches the start-up dialog, with its remedy.
TEST_F(WindowStateTest, StartUpDialogNamesWhyNoBoardAnswers) {
    test::FakeMachine machine; // the kernel lists no parallel port
    std::ostringstream diagnostics;
    QStringList causes;
    test::ScriptedPrompt prompt;
    test::ScriptedFileChooser files;
    StartUpServices services;
    services.connectSessionBus = [] { return true; };
    services.bindPort = [&](const BoardChoice&) {
        return BindPpdev(std::make_unique<test::FakePpdev>(machine), "", 0x378, diagnostics);
    };
    services.askAfterFailedReadOut = [&](QWidget*, const QString& cause) {
        causes.append(cause);
        return causes.size() < 2 ? ReadOutChoice::Retry : ReadOutChoice::EnterDemoMode;
    };
    services.prompt = &prompt;
    services.files = &files;
    CTarsionApp app(std::move(services));
    ASSERT_TRUE(app.StartUp({QStringLiteral("tarsion")}));
    ASSERT_EQ(causes.size(), 2);
    EXPECT_EQ(causes[0], causes[1]);
    EXPECT_TRUE(causes[0].contains(QStringLiteral("no parallel port found")));
    EXPECT_TRUE(causes[0].contains(QStringLiteral("TARSION_PORT=sim")));
    EXPECT_EQ(app.MainWindow().Status().BoardField().text(), QString::fromUtf8(CStatusStrip::kDemoMode));
    EXPECT_EQ(app.MainWindow().Status().PortField().text(), QStringLiteral("No parallel port at 0x378"));

    CReadOutFailedDialog dialog(nullptr, causes[0]);
    auto* shown = dialog.findChild<QLabel*>(QStringLiteral("cause"));
    ASSERT_NE(shown, nullptr);
    EXPECT_FALSE(shown->isHidden());
    EXPECT_EQ(shown->text(), QStringLiteral("Why: ") + causes[0]);
    EXPECT_TRUE(CReadOutFailedDialog().findChild<QLabel*>(QStringLiteral("cause"))->isHidden());
    app.MainWindow().close();
    app.ShutDown();
}

TEST_F(WindowStateTest, StatusBarFollowsTheBoardPageTheBoardAndTheRecording) {
    test::FakeMachine machine;
    std::ostringstream diagnostics;
    Bench bench(FakePorts(machine, diagnostics).backend);
    bench.window->ShowPage(5);
    auto* port = bench.window->Page()->findChild<QComboBox*>(QStringLiteral("port"));
    ASSERT_NE(port, nullptr);
    const struct {
        int index;
        const char* text;
    } bases[] = {
        {2, "/dev/parport1 at 0x278"}, {0, "No parallel port at 0x3bc"}, {1, "/dev/parport0 at 0x378"}};
    for (const auto& base : bases) {
        port->setCurrentIndex(base.index);
        emit port->activated(base.index);
        EXPECT_EQ(bench.Status().PortField().text(), QString::fromLatin1(base.text));
    }

    // A board that stops answering is no longer said to answer.
    auto board = Board();
    VirtualBoard& unplugged = *board;
    Bench virtualBench(std::move(board));
    std::uint32_t value = 0;
    EXPECT_TRUE(virtualBench.host->Ops().Peek(0x0A, value));
    EXPECT_EQ(virtualBench.Status().BoardField().text(), QString::fromLatin1(CStatusStrip::kBoardAnswers));
    unplugged.InjectFault(VirtualBoard::Fault::NotConnected);
    EXPECT_FALSE(virtualBench.host->Ops().Peek(0x0A, value));
    EXPECT_EQ(virtualBench.Status().BoardField().text(), QString::fromLatin1(CStatusStrip::kNoAnswer));
    // A board that holds Busy answers no more than an unplugged one, until an exchange gets through.
    const struct {
        VirtualBoard::Fault fault;
        bool answers;
        const char* text;
    } exchanges[] = {{VirtualBoard::Fault::None, true, CStatusStrip::kBoardAnswers},
                     {VirtualBoard::Fault::BusyNeverReleased, false, CStatusStrip::kNoAnswer},
                     {VirtualBoard::Fault::None, true, CStatusStrip::kBoardAnswers},
                     {VirtualBoard::Fault::BusyNeverAsserted, false, CStatusStrip::kNoAnswer},
                     {VirtualBoard::Fault::None, true, CStatusStrip::kBoardAnswers}};
    for (const auto& exchange : exchanges) {
        unplugged.ClearFault();
        if (exchange.fault != VirtualBoard::Fault::None)
            unplugged.InjectFault(exchange.fault);
        EXPECT_EQ(virtualBench.host->Ops().Peek(0x0A, value), exchange.answers);
        EXPECT_EQ(virtualBench.Status().BoardField().text(), QString::fromUtf8(exchange.text));
    }

    QTemporaryDir dir;
    ASSERT_TRUE(bench.host->Doc().StartRecording(dir.filePath(QStringLiteral("macro1.js")).toStdString()));
    bench.window->SetRecordingIndicator(true);
    EXPECT_EQ(bench.Status().RecordingField().text(), QStringLiteral("Recording macro1.js"));
    EXPECT_TRUE(bench.Status().RecordingField().isVisible());
    bench.host->Doc().StopRecording();
    bench.window->SetRecordingIndicator(false);
    EXPECT_FALSE(bench.Status().RecordingField().isVisible());
}

TEST_F(WindowStateTest, LayoutComesBackAfterARestart) {
    QList<int> sizes;
    {
        Bench first(Board());
        first.window->resize(900, 760);
        first.window->window()->move(40, 30);
        first.window->SignalViews().FilterDock().show();
        QApplication::processEvents();
        auto* splitter = first.window->findChild<QSplitter*>();
        splitter->setSizes({150, splitter->height() - 150 - splitter->handleWidth()});
        sizes = splitter->sizes();
        first.window->close();
    }
    Bench second(Board());
    second.window->hide();
    EXPECT_TRUE(second.window->RestoreLayout());
    second.window->show();
    QApplication::processEvents();
    EXPECT_EQ(second.window->size(), QSize(900, 760));
    EXPECT_TRUE(second.window->SignalViews().FilterDock().isVisible());
    EXPECT_FALSE(second.window->SignalViews().PatternDock().isVisible());
    EXPECT_EQ(second.window->findChild<QSplitter*>()->sizes(), sizes);
}

TEST_F(WindowStateTest, PageSwitchesKeepARestoredOrDraggedSplitter) {
    // Every page gets the chosen height, or the height its controls need when that is more (no
    // scroll bar above an empty log), as long as the log keeps a few lines; the next page the chosen
    // height again.
    const auto switchPages = [](Bench& bench, QSplitter& splitter, const QList<int>& sizes) {
        const int logLines = 6 * bench.window->LogWindow().fontMetrics().lineSpacing();
        for (int page : {4, 5, 0, 2, 3, 1}) {
            SCOPED_TRACE(page);
            bench.window->TabBar().setCurrentIndex(page);
            QApplication::processEvents();
            // The page scrolls only where the log is down to its few lines.
            const bool scrolls = PageScrolls(bench);
            EXPECT_TRUE(!scrolls || splitter.sizes().at(1) < logLines + 80) << splitter.sizes().at(1);
            EXPECT_TRUE(splitter.sizes().at(0) >= sizes.at(0) || splitter.sizes().at(1) < logLines + 80);
            EXPECT_EQ(splitter.sizes().at(0) + splitter.sizes().at(1), sizes.at(0) + sizes.at(1));
        }
    };
    const int heights[] = {120, 520};
    for (const int height : heights) {
        SCOPED_TRACE(height);
        test::ClearSettings();
        QList<int> dragged;
        {
            Bench first(Board());
            first.window->resize(900, 900);
            QApplication::processEvents();
            auto* splitter = first.window->findChild<QSplitter*>();
            // What a drag of the handle leaves: new sizes, then the signal only a drag emits.
            splitter->setSizes({height, splitter->height() - height - splitter->handleWidth()});
            dragged = splitter->sizes();
            emit splitter->splitterMoved(height, 1);
            switchPages(first, *splitter, dragged);
            first.window->close();
        }
        Bench second(Board());
        second.window->hide();
        ASSERT_TRUE(second.window->RestoreLayout());
        second.window->show();
        QApplication::processEvents();
        auto* splitter = second.window->findChild<QSplitter*>();
        ASSERT_EQ(splitter->sizes(), dragged);
        switchPages(second, *splitter, dragged);
    }
}

// The window never resizes itself: a view whose figures grow by a line each load scrolls them.
TEST_F(WindowStateTest, WindowKeepsItsSizeWhileAViewFillsItsFigures) {
    Bench bench(Board());
    ASSERT_TRUE(bench.ReadOut());
    bench.window->resize(1100, 600);
    bench.window->SignalViews().FilterDock().show();
    QApplication::processEvents();
    const QSize size = bench.window->size();
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("lp.coe")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("1\n2\n3\n4\n5\n6\n7\n0.1 0.2\n0.3 0.1\n0.2 0.05\n");
    file.close();
    CBoardOperations& ops = bench.host->Ops();
    ASSERT_TRUE(ops.LoadCoefficientRam(2, file.fileName().toStdString(), true, 1, false, 0, false, false));
    for (ChipMemory memory : {ChipMemory::CoefficientI, ChipMemory::CoefficientQ, ChipMemory::Constellation})
        CMemoryVerifier(ops).Verify(memory);
    for (int i = 0; i < 12; ++i)
        bench.host->Doc().MarkMemoryChanged(ChipMemory::CoefficientI,
                                            "WriteMemory changed this memory again");
    bench.host->Doc().UpdateAllViews();
    for (int i = 0; i < 5; ++i)
        QApplication::processEvents();
    EXPECT_EQ(bench.window->size(), size);
}

TEST_F(WindowStateTest, HostileLayoutSettingsAreIgnored) {
    const QVariant values[] = {QStringLiteral("garbage"), QByteArray("\x01\xd9\xd0\xcb\x00\x03", 6),
                               QByteArray(100000, '\xff'), QByteArray(), 12345};
    for (const QVariant& value : values) {
        SCOPED_TRACE(value.toString().left(20).toStdString());
        {
            QSettings settings(QStringLiteral("Tessaric"), QStringLiteral("Tarsion"));
            for (const char* key : {"WindowGeometry", "WindowState", "Splitter"})
                settings.setValue(QStringLiteral("Settings/") + QString::fromLatin1(key), value);
        }
        Bench bench(Board());
        const QSize size = bench.window->size();
        EXPECT_FALSE(bench.window->RestoreLayout());
        EXPECT_EQ(bench.window->size(), size);
        EXPECT_FALSE(bench.window->SignalViews().FilterDock().isVisible());
    }
}

TEST_F(WindowStateTest, PageKeepsItsHeightAndTheLogItsNewestLine) {
    Bench bench(Board());
    bench.window->resize(800, 1400);
    QApplication::processEvents();
    CLogWindow& log = bench.window->LogWindow();
    for (int i = 0; i < 300; ++i)
        bench.host->Doc().LogLine("line " + std::to_string(i), 1);
    log.BringUpToDate();
    QScrollBar* bar = log.verticalScrollBar();
    ASSERT_GT(bar->maximum(), 0);
    auto* splitter = bench.window->findChild<QSplitter*>();
    for (int page : {4, 5, 0, 2, 3, 1}) {
        SCOPED_TRACE(page);
        bench.window->TabBar().setCurrentIndex(page);
        QApplication::processEvents();
        // A tall window: every page shows all its controls, without a scroll bar.
        EXPECT_FALSE(PageScrolls(bench));
        EXPECT_GE(splitter->sizes().at(1), 6 * log.fontMetrics().lineSpacing());
        EXPECT_EQ(bar->value(), bar->maximum());
    }
    bench.window->SignalViews().PatternDock().show();
    QApplication::processEvents();
    EXPECT_EQ(bar->value(), bar->maximum());

    // Scrolled up by the user, the log stays there.
    bar->setValue(10);
    bench.window->TabBar().setCurrentIndex(4);
    QApplication::processEvents();
    EXPECT_EQ(bar->value(), 10);
}

TEST_F(WindowStateTest, PageKeysStepThroughThePagesAndHelpClosesByKey) {
    Bench bench(Board());
    QApplication::setActiveWindow(bench.window.get());
    CLogWindow& log = bench.window->LogWindow();
    log.setFocus();
    const struct {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        int page;
    } steps[] = {
        {Qt::Key_Tab, Qt::ControlModifier, 1},
        {Qt::Key_PageDown, Qt::ControlModifier, 2},
        {Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier, 1},
        {Qt::Key_PageUp, Qt::ControlModifier, 0},
        {Qt::Key_PageUp, Qt::ControlModifier, 5},
        {Qt::Key_Tab, Qt::ControlModifier, 0},
    };
    for (const auto& step : steps) {
        QTest::keyClick(QApplication::focusWidget(), step.key, step.modifiers);
        EXPECT_EQ(bench.window->CurrentPage(), step.page);
        EXPECT_EQ(bench.window->TabBar().currentIndex(), step.page);
    }

    for (const QKeySequence& close : {QKeySequence(Qt::Key_Escape), QKeySequence(Qt::CTRL | Qt::Key_W)}) {
        SCOPED_TRACE(close.toString().toStdString());
        bench.window->Action(QStringLiteral("helpTopics")).trigger();
        auto* help = bench.window->findChild<QTextBrowser*>();
        ASSERT_NE(help, nullptr);
        ASSERT_TRUE(help->isVisible());
        QApplication::setActiveWindow(help);
        help->setFocus();
        QTest::keySequence(help, close);
        EXPECT_FALSE(help->isVisible());
    }
}

} // namespace
} // namespace tarsion
