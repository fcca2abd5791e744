#pragma once

#include <QObject>
#include <QTimer>

#include <string>

namespace tarsion {

class IKeptState;

// Writes a kept board state (the virtual board of `sim:FILE`) soon after it changes: a burst of
// changes gives one write per interval, so a crash loses at most that fraction of a second.
class CStateFlusher final : public QObject {
public:
    static constexpr int kIntervalMs = 250;

    explicit CStateFlusher(IKeptState& state, int intervalMs = kIntervalMs);
    ~CStateFlusher() override;

    // Writes what changed now (also the timer's work).
    void Flush();

private:
    IKeptState& state_;
    QTimer timer_;
    std::string lastError_;
};

} // namespace tarsion
