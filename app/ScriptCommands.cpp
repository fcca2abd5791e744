#include "app/ScriptCommands.h"

#include "app/ScriptDialogs.h"
#include "ops/TarsionDoc.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>

namespace tarsion {

namespace {

const QStringList kDesktopEditors = {
    QStringLiteral("gnome-text-editor"),
    QStringLiteral("gedit"),
    QStringLiteral("kate"),
    QStringLiteral("kwrite"),
    QStringLiteral("mousepad"),
    QStringLiteral("pluma"),
    QStringLiteral("xed"),
    QStringLiteral("featherpad"),
    QStringLiteral("geany"),
    QStringLiteral("xedit"),
};

bool StartCommandLine(const QString& commandLine) {
    QStringList words = QProcess::splitCommand(commandLine);
    if (words.isEmpty())
        return false;
    const QString program = words.takeFirst();
    return QProcess::startDetached(program, words);
}

} // namespace

CScriptCommands::CScriptCommands(CTarsionDoc& doc, IScriptDialogs& dialogs, QString scriptHost,
                                 QStringList editors, QObject* parent)
    : QObject(parent), doc_(doc), dialogs_(dialogs), scriptHost_(std::move(scriptHost)),
      editors_(std::move(editors)) {
    // The message waits for the operation that was recording to end.
    doc_.SetRecordingFailedHandler([this](const std::string& message) {
        emit recordingChanged(false);
        QTimer::singleShot(0, this,
                           [this, text = QString::fromStdString(message)] { dialogs_.ShowMessage(text); });
    });
}

CScriptCommands::~CScriptCommands() {
    doc_.SetRecordingFailedHandler({});
}

CScriptCommands::CScriptCommands(CTarsionDoc& doc, IScriptDialogs& dialogs, QObject* parent)
    : CScriptCommands(doc, dialogs,
                      QCoreApplication::applicationDirPath() + QStringLiteral("/tarsion-script"),
                      kDesktopEditors, parent) {}

void CScriptCommands::ChooseAndRunScript() {
    const QString path = dialogs_.ChooseScript();
    if (!path.isEmpty())
        RunScript(path);
}

void CScriptCommands::RunScript(const QString& path) {
    const QString fullPath = QFileInfo(path).absoluteFilePath();
    if (!QProcess::startDetached(scriptHost_, {fullPath})) {
        if (!dialogs_.AskInstallScriptHost())
            return;
        InstallScriptHost();
    }
    doc_.titleText = "TRM90627:  " + path.toStdString();
    emit recentFileAdded(path);
}

void CScriptCommands::InstallScriptHost() {
    const QString installer = QString::fromStdString(doc_.startDirectory) + QStringLiteral("/ste51en.exe");
    if (!QProcess::startDetached(installer, {QStringLiteral("ste51en")}))
        dialogs_.ShowMessage(QStringLiteral("Couldn't install Windows Scripting host\nPlease make sure "
                                            "ste51en.exe is in the program's directory"));
}

void CScriptCommands::NewScript() {
    if (!StartEditor())
        dialogs_.ShowMessage(
            QStringLiteral("Couldn't Run Notepad\nMake sure notepad.exe is installed in c:\\windows"));
}

bool CScriptCommands::StartEditor() {
    const QString visual = qEnvironmentVariable("VISUAL");
    if (!visual.isEmpty() && StartCommandLine(visual))
        return true;
    for (const QString& editor : editors_) {
        const QString program = QStandardPaths::findExecutable(editor);
        if (!program.isEmpty() && QProcess::startDetached(program, {}))
            return true;
    }
    return false;
}

void CScriptCommands::ToggleRecording() {
    if (doc_.IsRecording()) {
        doc_.StopRecording();
        emit recordingChanged(false);
        return;
    }
    QString path = dialogs_.ChooseRecordingFile();
    if (path.isEmpty())
        return;
    if (QFileInfo(path).suffix() != QLatin1String("js"))
        path += QStringLiteral(".js");
    // Starting a recording empties the file: one that exists is kept unless the user says otherwise.
    if (QFileInfo::exists(path) && !dialogs_.ConfirmReplace(path))
        return;
    if (!doc_.StartRecording(path.toStdString())) {
        dialogs_.ShowMessage(QStringLiteral("Error: Couldn't access specified file"));
        return;
    }
    emit recordingChanged(true);
}

} // namespace tarsion
