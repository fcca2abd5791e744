#include "board/ChipRegisters.h"

namespace tarsion {

namespace {
constexpr std::uint32_t kAny = 0xFFFFFFFF;

constexpr std::array<std::optional<ChipRegisterInfo>, 32> MakeTable() {
    std::array<std::optional<ChipRegisterInfo>, 32> t{};
    t[0x00] = ChipRegisterInfo{"MemoryControl", 1, 0xFF};
    t[0x01] = ChipRegisterInfo{"DeviceConfig", 4, kAny};
    t[0x02] = ChipRegisterInfo{"FifoControl", 4, kAny};
    t[0x03] = ChipRegisterInfo{"IChannelControl", 4, kAny};
    t[0x04] = ChipRegisterInfo{"QChannelControl", 4, kAny};
    t[0x05] = ChipRegisterInfo{"GainControl", 4, kAny};
    t[0x06] = ChipRegisterInfo{"DlfControl", 4, kAny};
    t[0x07] = ChipRegisterInfo{"LockDetectControl", 4, kAny};
    t[0x08] = ChipRegisterInfo{"InterruptStatus", 1, 0xFF};
    t[0x09] = ChipRegisterInfo{"InterruptEnable", 1, 0xFF};
    t[0x0A] = ChipRegisterInfo{"CarrierFrequency", 4, kAny};
    t[0x0B] = ChipRegisterInfo{"SymbolFrequency", 4, kAny};
    t[0x0C] = ChipRegisterInfo{"DlfUpperLimit", 4, kAny};
    t[0x0D] = ChipRegisterInfo{"DlfLowerLimit", 4, kAny};
    t[0x0E] = ChipRegisterInfo{"FifoResetStrobe", 1, 1};
    t[0x0F] = ChipRegisterInfo{"MemoryLoadStrobe", 1, 1};
    t[0x10] = ChipRegisterInfo{"SoftReset", 1, 1};
    t[0x11] = ChipRegisterInfo{"CoefRamPreload", 3, 0x7FFFF};
    t[0x12] = ChipRegisterInfo{"FifoWriteStrobe", 1, 1};
    t[0x1F] = ChipRegisterInfo{"TestRegister", 4, kAny};
    return t;
}

constexpr auto kTable = MakeTable();
} // namespace

const std::array<std::optional<ChipRegisterInfo>, 32>& ChipRegisterTable() {
    return kTable;
}

bool IsChipRegister(std::uint8_t address) {
    return address < kTable.size() && kTable[address].has_value();
}

} // namespace tarsion
