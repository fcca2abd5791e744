#pragma once

#include <array>
#include <cstdint>
#include <functional>

namespace tarsion {

// Last known value of every chip, bridge and PLD register, with SysClk derived from register 0x07.
// Stores notify the views (through the change handler) for every chip register, for bridge
// registers 8 to 15 and for PLD register 12. Numbers outside the arrays are ignored.
class RegisterShadow {
public:
    static constexpr int kChipRegisters = 32;
    static constexpr int kBridgeRegisters = 16;
    static constexpr int kPldRegisters = 16;
    static constexpr double kDefaultClockPin = 80e6;

    void SetChangeHandler(std::function<void()> handler) { changed_ = std::move(handler); }

    void StoreChipReg(std::uint8_t reg, std::uint32_t value);
    std::uint32_t FetchChipReg(std::uint8_t reg) const;
    void StoreBridgeReg(std::uint8_t reg, std::uint8_t value);
    std::uint8_t FetchBridgeReg(std::uint8_t reg) const;
    void StorePldReg(std::uint8_t reg, std::uint8_t value);
    std::uint8_t FetchPldReg(std::uint8_t reg) const;

    double ClockPin() const { return clockPin_; }
    void SetClockPin(double hz) { clockPin_ = hz; }
    double SysClk() const { return sysClk_; }
    void SetSysClk(double hz) { sysClk_ = hz; }
    // SysClk from the clock pin and the analog PLL fields of register 0x07 as the shadow holds it.
    void RecomputeSysClk();
    static double SysClkFor(double clockPin, std::uint32_t lockDetectControl);
    // A clock pin whose SysClk is finite however the analog PLL is set (up to 2^7 times the pin):
    // any other would show every frequency as "infHz".
    static bool UsableClockPin(double hz);

private:
    void Notify() const;

    std::array<std::uint32_t, kChipRegisters> chip_{};
    std::array<std::uint8_t, kBridgeRegisters> bridge_{};
    std::array<std::uint8_t, kPldRegisters> pld_{};
    double clockPin_ = kDefaultClockPin;
    double sysClk_ = kDefaultClockPin;
    std::function<void()> changed_;
};

} // namespace tarsion
