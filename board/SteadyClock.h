#pragma once

#include <chrono>

namespace tarsion {

// Time source of every wait on the board (Busy time-outs, the reset pulse, the soft reset).
// Tests replace it so that time-outs cost no real time.
class ISteadyClock {
public:
    using time_point = std::chrono::steady_clock::time_point;
    virtual ~ISteadyClock() = default;
    virtual time_point Now() = 0;
};

class SystemSteadyClock final : public ISteadyClock {
public:
    time_point Now() override { return std::chrono::steady_clock::now(); }
};

} // namespace tarsion
