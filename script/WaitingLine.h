#pragma once

#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QString>

#include <cstdio>

namespace tarsion {

// Waits for the reply of a D-Bus call while showing, once the call has run for a second, a line
// "waiting for NAME... N s" on a terminal, rewritten in place every second and erased when the
// reply arrives. The event loop runs meanwhile; nothing else of the script does.
class CWaitingLine {
public:
    static constexpr int kShowAfterMs = 1000;

    // `terminal` is where the line goes (standard error when it is a terminal).
    explicit CWaitingLine(std::FILE* terminal) : terminal_(terminal) {}

    QDBusMessage Wait(const QDBusPendingCall& call, const QString& name);

    // Standard error when it is a terminal, otherwise null: nobody would see the line.
    static std::FILE* Terminal();

private:
    void Show(const QString& name, qint64 seconds);
    void Erase();

    std::FILE* terminal_;
};

} // namespace tarsion
