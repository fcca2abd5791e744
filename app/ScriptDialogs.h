#pragma once

#include <QString>

#include <map>
#include <string>

class QWidget;

namespace tarsion {

// The questions the script commands ask the user. Tests answer them without windows.
class IScriptDialogs {
public:
    virtual ~IScriptDialogs() = default;
    // Open-file dialogs; an empty string when the user cancels.
    virtual QString ChooseScript() = 0;
    virtual QString ChooseRecordingFile() = 0;
    // Start Recording onto a file that exists: true to replace it.
    virtual bool ConfirmReplace(const QString& path) = 0;
    // Dialog 189 "Install Windows Scripting Host ??": true for "OK".
    virtual bool AskInstallScriptHost() = 0;
    virtual void ShowMessage(const QString& text) = 0;
};

// The same questions as dialogs over the main window.
class CScriptDialogs final : public IScriptDialogs {
public:
    // `folders`: the document's folder memory; scripts and recordings open in the last script folder.
    CScriptDialogs(QWidget* parent, std::map<std::string, std::string>& folders)
        : parent_(parent), folders_(folders) {}

    QString ChooseScript() override;
    QString ChooseRecordingFile() override;
    bool ConfirmReplace(const QString& path) override;
    bool AskInstallScriptHost() override;
    void ShowMessage(const QString& text) override;

private:
    QString ChooseFile(const QString& title, const QString& filter, bool mustExist);

    QWidget* parent_;
    std::map<std::string, std::string>& folders_;
};

} // namespace tarsion
