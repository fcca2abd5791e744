#include "board/RegisterShadow.h"

#include <cmath>

namespace tarsion {

namespace {
constexpr std::uint8_t kLockDetectControl = 0x07;
constexpr std::uint8_t kFirstNotifyingBridgeReg = 8;
constexpr std::uint8_t kPatternSenderReg = 12;
} // namespace

bool RegisterShadow::UsableClockPin(double hz) {
    constexpr double kLargestPllGain = 128.0;
    return std::isfinite(hz * kLargestPllGain);
}

double RegisterShadow::SysClkFor(double clockPin, std::uint32_t value) {
    const bool analogPll = ((value >> 24) & 0x3) == 0x3;
    if (!analogPll)
        return clockPin;
    const int vcoShift = static_cast<int>((value >> 28) & 0x7);
    const int clkShift = static_cast<int>((value >> 26) & 0x3);
    return clockPin * std::ldexp(1.0, vcoShift) / std::ldexp(1.0, clkShift);
}

void RegisterShadow::RecomputeSysClk() {
    sysClk_ = SysClkFor(clockPin_, chip_[kLockDetectControl]);
}

void RegisterShadow::StoreChipReg(std::uint8_t reg, std::uint32_t value) {
    if (reg >= kChipRegisters)
        return;
    chip_[reg] = value;
    if (reg == kLockDetectControl)
        RecomputeSysClk();
    Notify();
}

std::uint32_t RegisterShadow::FetchChipReg(std::uint8_t reg) const {
    return reg < kChipRegisters ? chip_[reg] : 0;
}

void RegisterShadow::StoreBridgeReg(std::uint8_t reg, std::uint8_t value) {
    if (reg >= kBridgeRegisters)
        return;
    bridge_[reg] = value;
    if (reg >= kFirstNotifyingBridgeReg)
        Notify();
}

std::uint8_t RegisterShadow::FetchBridgeReg(std::uint8_t reg) const {
    return reg < kBridgeRegisters ? bridge_[reg] : 0;
}

void RegisterShadow::StorePldReg(std::uint8_t reg, std::uint8_t value) {
    if (reg >= kPldRegisters)
        return;
    pld_[reg] = value;
    if (reg == kPatternSenderReg)
        Notify();
}

std::uint8_t RegisterShadow::FetchPldReg(std::uint8_t reg) const {
    return reg < kPldRegisters ? pld_[reg] : 0;
}

void RegisterShadow::Notify() const {
    if (changed_)
        changed_();
}

} // namespace tarsion
