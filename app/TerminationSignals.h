#pragma once

#include <QObject>

#include <functional>

class QSocketNotifier;

namespace tarsion {

// SIGTERM, SIGINT and SIGHUP as a request to end the program the way File > Exit does. The signal
// handler only writes the signal number into a pipe, which any turn of the GUI thread's event loop
// reads, also the loop of a dialog. The first signal asks at once for dialogs to close and a load
// to stop (interruptRequested); the end itself waits until the program runs (Arm) and no operation
// is running any more. One instance at a time.
class CTerminationSignals final : public QObject {
    Q_OBJECT
public:
    // The signals are caught from here on.
    explicit CTerminationSignals(QObject* parent = nullptr);
    // The default actions come back.
    ~CTerminationSignals() override;
    CTerminationSignals(const CTerminationSignals&) = delete;
    CTerminationSignals& operator=(const CTerminationSignals&) = delete;

    // Once the program runs: requests, those already caught too, reach terminationRequested.
    void Arm(std::function<bool()> busy);
    // A signal has been caught.
    bool Requested() const { return caught_ != 0; }

signals:
    // Emitted once, with the first signal caught, whatever runs.
    void interruptRequested(int signal);
    // Emitted once, with the first signal caught, when armed and not busy.
    void terminationRequested(int signal);

private:
    void ReadPipe();
    void Deliver();

    int readEnd_ = -1;
    QSocketNotifier* notifier_ = nullptr;
    std::function<bool()> busy_;
    int caught_ = 0;
    bool armed_ = false;
    bool waiting_ = false;
    bool delivered_ = false;
};

} // namespace tarsion
