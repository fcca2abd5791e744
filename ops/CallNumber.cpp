#include "ops/CallNumber.h"

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

bool CCallNumber::Within(double largest) const {
    if (!refused_)
        return true;
    if (value_ == std::floor(value_) && value_ >= 0 && value_ <= largest)
        return true;
    *refused_ = true;
    return false;
}

std::uint8_t CCallNumber::Byte() const {
    return Within(0xff) ? AutomationByte(value_) : 0;
}

std::uint32_t CCallNumber::Word() const {
    return Within(0xffffffff) ? AutomationWord(value_) : 0;
}

} // namespace tarsion
