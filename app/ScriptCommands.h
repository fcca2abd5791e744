#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

namespace tarsion {

class CTarsionDoc;
class IScriptDialogs;

// The File menu's script commands: Run Script and Load Configuration, the recent-file entries,
// New Script and the Start Recording toggle. Scripts, the installer and the editor run as
// processes of their own that nobody waits for.
class CScriptCommands final : public QObject {
    Q_OBJECT
public:
    // `scriptHost` is the tarsion-script executable; `editors` the usual desktop editors looked
    // for on PATH when $VISUAL gives none.
    CScriptCommands(CTarsionDoc& doc, IScriptDialogs& dialogs, QString scriptHost, QStringList editors,
                    QObject* parent = nullptr);
    // The script host beside the running executable and the usual editors.
    CScriptCommands(CTarsionDoc& doc, IScriptDialogs& dialogs, QObject* parent = nullptr);
    ~CScriptCommands() override;

public Q_SLOTS:
    // Run Script and Load Configuration.
    void ChooseAndRunScript();
    // A recent-file entry, without a dialog.
    void RunScript(const QString& path);
    void NewScript();
    void ToggleRecording();

Q_SIGNALS:
    void recentFileAdded(const QString& path);
    // The Start Recording item reads "Recording" with a check mark while recording is on.
    void recordingChanged(bool recording);

private:
    void InstallScriptHost();
    bool StartEditor();

    CTarsionDoc& doc_;
    IScriptDialogs& dialogs_;
    QString scriptHost_;
    QStringList editors_;
};

} // namespace tarsion
