#pragma once

#include "board/SteadyClock.h"

#include <chrono>

namespace tarsion::test {

// A steady clock that moves forward by `step` each time it is read, so time-outs cost no real time.
class FakeClock final : public ISteadyClock {
public:
    explicit FakeClock(std::chrono::steady_clock::duration step = std::chrono::milliseconds(1))
        : step_(step) {}
    time_point Now() override {
        now_ += step_;
        ++reads_;
        return now_;
    }
    // Time passed since the clock was made.
    std::chrono::steady_clock::duration Elapsed() const { return now_ - time_point{}; }
    long Reads() const { return reads_; }

private:
    std::chrono::steady_clock::duration step_;
    time_point now_{};
    long reads_ = 0;
};

} // namespace tarsion::test
