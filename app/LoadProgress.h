#pragma once

#include <QElapsedTimer>
#include <QList>
#include <QPointer>
#include <QString>

#include <cstddef>
#include <functional>
#include <memory>
#include <string_view>

class QMainWindow;
class QProgressDialog;
class QWidget;

namespace tarsion {

// The progress of a load or dump. Once it has run for half a second, a modal dialog shows the task
// with a bar and Cancel, and from then on the reports let the event loop run every few
// milliseconds: the window keeps painting and can be moved while the load goes on. The dialog keeps
// input off the window, whose menu bar and toolbars are disabled meanwhile; automation calls wait,
// since the operation is still running.
class CLoadProgress {
public:
    static constexpr int kShowAfterMs = 500;
    static constexpr int kEventsEveryMs = 20;
    // How often the line under the task says how far the load is and how long it has left.
    static constexpr int kCountEveryMs = 100;

    CLoadProgress();
    ~CLoadProgress();
    CLoadProgress(const CLoadProgress&) = delete;
    CLoadProgress& operator=(const CLoadProgress&) = delete;

    void SetWindow(QMainWindow* window) { window_ = window; }
    // Told the task when the dialog opens and an empty text when it closes.
    void SetTaskListener(std::function<void(const QString& task)> listener) {
        taskListener_ = std::move(listener);
    }

    // False once the user has pressed Cancel (or closed the dialog).
    bool Report(std::string_view task, std::size_t done, std::size_t total);
    void End();
    // The program is ending: this load and every later one stop at their next report.
    void CancelAll() { cancelledAll_ = true; }

    // The dialog while it shows, else null.
    QProgressDialog* Dialog() const { return dialog_.get(); }

private:
    void Open(std::string_view task, std::size_t total);
    void DisableCommands();

    QPointer<QMainWindow> window_;
    QElapsedTimer running_;
    QElapsedTimer sinceEvents_;
    QElapsedTimer sinceCount_;
    std::unique_ptr<QProgressDialog> dialog_;
    QList<QPointer<QWidget>> disabled_;
    std::function<void(const QString& task)> taskListener_;
    bool cancelledAll_ = false;
};

} // namespace tarsion
