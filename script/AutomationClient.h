#pragma once

#include <QDBusConnection>
#include <QHash>
#include <QJSValue>
#include <QObject>
#include <QString>

#include <cstdio>

namespace tarsion {

// The script's side of the automation object: the creation request, then calls by name. Method
// names are matched without regard to case; arguments are converted to the D-Bus types the
// object's introspection data declares.
class CAutomationClient final : public QObject {
    Q_OBJECT
public:
    // The program that serves every script unless one names a board.
    static const QString kService;
    // A board's own program: this and the board's id.
    static const QString kBoardServicePrefix;
    // How long a script waits for the program of a named board to come up.
    static constexpr int kBoardWaitMs = 10000;

    // With a `terminal`, a call that runs long says there that it is being waited for. `service` is
    // the bus name of the program to drive.
    explicit CAutomationClient(QDBusConnection bus, std::FILE* terminal = nullptr, QObject* parent = nullptr,
                               QString service = kService);

    // Sends the creation request (which starts the program through D-Bus activation when none
    // runs; a named board's program can't be started so, and is waited for a while) and learns the
    // object's methods. False with the reason in `error`.
    bool Create(QString& error);

    // The method a script name stands for, or an empty string.
    Q_INVOKABLE QString resolve(const QString& name) const;
    // Calls `method` with the script's arguments (an array); throws a script error on failure.
    Q_INVOKABLE QJSValue call(const QString& method, const QJSValue& arguments);

private:
    struct Method {
        QString interface;
        QString member;
        QStringList inTypes;
    };

    bool Introspect(QString& error);
    QDBusMessage CallBlocking(const QDBusMessage& message);

    bool WaitForBoard(QString& error);

    QDBusConnection bus_;
    std::FILE* terminal_;
    QString service_;
    QHash<QString, Method> methods_; // by lower-case name
};

} // namespace tarsion
