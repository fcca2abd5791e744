// The File menu's script commands with the user's answers scripted.

#include "app/ScriptCommands.h"
#include "app/ScriptDialogs.h"
#include "ops/TarsionDoc.h"
#include "support/FullFileSystem.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

namespace tarsion {
namespace {

class FakeDialogs final : public IScriptDialogs {
public:
    QString ChooseScript() override { return script; }
    QString ChooseRecordingFile() override { return recordingFile; }
    bool ConfirmReplace(const QString& path) override {
        replaceQuestions << path;
        return replaceAnswer;
    }
    bool AskInstallScriptHost() override {
        ++installQuestions;
        return installAnswer;
    }
    void ShowMessage(const QString& text) override { messages << text; }

    QString script;
    QString recordingFile;
    bool installAnswer = false;
    QStringList replaceQuestions;
    bool replaceAnswer = false;
    int installQuestions = 0;
    QStringList messages;
};

const QByteArray kRecordingHeader = "var WshShell = WScript.CreateObject(\"WScript.Shell\");\n"
                                    "var Tarsion = WScript.CreateObject(\"Trm90627\");\n"
                                    "\n"
                                    "var Data;";

class ScriptCommands : public ::testing::Test {
protected:
    ScriptCommands() {
        doc.startDirectory = dir.path().toStdString();
        QObject::connect(&commands, &CScriptCommands::recentFileAdded,
                         [this](const QString& path) { recent << path; });
        QObject::connect(&commands, &CScriptCommands::recordingChanged, [this](bool recording) {
            ++itemChanges;
            itemChecked = recording;
        });
    }

    QString Path(const char* name) const { return QDir(dir.path()).filePath(QString::fromLatin1(name)); }

    // An executable shell script that writes its arguments to `witness`.
    QString Program(const char* name, const QString& witness) const {
        QFile file(Path(name));
        file.open(QIODevice::WriteOnly);
        file.write("#!/bin/sh\necho \"$@\" > '" + witness.toUtf8() + "'\n");
        file.close();
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return file.fileName();
    }

    static QByteArray WaitForFile(const QString& path) {
        const QDeadlineTimer deadline(10000);
        while (!deadline.hasExpired()) {
            QFile file(path);
            if (file.open(QIODevice::ReadOnly) && file.size() > 0)
                return file.readAll();
            QThread::msleep(20);
        }
        return {};
    }

    static QByteArray Contents(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }

