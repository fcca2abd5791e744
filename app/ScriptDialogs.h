#pragma once

#include <QString>

class QWidget;

namespace tarsion {

// The questions the script commands ask the user. Tests answer them without windows.
class IScriptDialogs {
public:
    virtual ~IScriptDialogs() = default;
    // Open-file dialogs; an empty string when the user cancels.
    virtual QString ChooseScript() = 0;
    virtual QString ChooseRecordingFile() = 0;
    // Dialog 189 "Install Windows Scripting Host ??": true for "OK".
    virtual bool AskInstallScriptHost() = 0;
    virtual void ShowMessage(const QString& text) = 0;
};

// The same questions as dialogs over the main window.
class CScriptDialogs final : public IScriptDialogs {
public:
    explicit CScriptDialogs(QWidget* parent) : parent_(parent) {}

    QString ChooseScript() override;
    QString ChooseRecordingFile() override;
    bool AskInstallScriptHost() override;
    void ShowMessage(const QString& text) override;

private:
    QWidget* parent_;
};

} // namespace tarsion
