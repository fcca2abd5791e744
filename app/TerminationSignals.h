#pragma once

#include <QObject>

#include <functional>

class QSocketNotifier;

namespace tarsion {

// SIGTERM, SIGINT and SIGHUP as a request to end the program the way File > Exit does. The signal
// handler only writes the signal number into a pipe; the request is read by the event loop of
// the GUI thread, so it never interrupts an operation, and it waits while `busy` says that one is
// still running (inside one of its message boxes). One instance at a time.
class CTerminationSignals final : public QObject {
    Q_OBJECT
public:
    // The signals are caught from here on; until Arm() requests only wait in the pipe.
    explicit CTerminationSignals(QObject* parent = nullptr);
    // The default actions come back.
    ~CTerminationSignals() override;
    CTerminationSignals(const CTerminationSignals&) = delete;
    CTerminationSignals& operator=(const CTerminationSignals&) = delete;

    // Once the program runs: requests, those already caught too, reach terminationRequested.
    void Arm(std::function<bool()> busy);

signals:
    // Emitted once, with the first signal caught.
    void terminationRequested(int signal);

private:
    void ReadPipe();
    void Deliver();

    int readEnd_ = -1;
    QSocketNotifier* notifier_ = nullptr;
    std::function<bool()> busy_;
    int caught_ = 0;
    bool waiting_ = false;
    bool delivered_ = false;
};

} // namespace tarsion
