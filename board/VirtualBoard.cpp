#include "board/VirtualBoard.h"

#include "board/ChipRegisters.h"

#include <filesystem>
#include <iostream>

namespace tarsion {

namespace {
constexpr std::uint16_t kStatusOffset = 1;
constexpr std::uint16_t kControlOffset = 2;
constexpr std::uint16_t kEcrOffset = 0x402;

// Control bits: nInit is not inverted by the port; bit 5 turns the data lines to input.
constexpr std::uint8_t kControlInitHigh = 0x04;
constexpr std::uint8_t kControlInput = 0x20;

// Status: nAck, Select, nError and the unused low bits idle high; bit 7 is the inverted Busy.
constexpr std::uint8_t kStatusIdleLines = 0x5F;
constexpr std::uint8_t kStatusNotBusy = 0x80;
constexpr std::uint8_t kStatusPaperEnd = 0x20;
constexpr std::uint8_t kFloatingBus = 0xFF;

// Address byte and MemoryControl fields.
constexpr std::uint8_t kAddressRead = 0x80;
constexpr std::uint8_t kAddressPld = 0x40;
constexpr std::uint8_t kAddressRegister = 0x3F;
constexpr std::uint32_t kMemoryAutoIncrement = 0x40;
constexpr std::uint32_t kMemoryReadNotWrite = 0x20;
constexpr int kCoefficientChunks = 3;
constexpr int kCoefficientBytes = 9;
constexpr std::uint8_t kBoardFifoResetValue = 0xFF;

enum MemorySelect : unsigned {
    kICoefficient = 1,
    kQCoefficient = 2,
    kBothCoefficients = 3,
    kConstellation = 4
};

unsigned MemorySelectOf(std::uint32_t memoryControl) {
    return (memoryControl >> 2) & 0x7;
}

std::uint8_t ByteOf(std::uint32_t value, int index) {
    return static_cast<std::uint8_t>(value >> (8 * index));
}

// Multi-byte values in the CPLD's register files are least significant byte first.
std::uint32_t LittleEndian(const std::uint8_t* bytes, int count) {
    std::uint32_t value = 0;
    for (int i = count - 1; i >= 0; --i)
        value = (value << 8) | bytes[i];
    return value;
}

// Bits a chip register keeps: its byte count, narrowed by its largest value.
std::uint32_t KeptBits(const ChipRegisterInfo& info) {
    const std::uint32_t byteMask = info.bytes >= 4 ? 0xFFFFFFFFu : (1u << (8 * info.bytes)) - 1;
    return byteMask & info.largestValue;
}

bool IsStrobeRegister(std::uint8_t address) {
    return address == chipreg::kFifoResetStrobe || address == chipreg::kMemoryLoadStrobe ||
           address == chipreg::kSoftReset || address == chipreg::kFifoWriteStrobe;
}
} // namespace

VirtualBoard::VirtualBoard(std::uint16_t base) : base_(base) {}

void VirtualBoard::WritePort(std::uint16_t port, std::uint8_t value) {
    ++portWrites_;
    if (port == base_) {
        protocol_.DataWritten(data_, value, control_);
        data_ = value;
    } else if (port == base_ + kControlOffset) {
        SetControl(value);
        if (!changed_) {
            changed_ = true;
            saved_ = false;
            if (changeListener_)
                changeListener_();
        }
    } else if (port == base_ + kEcrOffset)
        ecr_ = value;
}

std::uint8_t VirtualBoard::ReadPort(std::uint16_t port) {
    ++portReads_;
    if (port == base_ + kStatusOffset)
        return Status();
    if (port == base_)
        return DataLines();
    if (port == base_ + kControlOffset)
        return control_;
    if (port == base_ + kEcrOffset)
        return ecr_;
    return kFloatingBus;
}

std::uint32_t VirtualBoard::LargestStoredChipValue(std::uint8_t address) {
    if (!IsChipRegister(address) || IsStrobeRegister(address))
        return 0;
    return KeptBits(*ChipRegisterTable()[address]);
}

void VirtualBoard::SetChangeListener(std::function<void()> listener) {
    changeListener_ = std::move(listener);
    if (changed_ && changeListener_)
        changeListener_();
}

bool VirtualBoard::SaveChangedState(std::string& error) {
    if (stateFile_.empty() || (saved_ && !changed_))
        return true;
    changed_ = false;
    saved_ = SaveState(stateFile_, error);
    return saved_;
}

void VirtualBoard::Unbind() {
    if (protocol_.Violations() != 0)
        std::cerr << "tarsion: the virtual board saw " << protocol_.Violations()
                  << " protocol violations; the first: " << protocol_.FirstViolation() << '\n';
    std::string error;
    if (!SaveChangedState(error))
        std::cerr << "tarsion: " << error << '\n';
}

void VirtualBoard::InjectFault(Fault fault, std::uint64_t fromCycle) {
    fault_ = fault;
    faultFromCycle_ = fromCycle;
}

void VirtualBoard::ClearFault() {
    fault_ = Fault::None;
    faultFromCycle_ = 0;
    busyStuck_ = false;
    busy_ = false;
}

void VirtualBoard::ResetCounters() {
    portWrites_ = 0;
    portReads_ = 0;
    cycles_ = 0;
}

bool VirtualBoard::FaultActive(Fault fault, std::uint64_t cycle) const {
    return fault_ == fault && cycle >= faultFromCycle_;
}

std::uint8_t VirtualBoard::Status() const {
    std::uint8_t status = kStatusIdleLines;
    if (!busy_)
        status |= kStatusNotBusy;
    // The presence check comes before the strobe, so the fault shows for the cycle about to start.
    if (FaultActive(Fault::NotConnected, cycles_ + 1))
        status |= kStatusPaperEnd;
    return status;
}

std::uint8_t VirtualBoard::DataLines() const {
    if (!(control_ & kControlInput))
        return data_;
    return driving_ ? ThroughCable(driven_) : kFloatingBus;
}

void VirtualBoard::InjectDataLineFault(int line, DataLineFault fault) {
    lineFault_ = fault;
    faultyLine_ = static_cast<std::uint8_t>(1u << (line & 7));
}

bool VirtualBoard::InjectDataLineFault(std::string_view setting) {
    const std::pair<std::string_view, DataLineFault> kinds[] = {{"low", DataLineFault::StuckLow},
                                                                {"high", DataLineFault::StuckHigh},
                                                                {"invert", DataLineFault::Inverted}};
    if (setting.size() < 3 || setting[0] < '0' || setting[0] > '7' || setting[1] != ':')
        return false;
    for (const auto& [name, fault] : kinds) {
        if (setting.substr(2) == name) {
            InjectDataLineFault(setting[0] - '0', fault);
            return true;
        }
    }
    return false;
}

std::uint8_t VirtualBoard::ThroughCable(std::uint8_t driven) const {
    switch (lineFault_) {
    case DataLineFault::StuckLow:
        return static_cast<std::uint8_t>(driven & ~faultyLine_);
    case DataLineFault::StuckHigh:
        return static_cast<std::uint8_t>(driven | faultyLine_);
    case DataLineFault::Inverted:
        return static_cast<std::uint8_t>(driven ^ faultyLine_);
    case DataLineFault::None:
        break;
    }
    return driven;
}

void VirtualBoard::SetControl(std::uint8_t value) {
    const bool resetAsserted = (control_ & kControlInitHigh) && !(value & kControlInitHigh);
    protocol_.ControlWritten(control_, value, busy_);
    control_ = value;
    if (resetAsserted)
        ResetChip();
    const Strobe strobe = DecodeCpldStrobe(value);
    if (strobe == strobe_)
        return;
    if (strobe_ != Strobe::None)
        EndStrobe();
    if (strobe != Strobe::None)
        BeginStrobe(strobe);
}

void VirtualBoard::BeginStrobe(Strobe strobe) {
    strobe_ = strobe;
    ++cycles_;
    if (FaultActive(Fault::NotConnected, cycles_) || FaultActive(Fault::BusyNeverAsserted, cycles_))
        return;
    busy_ = true;
    if (FaultActive(Fault::BusyNeverReleased, cycles_))
        busyStuck_ = true;
    switch (strobe) {
    case Strobe::DataWrite:
        latchedData_ = data_;
        break;
    case Strobe::AddressWrite:
        CommitAddress(data_);
        break;
    case Strobe::DataRead:
        driven_ = ReadRegister(readSelect_ & kAddressPld, readSelect_ & kAddressRegister);
        driving_ = true;
        break;
    case Strobe::AddressRead:
    case Strobe::None:
        break;
    }
}

void VirtualBoard::EndStrobe() {
    strobe_ = Strobe::None;
    driving_ = false;
    if (!busyStuck_)
        busy_ = false;
}

void VirtualBoard::ResetChip() {
    ++boardResets_;
    contents_.chip.fill(0);
    loadChunk_ = 0;
    readAddress_ = 0;
    readByte_ = 0;
}

void VirtualBoard::CommitAddress(std::uint8_t address) {
    if (address & kAddressRead)
        readSelect_ = address & ~kAddressRead;
    else
        WriteRegister(address & kAddressPld, address & kAddressRegister, latchedData_);
}

void VirtualBoard::WriteRegister(bool pld, std::uint8_t reg, std::uint8_t value) {
    if (pld) {
        contents_.pld[reg] = value;
        if (reg == pldreg::kAddress2)
            ExternalMemoryAccess();
        return;
    }
    contents_.bridge[reg] = value;
    switch (reg) {
    case bridgereg::kChipWriteAddress:
        ChipWrite(value);
        break;
    case bridgereg::kChipReadAddress:
        ChipRead(value);
        break;
    case bridgereg::kMemoryReadAddress:
        readAddress_ = value;
        readByte_ = 0;
        break;
    case bridgereg::kFifoReset:
        if (value == kBoardFifoResetValue)
            ++fifoResets_;
        break;
    default:
        break;
    }
}

std::uint8_t VirtualBoard::ReadRegister(bool pld, std::uint8_t reg) {
    if (pld)
        return contents_.pld[reg];
    if (reg == bridgereg::kMemoryReadData)
        contents_.bridge[reg] = NextMemoryReadByte();
    return contents_.bridge[reg];
}

// The CPLD carries all four bridge data bytes; the chip keeps what its register holds. The chip's
// input FIFO is not modelled: its strobes store nothing and FIFO reads give zeros.
void VirtualBoard::ChipWrite(std::uint8_t address) {
    if (!IsChipRegister(address))
        return;
    const std::uint32_t word = LittleEndian(contents_.bridge.data(), 4);
    const std::uint32_t kept = word & KeptBits(*ChipRegisterTable()[address]);
    switch (address) {
    case chipreg::kMemoryLoadStrobe:
        MemoryLoadStrobe(word);
        return;
    case chipreg::kSoftReset:
        ++softResets_;
        return;
    case chipreg::kFifoResetStrobe:
    case chipreg::kFifoWriteStrobe:
        return;
    case chipreg::kInterruptStatus:
        contents_.chip[address] &= ~kept;
        return;
    case chipreg::kMemoryControl: {
        const int wordSelect = static_cast<int>(kept & 0x3);
        loadChunk_ = wordSelect < kCoefficientChunks ? wordSelect : 0;
        readByte_ = 0;
        break;
    }
    default:
        break;
    }
    contents_.chip[address] = kept;
}

void VirtualBoard::ChipRead(std::uint8_t address) {
    const bool readable = IsChipRegister(address) && !IsStrobeRegister(address);
    const std::uint32_t value = readable ? contents_.chip[address] : 0;
    for (int i = 0; i < 4; ++i)
        contents_.bridge[i] = ByteOf(value, i);
}

// Word: data in bits 23..0, RAM address in bits 31..24.
void VirtualBoard::MemoryLoadStrobe(std::uint32_t word) {
    const std::uint32_t control = contents_.chip[chipreg::kMemoryControl];
    if (control & kMemoryReadNotWrite)
        return;
    const unsigned select = MemorySelectOf(control);
    const std::uint8_t address = ByteOf(word, 3);
    if (select == kConstellation) {
        contents_.constellation[address] = ByteOf(word, 2);
        return;
    }
    if (select < kICoefficient || select > kBothCoefficients)
        return;
    for (int which = 0; which < 2; ++which) {
        if (!(select & (1u << which)))
            continue;
        CoefficientWord& target = contents_.coefficient[which][address];
        for (int i = 0; i < 3; ++i)
            target[3 * loadChunk_ + i] = ByteOf(word, i);
    }
    loadChunk_ = (loadChunk_ + 1) % kCoefficientChunks;
}

std::uint8_t VirtualBoard::NextMemoryReadByte() {
    const std::uint32_t control = contents_.chip[chipreg::kMemoryControl];
    if (!(control & kMemoryReadNotWrite))
        return 0;
    const bool autoIncrement = control & kMemoryAutoIncrement;
    const unsigned select = MemorySelectOf(control);
    if (select == kConstellation) {
        const std::uint8_t value = contents_.constellation[readAddress_];
        if (autoIncrement)
            ++readAddress_;
        return value;
    }
    if (select < kICoefficient || select > kBothCoefficients)
        return 0;
    const int which = select == kQCoefficient ? 1 : 0;
    const std::uint8_t value = contents_.coefficient[which][readAddress_][readByte_];
    if (++readByte_ == kCoefficientBytes) {
        readByte_ = 0;
        if (autoIncrement)
            ++readAddress_;
    }
    return value;
}

void VirtualBoard::ExternalMemoryAccess() {
    const std::uint32_t address = LittleEndian(&contents_.pld[pldreg::kAddress0], 3);
    std::uint32_t& word = contents_.pattern[address & (kPatternWords - 1)];
    if (address & pldreg::kReadFlag) {
        for (int i = 0; i < 3; ++i)
            contents_.pld[pldreg::kReadData0 + i] = ByteOf(word, i);
        return;
    }
    word = LittleEndian(&contents_.pld[pldreg::kWriteData0], 3);
}

std::uint32_t VirtualBoard::ChipRegister(std::uint8_t address) const {
    return address < contents_.chip.size() ? contents_.chip[address] : 0;
}

void VirtualBoard::SetChipRegister(std::uint8_t address, std::uint32_t value) {
    if (address < contents_.chip.size())
        contents_.chip[address] = value;
}

std::uint8_t VirtualBoard::BridgeRegister(std::uint8_t reg) const {
    return reg < contents_.bridge.size() ? contents_.bridge[reg] : 0;
}

void VirtualBoard::SetBridgeRegister(std::uint8_t reg, std::uint8_t value) {
    if (reg < contents_.bridge.size())
        contents_.bridge[reg] = value;
}

std::uint8_t VirtualBoard::PldRegister(std::uint8_t reg) const {
    return reg < contents_.pld.size() ? contents_.pld[reg] : 0;
}

void VirtualBoard::SetPldRegister(std::uint8_t reg, std::uint8_t value) {
    if (reg < contents_.pld.size())
        contents_.pld[reg] = value;
}

const VirtualBoard::CoefficientWord& VirtualBoard::CoefficientRam(int which, std::uint8_t address) const {
    return contents_.coefficient[which == 0 ? 0 : 1][address];
}

void VirtualBoard::SetCoefficientRam(int which, std::uint8_t address, const CoefficientWord& word) {
    contents_.coefficient[which == 0 ? 0 : 1][address] = word;
}

std::uint8_t VirtualBoard::ConstellationRam(std::uint8_t address) const {
    return contents_.constellation[address];
}

void VirtualBoard::SetConstellationRam(std::uint8_t address, std::uint8_t value) {
    contents_.constellation[address] = value;
}

std::uint32_t VirtualBoard::PatternWord(std::uint32_t address) const {
    return contents_.pattern[address & (kPatternWords - 1)];
}

void VirtualBoard::SetPatternWord(std::uint32_t address, std::uint32_t value) {
    contents_.pattern[address & (kPatternWords - 1)] = value & 0xFFFFFF;
}

std::uint32_t VirtualBoard::PatternStart() const {
    return LittleEndian(&contents_.pld[pldreg::kPatternStart0], 3);
}

bool VirtualBoard::Sending() const {
    return contents_.pld[pldreg::kPatternSender] & 1;
}

// Only the file's name: the status bar has no room for a path.
std::string VirtualBoard::Describe(std::uint16_t /*base*/) const {
    if (stateFile_.empty())
        return std::string(kVirtualBoardName);
    return std::string(kVirtualBoardName) + " — " + std::filesystem::path(stateFile_).filename().string();
}

} // namespace tarsion
