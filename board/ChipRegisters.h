#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace tarsion {

// One chip register: its name (accepted by the console in place of an address), how many bridge
// data registers carry it, and its largest valid value.
struct ChipRegisterInfo {
    std::string_view name;
    int bytes = 0;
    std::uint32_t largestValue = 0;
};

namespace chipreg {
inline constexpr std::uint8_t kMemoryControl = 0x00;
inline constexpr std::uint8_t kDeviceConfig = 0x01;
inline constexpr std::uint8_t kFifoControl = 0x02;
inline constexpr std::uint8_t kIChannelControl = 0x03;
inline constexpr std::uint8_t kQChannelControl = 0x04;
inline constexpr std::uint8_t kGainControl = 0x05;
inline constexpr std::uint8_t kDlfControl = 0x06;
inline constexpr std::uint8_t kLockDetectControl = 0x07;
inline constexpr std::uint8_t kInterruptStatus = 0x08;
inline constexpr std::uint8_t kInterruptEnable = 0x09;
inline constexpr std::uint8_t kCarrierFrequency = 0x0A;
inline constexpr std::uint8_t kSymbolFrequency = 0x0B;
inline constexpr std::uint8_t kDlfUpperLimit = 0x0C;
inline constexpr std::uint8_t kDlfLowerLimit = 0x0D;
inline constexpr std::uint8_t kFifoResetStrobe = 0x0E;
inline constexpr std::uint8_t kMemoryLoadStrobe = 0x0F;
inline constexpr std::uint8_t kSoftReset = 0x10;
inline constexpr std::uint8_t kCoefRamPreload = 0x11;
inline constexpr std::uint8_t kFifoWriteStrobe = 0x12;
inline constexpr std::uint8_t kTestRegister = 0x1F;
} // namespace chipreg

// The registers that hold their value (the strobes do not), in ascending order: read back after a
// reset and saved by the configuration script.
inline constexpr std::uint8_t kValueRegisters[] = {0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07,
                                                   0x08, 0x09, 0x0A, 0x0B, 0x0C, 0x0D, 0x11, 0x1F};

// Register table indexed by address 0x00..0x1F; addresses 0x13..0x1E hold no register.
const std::array<std::optional<ChipRegisterInfo>, 32>& ChipRegisterTable();
bool IsChipRegister(std::uint8_t address);

// Bridge (CPLD space 0) and PLD (CPLD space 1) register numbers with a fixed use.
namespace bridgereg {
inline constexpr std::uint8_t kChipWriteAddress = 4;
inline constexpr std::uint8_t kChipReadAddress = 5;
inline constexpr std::uint8_t kMemoryReadAddress = 6;
inline constexpr std::uint8_t kMemoryReadData = 7;
inline constexpr std::uint8_t kBoardControl = 9; // bits 1..0: DataClk source
inline constexpr std::uint8_t kFifoReset = 14;
inline constexpr std::uint8_t kDataClkMask = 0x03;
inline constexpr std::uint8_t kDataClkTristated = 0x03;
} // namespace bridgereg

namespace pldreg {
inline constexpr std::uint8_t kWriteData0 = 0;
inline constexpr std::uint8_t kReadData0 = 3;
inline constexpr std::uint8_t kAddress0 = 6;
inline constexpr std::uint8_t kAddress2 = 8;
inline constexpr std::uint8_t kPatternStart0 = 9;
inline constexpr std::uint8_t kPatternSender = 12;
inline constexpr std::uint32_t kReadFlag = 1u << 18;
} // namespace pldreg

} // namespace tarsion
