#include "app/TerminationSignals.h"

#include <QSocketNotifier>
#include <QTimer>

#include <array>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace tarsion {

namespace {
constexpr std::array<int, 3> kSignals{SIGTERM, SIGINT, SIGHUP};
// How often a request that arrived during an operation looks again.
constexpr int kBusyRetryMs = 50;

int writeEnd = -1;

extern "C" void OnTerminationSignal(int signal) {
    const int savedErrno = errno;
    const auto byte = static_cast<unsigned char>(signal);
    // Non-blocking: a flood of signals fills the pipe and the rest are dropped, which loses nothing.
    [[maybe_unused]] const ssize_t written = ::write(writeEnd, &byte, 1);
    errno = savedErrno;
}
} // namespace

CTerminationSignals::CTerminationSignals(QObject* parent) : QObject(parent) {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0)
        qFatal("tarsion: can't create the signal pipe");
    readEnd_ = ends[0];
    writeEnd = ends[1];
    struct sigaction action {};
    action.sa_handler = OnTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : kSignals)
        ::sigaction(signal, &action, nullptr);
    notifier_ = new QSocketNotifier(readEnd_, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &CTerminationSignals::ReadPipe);
}

CTerminationSignals::~CTerminationSignals() {
    for (const int signal : kSignals)
        ::signal(signal, SIG_DFL);
    delete notifier_;
    ::close(writeEnd);
    ::close(readEnd_);
    writeEnd = -1;
}

void CTerminationSignals::Arm(std::function<bool()> busy) {
    busy_ = std::move(busy);
    armed_ = true;
    // From the event loop the program is about to run, not from inside its start.
    if (caught_ != 0 && !waiting_) {
        waiting_ = true;
        QTimer::singleShot(0, this, &CTerminationSignals::Deliver);
    }
}

void CTerminationSignals::ReadPipe() {
    unsigned char byte = 0;
    const bool first = caught_ == 0;
    while (::read(readEnd_, &byte, 1) == 1) {
        if (caught_ == 0)
            caught_ = byte;
    }
    if (first && caught_ != 0)
        emit interruptRequested(caught_);
    if (!waiting_)
        Deliver();
}

void CTerminationSignals::Deliver() {
    waiting_ = false;
    if (delivered_ || caught_ == 0 || !armed_)
        return;
    if (busy_ && busy_()) {
        waiting_ = true;
        QTimer::singleShot(kBusyRetryMs, this, &CTerminationSignals::Deliver);
        return;
    }
    delivered_ = true;
    emit terminationRequested(caught_);
}

} // namespace tarsion
