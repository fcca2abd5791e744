#include "script/WshShell.h"

#include <QJSEngine>
#include <QMessageBox>
#include <QProcess>
#include <QTimer>

#include <cstdio>

namespace tarsion {

int CWshShell::Run(const QString& command, int windowStyle, bool wait) {
    (void)windowStyle; // no windows to size here
    QStringList words = QProcess::splitCommand(command);
    const QString program = words.isEmpty() ? QString() : words.takeFirst();
    if (!wait) {
        if (!program.isEmpty() && QProcess::startDetached(program, words))
            return 0;
    } else {
        QProcess process;
        process.setProcessChannelMode(QProcess::ForwardedChannels);
        process.start(program, words);
        if (process.waitForStarted(-1) && process.waitForFinished(-1))
            return process.exitCode();
    }
    qjsEngine(this)->throwError(QStringLiteral("Run: can't start \"%1\"").arg(command));
    return -1;
}

int CWshShell::Popup(const QString& text, int secondsToWait, const QString& title, int type) {
    (void)type; // OK button only
    if (!hasDisplay_) {
        std::printf("%s\n", qPrintable(text));
        std::fflush(stdout);
        return -1;
    }
    QMessageBox box(QMessageBox::NoIcon, title.isEmpty() ? QStringLiteral("tarsion-script") : title, text,
                    QMessageBox::Ok);
    bool timedOut = false;
    if (secondsToWait > 0)
        QTimer::singleShot(secondsToWait * 1000, &box, [&box, &timedOut] {
            timedOut = true;
            box.reject();
        });
    box.exec();
    return timedOut ? -1 : 1;
}

} // namespace tarsion
