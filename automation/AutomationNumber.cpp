#include "automation/AutomationNumber.h"

#include <cmath>

namespace tarsion {

std::uint64_t AutomationInteger(double value) {
    if (!std::isfinite(value))
        return 0;
    const double whole = std::trunc(value);
    constexpr double kTwoTo63 = 9223372036854775808.0;
    if (whole >= -kTwoTo63 && whole < kTwoTo63)
        return static_cast<std::uint64_t>(static_cast<std::int64_t>(whole));
    // fmod is exact, and a double this large is a multiple of 2^11, so the sum below is exact too.
    constexpr double kTwoTo64 = 18446744073709551616.0;
    double reduced = std::fmod(whole, kTwoTo64);
    if (reduced < 0)
        reduced += kTwoTo64;
    return static_cast<std::uint64_t>(reduced);
}

std::uint8_t AutomationByte(double value) {
    return static_cast<std::uint8_t>(AutomationInteger(value));
}

std::uint32_t AutomationWord(double value) {
    return static_cast<std::uint32_t>(AutomationInteger(value));
}

} // namespace tarsion
