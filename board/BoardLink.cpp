#include "board/BoardLink.h"

#include "board/ChipRegisters.h"

#include <chrono>

namespace tarsion {

namespace {
constexpr std::uint16_t kDataOffset = 0;
constexpr std::uint16_t kControlOffset = 2;

constexpr const char* kNotConnected = "Error: Board is either in CPLD_PROG mode or is not Connected";
constexpr const char* kDeassertTimeout = "Timed Out Waiting for ParallelPort Busy bit to deassert";
constexpr const char* kAssertTimeout = "Timed Out Waiting for ParallelPort Busy bit to assert";
constexpr const char* kInvalidAddressWrite = "Error : Invalid Address ";
constexpr const char* kInvalidAddressRead = "Error : Invalid Address";
constexpr const char* kInvalidData = "Error : Invalid Data for this Register ";

constexpr std::uint8_t Byte(std::uint32_t value, int index) {
    return static_cast<std::uint8_t>(value >> (8 * index));
}
} // namespace

CBoardLink::CBoardLink(RegisterShadow& shadow, ILogChannel& log, std::unique_ptr<IPortBackend> port,
                       ISteadyClock& clock)
    : shadow_(shadow), log_(log), port_(std::move(port)), clock_(clock) {
    WritePort(static_cast<std::uint16_t>(base_ + kEcrOffset), kEcrPs2Mode);
    WritePort(static_cast<std::uint16_t>(base_ + kControlOffset), kControlIdle);
}

CBoardLink::~CBoardLink() {
    if (port_)
        port_->Unbind();
}

void CBoardLink::WritePort(std::uint16_t port, std::uint8_t value) {
    port_->WritePort(port, value);
}

std::uint8_t CBoardLink::ReadPort(std::uint16_t port) {
    return port_->ReadPort(port);
}

void CBoardLink::Close() {
    WritePort(static_cast<std::uint16_t>(base_ + kControlOffset), kControlClosed);
}

void CBoardLink::Fail(const char* message) {
    log_.LogLine(message, 1);
}

bool CBoardLink::WaitBusy(bool wantAsserted) {
    const std::uint16_t status = static_cast<std::uint16_t>(base_ + kStatusOffset);
    ISteadyClock::time_point noted{};
    for (long polls = 1;; ++polls) {
        const bool asserted = (ReadPort(status) & kStatusBusy) == 0;
        if (asserted == wantAsserted)
            return true;
        if (polls == kPollsBeforeTimeout)
            noted = clock_.Now();
        else if (polls > kPollsBeforeTimeout && clock_.Now() - noted > std::chrono::seconds(1)) {
            // A board that leaves the handshake hanging does not answer, whatever its status bit says.
            answering_ = false;
            return false;
        }
    }
}

bool CBoardLink::WaitBusyAsserted() {
    return WaitBusy(true);
}

bool CBoardLink::WaitBusyDeasserted() {
    return WaitBusy(false);
}

bool CBoardLink::PresenceCheck() {
    answering_ = !(ReadPort(static_cast<std::uint16_t>(base_ + kStatusOffset)) & kStatusPaperEnd);
    if (!*answering_)
        Fail(kNotConnected);
    return *answering_;
}

bool CBoardLink::StrobeCycle(std::uint8_t value, std::uint8_t strobe) {
    const std::uint16_t control = static_cast<std::uint16_t>(base_ + kControlOffset);
    WritePort(control, kControlIdle);
    if (!PresenceCheck())
        return false;
    if (!WaitBusyDeasserted()) {
        Fail(kDeassertTimeout);
        return false;
    }
    WritePort(control, kControlIdle);
    WritePort(static_cast<std::uint16_t>(base_ + kDataOffset), value);
    WritePort(control, strobe);
    if (!WaitBusyAsserted()) {
        Fail(kAssertTimeout);
        WritePort(control, kControlIdle);
        return false;
    }
    WritePort(control, kControlIdle);
    if (!WaitBusyDeasserted()) {
        Fail(kDeassertTimeout);
        return false;
    }
    return true;
}

bool CBoardLink::WriteAddressByte(std::uint8_t value) {
    return StrobeCycle(value, kControlAddressStrobe);
}

bool CBoardLink::WriteDataByte(std::uint8_t value) {
    return StrobeCycle(value, kControlDataWriteStrobe);
}

bool CBoardLink::ReadDataByte(std::uint8_t& value) {
    const std::uint16_t control = static_cast<std::uint16_t>(base_ + kControlOffset);
    WritePort(control, kControlDataInput);
    if (!PresenceCheck())
        return false;
    if (!WaitBusyDeasserted()) {
        Fail(kDeassertTimeout);
        return false;
    }
    WritePort(control, kControlReadDirection);
    WritePort(control, kControlDataReadStrobe);
    if (!WaitBusyAsserted()) {
        Fail(kAssertTimeout);
        WritePort(control, kControlIdle);
        return false;
    }
    value = ReadPort(static_cast<std::uint16_t>(base_ + kDataOffset));
    WritePort(control, kControlIdle);
    if (!WaitBusyDeasserted()) {
        Fail(kDeassertTimeout);
        return false;
    }
    return true;
}

void CBoardLink::WaitMoreThan(std::chrono::steady_clock::duration span) {
    const auto noted = clock_.Now();
    while (clock_.Now() - noted <= span) {
    }
}

bool CBoardLink::ResetBoard() {
    if (demo_)
        return true;
    if (!PresenceCheck())
        return false;
    const std::uint16_t control = static_cast<std::uint16_t>(base_ + kControlOffset);
    WritePort(control, kControlResetAsserted);
    WaitMoreThan(std::chrono::seconds(1));
    WritePort(control, kControlResetReleased);
    return true;
}

void CBoardLink::StoreSpaceReg(Space space, std::uint8_t reg, std::uint8_t value) {
    if (space == Space::Bridge)
        shadow_.StoreBridgeReg(reg, value);
    else
        shadow_.StorePldReg(reg, value);
}

std::uint8_t CBoardLink::FetchSpaceReg(Space space, std::uint8_t reg) const {
    return space == Space::Bridge ? shadow_.FetchBridgeReg(reg) : shadow_.FetchPldReg(reg);
}

bool CBoardLink::WriteSpaceReg(Space space, std::uint8_t reg, std::uint8_t value) {
    // Register numbers above 63 would spill into the space and direction bits of the address byte.
    if (reg > kLargestRegisterNumber) {
        Fail(kInvalidAddressWrite);
        return false;
    }
    if (!demo_) {
        if (!WriteDataByte(value))
            return false;
        if (!WriteAddressByte(static_cast<std::uint8_t>(static_cast<std::uint8_t>(space) | reg)))
            return false;
    }
    StoreSpaceReg(space, reg, value);
    return true;
}

bool CBoardLink::ReadSpaceReg(Space space, std::uint8_t reg, std::uint8_t& value) {
    if (reg > kLargestRegisterNumber) {
        Fail(kInvalidAddressWrite);
        return false;
    }
    if (demo_) {
        value = FetchSpaceReg(space, reg);
        return true;
    }
    if (!WriteAddressByte(static_cast<std::uint8_t>(kReadDirection | static_cast<std::uint8_t>(space) | reg)))
        return false;
    std::uint8_t read = 0;
    if (!ReadDataByte(read))
        return false;
    value = read;
    StoreSpaceReg(space, reg, value);
    return true;
}

bool CBoardLink::WriteBridgeReg(std::uint8_t reg, std::uint8_t value) {
    return WriteSpaceReg(Space::Bridge, reg, value);
}

bool CBoardLink::ReadBridgeReg(std::uint8_t reg, std::uint8_t& value) {
    return ReadSpaceReg(Space::Bridge, reg, value);
}

bool CBoardLink::WritePldReg(std::uint8_t reg, std::uint8_t value) {
    return WriteSpaceReg(Space::Pld, reg, value);
}

bool CBoardLink::ReadPldReg(std::uint8_t reg, std::uint8_t& value) {
    return ReadSpaceReg(Space::Pld, reg, value);
}

bool CBoardLink::WriteChipReg(std::uint8_t address, std::uint32_t value) {
    if (!IsChipRegister(address)) {
        Fail(kInvalidAddressWrite);
        return false;
    }
    if (demo_) {
        shadow_.StoreChipReg(address, value);
        return true;
    }
    const ChipRegisterInfo& info = *ChipRegisterTable()[address];
    if (value > info.largestValue) {
        Fail(kInvalidData);
        return false;
    }
    for (int i = 0; i < info.bytes; ++i) {
        if (!WriteBridgeReg(static_cast<std::uint8_t>(i), Byte(value, i)))
            return false;
    }
    if (!WriteBridgeReg(bridgereg::kChipWriteAddress, address))
        return false;
    shadow_.StoreChipReg(address, value);
    return true;
}

bool CBoardLink::ReadChipReg(std::uint8_t address, std::uint32_t& value) {
    value = 0;
    if (!IsChipRegister(address)) {
        Fail(kInvalidAddressRead);
        return false;
    }
    if (demo_) {
        value = shadow_.FetchChipReg(address);
        return true;
    }
    if (!WriteBridgeReg(bridgereg::kChipReadAddress, address))
        return false;
    const ChipRegisterInfo& info = *ChipRegisterTable()[address];
    std::uint32_t assembled = 0;
    for (int i = 0; i < info.bytes; ++i) {
        std::uint8_t byte = 0;
        if (!ReadBridgeReg(static_cast<std::uint8_t>(i), byte)) {
            value = assembled;
            return false;
        }
        assembled |= static_cast<std::uint32_t>(byte) << (8 * i);
    }
    value = assembled;
    shadow_.StoreChipReg(address, value);
    return true;
}

bool CBoardLink::AccessChipMemory(std::uint8_t address, std::uint8_t* buffer) {
    if (demo_)
        return true;
    const std::uint32_t control = shadow_.FetchChipReg(chipreg::kMemoryControl);
    const unsigned select = (control >> 2) & 0x7;
    if (select == 0)
        return true;
    const bool autoIncrement = (control & 0x40) != 0;
    const bool read = (control & 0x20) != 0;
    if (read) {
        if (!autoIncrement && !WriteBridgeReg(bridgereg::kMemoryReadAddress, address))
            return false;
        int count = 0;
        if (select <= 3)
            count = 9;
        else if (select == 4)
            count = 1;
        else if (select == 5)
            count = 4;
        else
            return false;
        for (int i = 0; i < count; ++i) {
            if (!ReadBridgeReg(bridgereg::kMemoryReadData, buffer[i]))
                return false;
        }
        return true;
    }
    // A write is a MemoryLoadStrobe command straight through the bridge: no shadow entry, no limits.
    const auto strobe = [&](int firstByteReg, const std::uint8_t* bytes, int count) {
        for (int i = 0; i < count; ++i) {
            if (!WriteBridgeReg(static_cast<std::uint8_t>(firstByteReg + i), bytes[i]))
                return false;
        }
        return WriteBridgeReg(3, address) &&
               WriteBridgeReg(bridgereg::kChipWriteAddress, chipreg::kMemoryLoadStrobe);
    };
    if (select <= 3) {
        for (int group = 0; group < 3; ++group) {
            if (!strobe(0, buffer + 3 * group, 3))
                return false;
        }
        return true;
    }
    if (select == 4)
        return strobe(2, buffer, 1);
    return false;
}

bool CBoardLink::WriteExternalMemory(std::uint32_t address, std::uint32_t data) {
    if (demo_)
        return true;
    address &= ~pldreg::kReadFlag;
    for (int i = 0; i < 3; ++i) {
        if (!WritePldReg(static_cast<std::uint8_t>(pldreg::kWriteData0 + i), Byte(data, i))) {
            Fail("Failed to Write to Memory");
            return false;
        }
    }
    for (int i = 0; i < 3; ++i) {
        if (!WritePldReg(static_cast<std::uint8_t>(pldreg::kAddress0 + i), Byte(address, i))) {
            Fail("Failed to Write to Memory");
            return false;
        }
    }
    return true;
}

bool CBoardLink::ReadExternalMemory(std::uint32_t address, std::uint32_t& data) {
    data = 0;
    if (demo_)
        return true;
    address |= pldreg::kReadFlag;
    for (int i = 0; i < 3; ++i) {
        if (!WritePldReg(static_cast<std::uint8_t>(pldreg::kAddress0 + i), Byte(address, i))) {
            Fail("Failed to Read from Memory");
            return false;
        }
    }
    std::uint32_t assembled = 0;
    for (int i = 0; i < 3; ++i) {
        std::uint8_t byte = 0;
        if (!ReadPldReg(static_cast<std::uint8_t>(pldreg::kReadData0 + i), byte)) {
            Fail("Failed to Read From Memory");
            return false;
        }
        assembled |= static_cast<std::uint32_t>(byte) << (8 * i);
    }
    data = assembled;
    return true;
}

} // namespace tarsion