    QTemporaryDir dir;
    CTarsionDoc doc;
    FakeDialogs dialogs;
    CScriptCommands commands{doc, dialogs, Program("host", Path("host-ran")), {}};
    QStringList recent;
    int itemChanges = 0;
    bool itemChecked = false;
};

TEST_F(ScriptCommands, RunScriptStartsTheHostWithTheFullPathAndNamesTheDocumentAfterIt) {
    dialogs.script = Path("bench.js");
    commands.ChooseAndRunScript();
    EXPECT_EQ(WaitForFile(Path("host-ran")), Path("bench.js").toUtf8() + "\n");
    EXPECT_EQ(doc.titleText, "TRM90627:  " + Path("bench.js").toStdString());
    EXPECT_EQ(recent, QStringList{Path("bench.js")});
    EXPECT_EQ(dialogs.installQuestions, 0);
}

TEST_F(ScriptCommands, CancellingTheFileDialogRunsNothing) {
    commands.ChooseAndRunScript();
    EXPECT_EQ(doc.titleText, "TRM90627");
    EXPECT_TRUE(recent.isEmpty());
}

TEST_F(ScriptCommands, WithoutTheHostCancelLeavesTitleAndRecentFilesAlone) {
    CScriptCommands missingHost(doc, dialogs, Path("no-such-host"), {});
    missingHost.RunScript(Path("bench.js"));
    EXPECT_EQ(dialogs.installQuestions, 1);
    EXPECT_EQ(doc.titleText, "TRM90627");
    EXPECT_TRUE(dialogs.messages.isEmpty());
}

TEST_F(ScriptCommands, WithoutTheHostOkStartsTheInstallerAndStillNamesTheDocument) {
    CScriptCommands missingHost(doc, dialogs, Path("no-such-host"), {});
    QObject::connect(&missingHost, &CScriptCommands::recentFileAdded,
                     [this](const QString& path) { recent << path; });
    dialogs.installAnswer = true;

    missingHost.RunScript(Path("bench.js")); // no installer in the start directory yet
    EXPECT_EQ(dialogs.messages,
              QStringList{QStringLiteral("Couldn't install Windows Scripting host\nPlease make sure "
                                         "ste51en.exe is in the program's directory")});
    EXPECT_EQ(doc.titleText, "TRM90627:  " + Path("bench.js").toStdString());
    EXPECT_EQ(recent, QStringList{Path("bench.js")});

    Program("ste51en.exe", Path("installer-ran"));
    missingHost.RunScript(Path("other.js"));
    EXPECT_EQ(WaitForFile(Path("installer-ran")), QByteArray("ste51en\n"));
    EXPECT_EQ(dialogs.messages.size(), 1);
}

TEST_F(ScriptCommands, NewScriptStartsTheVisualEditorOrSaysItCouldNot) {
    qputenv("VISUAL", Program("editor", Path("editor-ran")).toUtf8());
    commands.NewScript();
    EXPECT_EQ(WaitForFile(Path("editor-ran")), QByteArray("\n"));
    EXPECT_TRUE(dialogs.messages.isEmpty());

    qputenv("VISUAL", Path("no-such-editor").toUtf8());
    commands.NewScript();
    EXPECT_EQ(dialogs.messages,
              QStringList{
                  QStringLiteral("Couldn't Run Notepad\nMake sure notepad.exe is installed in c:\\windows")});
    qunsetenv("VISUAL");
}

TEST_F(ScriptCommands, RecordingAppendsJsUnlessTheExtensionIsExactlyJs) {
    dialogs.recordingFile = Path("session");
    commands.ToggleRecording();
    EXPECT_TRUE(doc.IsRecording());
    EXPECT_TRUE(itemChecked);
    commands.ToggleRecording();
    EXPECT_FALSE(doc.IsRecording());
    EXPECT_FALSE(itemChecked);
    EXPECT_EQ(itemChanges, 2);
    EXPECT_EQ(Contents(Path("session.js")), kRecordingHeader); // no line feed at the end

    dialogs.replaceAnswer = true;
    dialogs.recordingFile = Path("upper.JS");
    commands.ToggleRecording();
    commands.ToggleRecording();
    EXPECT_TRUE(QFile::exists(Path("upper.JS.js")));

    dialogs.recordingFile = Path("plain.js");
    commands.ToggleRecording();
    commands.ToggleRecording();
    EXPECT_TRUE(QFile::exists(Path("plain.js")));
    EXPECT_FALSE(QFile::exists(Path("plain.js.js")));
}

// Recording onto a file that exists keeps it until the user agrees to replace it; a new file is
// not asked about.
TEST_F(ScriptCommands, RecordingOntoAnExistingFileKeepsItUntilConfirmed) {
    dialogs.recordingFile = Path("session.js");
    commands.ToggleRecording();
    EXPECT_TRUE(dialogs.replaceQuestions.isEmpty());
    doc.RecordLine("Tarsion.Send();");
    commands.ToggleRecording();
    const QByteArray recorded = kRecordingHeader + "\nTarsion.Send();";
    EXPECT_EQ(Contents(Path("session.js")), recorded);

    // The name without ".js" asks about the file it will write.
    dialogs.recordingFile = Path("session");
    commands.ToggleRecording();
    EXPECT_EQ(dialogs.replaceQuestions, QStringList{Path("session.js")});
    EXPECT_FALSE(doc.IsRecording());
    EXPECT_EQ(itemChanges, 2);
    EXPECT_EQ(Contents(Path("session.js")), recorded);

    dialogs.replaceAnswer = true;
    commands.ToggleRecording();
    EXPECT_TRUE(doc.IsRecording());
    commands.ToggleRecording();
    EXPECT_EQ(Contents(Path("session.js")), kRecordingHeader);
}

TEST_F(ScriptCommands, AnInaccessibleRecordingFileLeavesRecordingOffAndTheItemAlone) {
    dialogs.recordingFile = Path("no-such-folder/session.js");
    commands.ToggleRecording();
    EXPECT_FALSE(doc.IsRecording());
    EXPECT_EQ(dialogs.messages, QStringList{QStringLiteral("Error: Couldn't access specified file")});
    EXPECT_EQ(itemChanges, 0);
}

// A record that can't be written unchecks the item at once; the message waits for the operation.
TEST_F(ScriptCommands, AFailedRecordWriteUnchecksTheItemAndSaysWhyAfterTheOperation) {
    test::FullFileSystem disk;
    TARSION_SKIP_UNLESS_MOUNTED(disk);
    int argc = 1;
    char name[] = "test_script_commands";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    dialogs.recordingFile = QString::fromStdString(disk.Path("session.js").string());
    commands.ToggleRecording();
    ASSERT_TRUE(itemChecked);
    disk.Fill();
    for (int i = 0; i < 10000 && doc.IsRecording(); ++i)
        doc.RecordLine("Tarsion.Send();");
    EXPECT_FALSE(doc.IsRecording());
    EXPECT_FALSE(itemChecked);
    EXPECT_EQ(itemChanges, 2);
    EXPECT_TRUE(dialogs.messages.isEmpty());
    QCoreApplication::processEvents();
    EXPECT_EQ(dialogs.messages,
              QStringList{QStringLiteral("Recording stopped: couldn't write %1 (No space left on device)")
                              .arg(dialogs.recordingFile)});
}

} // namespace
} // namespace tarsion
