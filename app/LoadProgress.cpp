#include "app/LoadProgress.h"

#include <QCoreApplication>
#include <QMainWindow>
#include <QMenuBar>
#include <QProgressDialog>
#include <QToolBar>

#include <algorithm>
#include <climits>
#include <cmath>
#include <utility>

namespace tarsion {

namespace {
int BarValue(std::size_t count) {
    return static_cast<int>(std::min<std::size_t>(count, INT_MAX));
}

QString TaskText(std::string_view task) {
    return QString::fromUtf8(task.data(), static_cast<qsizetype>(task.size()));
}

// "12000 of 131072, about 26 s left", the time left at the pace so far.
QString CountLine(std::size_t done, std::size_t total, qint64 elapsedMs) {
    QString line = QStringLiteral("%1 of %2").arg(done).arg(total);
    if (done > 0 && done < total) {
        const double left = static_cast<double>(elapsedMs) / 1000.0 * static_cast<double>(total - done) /
                            static_cast<double>(done);
        line += QStringLiteral(", about %1 s left").arg(static_cast<qint64>(std::ceil(left)));
    }
    return line;
}
} // namespace

CLoadProgress::CLoadProgress() = default;

CLoadProgress::~CLoadProgress() {
    End();
}

bool CLoadProgress::Report(std::string_view task, std::size_t done, std::size_t total) {
    if (cancelledAll_)
        return false;
    if (!running_.isValid())
        running_.start();
    if (!dialog_) {
        if (running_.elapsed() < kShowAfterMs)
            return true;
        Open(task, total);
    }
    if (!sinceEvents_.isValid() || sinceEvents_.elapsed() >= kEventsEveryMs) {
        dialog_->setValue(BarValue(done));
        if (sinceCount_.elapsed() >= kCountEveryMs) {
            dialog_->setLabelText(TaskText(task) + u'\n' + CountLine(done, total, running_.elapsed()));
            sinceCount_.start();
        }
        // The operation is between two words here: painting, moving the window and queueing
        // automation calls are safe, and the modal dialog lets no command in.
        QCoreApplication::processEvents();
        sinceEvents_.start();
    }
    return !dialog_->wasCanceled();
}

void CLoadProgress::Open(std::string_view task, std::size_t total) {
    dialog_ = std::make_unique<QProgressDialog>(TaskText(task), QStringLiteral("Cancel"), 0, BarValue(total),
                                                window_);
    dialog_->setWindowTitle(QStringLiteral("Tarsion"));
    dialog_->setWindowModality(Qt::ApplicationModal);
    dialog_->setAutoClose(false);
    dialog_->setAutoReset(false);
    dialog_->setMinimumDuration(0);
    dialog_->show();
    DisableCommands();
    if (taskListener_)
        taskListener_(TaskText(task));
    // Events run at once, so the dialog shows with this report; the count follows once there is a pace.
    sinceEvents_.invalidate();
    sinceCount_.start();
}

void CLoadProgress::DisableCommands() {
    if (!window_)
        return;
    QList<QWidget*> bars;
    for (QToolBar* bar : window_->findChildren<QToolBar*>())
        bars.append(bar);
    bars.append(window_->menuWidget());
    for (QWidget* bar : bars) {
        if (bar && bar->isEnabled()) {
            bar->setEnabled(false);
            disabled_.append(bar);
        }
    }
}

void CLoadProgress::End() {
    running_.invalidate();
    if (dialog_ && taskListener_)
        taskListener_(QString());
    dialog_.reset();
    for (const QPointer<QWidget>& bar : std::exchange(disabled_, {})) {
        if (bar)
            bar->setEnabled(true);
    }
}

} // namespace tarsion
