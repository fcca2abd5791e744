#pragma once

#include "app/LoadProgress.h"
#include "ops/UserPrompt.h"

#include <QMainWindow>
#include <QPointer>
#include <QString>

namespace tarsion {

// Message box with caption "Tarsion", an OK button and no icon.
void ShowTarsionMessage(QWidget* parent, const QString& text);

// The operations' way to the user: message boxes, the YES/NO question, the progress dialog of long
// loads.
class CQtUserPrompt final : public IUserPrompt {
public:
    // Dialogs are centred on the window.
    void SetWindow(QMainWindow* window) {
        window_ = window;
        progress_.SetWindow(window);
    }

    void ShowMessage(std::string_view text) override;
    bool AskYesNo(std::string_view title, std::string_view text) override;
    bool ReportProgress(std::string_view task, std::size_t done, std::size_t total) override {
        return progress_.Report(task, done, total);
    }
    void EndProgress() override { progress_.End(); }
    CLoadProgress& Progress() { return progress_; }

private:
    QPointer<QMainWindow> window_;
    CLoadProgress progress_;
};

} // namespace tarsion
