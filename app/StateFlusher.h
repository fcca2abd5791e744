#pragma once

#include <QObject>
#include <QTimer>

#include <string>

namespace tarsion {

class IKeptState;

// Writes a kept board state (the virtual board of `sim:FILE`) soon after it changes: a burst of
// changes gives one write per interval, so a crash loses at most that fraction of a second. A state
// that takes long to write (a full pattern memory is 5.5 MB) waits ten times its writing time, so
// writing never takes more than a tenth of the program's time.
class CStateFlusher final : public QObject {
public:
    static constexpr int kIntervalMs = 250;
    static constexpr int kWritingShare = 10;

    explicit CStateFlusher(IKeptState& state, int intervalMs = kIntervalMs);
    ~CStateFlusher() override;

    // Writes what changed now (also the timer's work).
    void Flush();

private:
    IKeptState& state_;
    QTimer timer_;
    int intervalMs_;
    std::string lastError_;
};

} // namespace tarsion
