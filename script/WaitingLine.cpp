#include "script/WaitingLine.h"

#include <QDBusPendingCallWatcher>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <unistd.h>

namespace tarsion {

std::FILE* CWaitingLine::Terminal() {
    return ::isatty(STDERR_FILENO) ? stderr : nullptr;
}

QDBusMessage CWaitingLine::Wait(const QDBusPendingCall& call, const QString& name) {
    QDBusPendingCallWatcher watcher(call);
    if (!watcher.isFinished()) {
        QEventLoop loop;
        QObject::connect(&watcher, &QDBusPendingCallWatcher::finished, &loop, &QEventLoop::quit);
        QElapsedTimer elapsed;
        elapsed.start();
        QTimer tick;
        bool shown = false;
        QObject::connect(&tick, &QTimer::timeout, [&] {
            shown = true;
            Show(name, (elapsed.elapsed() + 500) / 1000);
            tick.start(1000);
        });
        tick.setSingleShot(true);
        tick.setTimerType(Qt::PreciseTimer);
        tick.start(kShowAfterMs);
        loop.exec();
        if (shown)
            Erase();
    }
    return watcher.reply();
}

void CWaitingLine::Show(const QString& name, qint64 seconds) {
    std::fprintf(terminal_, "\rwaiting for %s... %lld s\x1b[K", qPrintable(name),
                 static_cast<long long>(seconds));
    std::fflush(terminal_);
}

void CWaitingLine::Erase() {
    std::fputs("\r\x1b[K", terminal_);
    std::fflush(terminal_);
}

} // namespace tarsion
