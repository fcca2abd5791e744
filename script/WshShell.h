#pragma once

#include <QObject>
#include <QString>

namespace tarsion {

// WScript.CreateObject("WScript.Shell"): the two methods bench scripts use.
class CWshShell final : public QObject {
    Q_OBJECT
public:
    explicit CWshShell(bool hasDisplay, QObject* parent = nullptr)
        : QObject(parent), hasDisplay_(hasDisplay) {}

    // Starts a command line; with `wait` returns its exit status, otherwise 0.
    Q_INVOKABLE int Run(const QString& command, int windowStyle = 1, bool wait = false);
    // A message box; without a display the text goes to standard output and -1 (no button) comes back.
    Q_INVOKABLE int Popup(const QString& text, int secondsToWait = 0, const QString& title = QString(),
                          int type = 0);

private:
    bool hasDisplay_;
};

} // namespace tarsion
