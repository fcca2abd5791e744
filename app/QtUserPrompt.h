#pragma once

#include "ops/UserPrompt.h"

#include <QMainWindow>
#include <QPointer>
#include <QString>

namespace tarsion {

// Message box with caption "Tarsion", an OK button and no icon.
void ShowTarsionMessage(QWidget* parent, const QString& text);

// The operations' way to the user: message boxes, the YES/NO question, load progress in the
// status bar.
class CQtUserPrompt final : public IUserPrompt {
public:
    // Dialogs are centred on the window; progress goes to its status bar.
    void SetWindow(QMainWindow* window) { window_ = window; }

    void ShowMessage(std::string_view text) override;
    bool AskYesNo(std::string_view title, std::string_view text) override;
    void ReportProgress(std::string_view task, std::size_t done, std::size_t total) override;

private:
    QPointer<QMainWindow> window_;
    int shownPercent_ = -1;
};

} // namespace tarsion
