#pragma once

#include "board/CpldProtocol.h"
#include "board/PortBackend.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tarsion {

// A model of the evaluation board behind the port primitives: the parallel port's registers, the
// CPLD's byte-cycle handshake and its bridge and PLD register files, the chip registers, both
// coefficient RAMs, the constellation RAM, the pattern memory with its start registers and sender.
// It answers at one base address (0x378 unless told otherwise); any other port reads 0xFF.
inline constexpr std::string_view kVirtualBoardName = "Virtual board";

class VirtualBoard final : public IPortBackend, public IKeptState {
public:
    static constexpr std::uint16_t kDefaultBase = kDefaultPortBase;
    static constexpr std::size_t kPatternWords = 0x40000;
    static constexpr std::size_t kCoefficientWords = 256;
    static constexpr std::size_t kConstellationEntries = 256;

    // Faults a test can inject.
    enum class Fault {
        None,
        NotConnected,      // status bit 5 set: CPLD in programming mode or cable unplugged
        BusyNeverAsserted, // strobes are ignored
        BusyNeverReleased, // the strobe acts, but Busy stays asserted after it ends
    };

    // 72-bit coefficient word as nine bytes, byte 0 = bits 7..0.
    using CoefficientWord = std::array<std::uint8_t, 9>;

    explicit VirtualBoard(std::uint16_t base = kDefaultBase);

    void WritePort(std::uint16_t port, std::uint8_t value) override;
    std::uint8_t ReadPort(std::uint16_t port) override;
    void Unbind() override;
    std::string Describe(std::uint16_t base) const override;

    // Faults. `fromCycle` numbers the strobes (address, data write and data read cycles) from 1
    // since the counters were last reset: the fault takes effect at that cycle; 0 means at once.
    void InjectFault(Fault fault, std::uint64_t fromCycle = 0);
    void ClearFault();

    // A bad cable: one data line (0..7) reads stuck at 0 or 1, or inverted, whenever the board
    // drives the lines (data read cycles). What the board stores is not affected.
    enum class DataLineFault { None, StuckLow, StuckHigh, Inverted };
    void InjectDataLineFault(int line, DataLineFault fault);
    // "LINE:low", "LINE:high" or "LINE:invert" with LINE 0..7 (TARSION_SIM_DATA_FAULT); false
    // for anything else.
    bool InjectDataLineFault(std::string_view setting);

    // Access counters.
    std::uint64_t PortWrites() const { return portWrites_; }
    std::uint64_t PortReads() const { return portReads_; }
    std::uint64_t PortAccesses() const { return portWrites_ + portReads_; }
    std::uint64_t Cycles() const { return cycles_; }
    void ResetCounters();

    // Breaches of the byte-cycle protocol since the board was made (not reset with the counters).
    const CpldProtocolMonitor& Protocol() const { return protocol_; }
    std::uint64_t ProtocolViolations() const { return protocol_.Violations(); }

    // Port register contents as the program last wrote them.
    std::uint8_t ControlRegister() const { return control_; }
    std::uint8_t EcrRegister() const { return ecr_; }
    std::uint16_t Base() const { return base_; }

    // Board state, for tests and the state file.
    std::uint32_t ChipRegister(std::uint8_t address) const;
    void SetChipRegister(std::uint8_t address, std::uint32_t value);
    std::uint8_t BridgeRegister(std::uint8_t reg) const;
    void SetBridgeRegister(std::uint8_t reg, std::uint8_t value);
    std::uint8_t PldRegister(std::uint8_t reg) const;
    void SetPldRegister(std::uint8_t reg, std::uint8_t value);
    // which: 0 = I, 1 = Q.
    const CoefficientWord& CoefficientRam(int which, std::uint8_t address) const;
    void SetCoefficientRam(int which, std::uint8_t address, const CoefficientWord& word);
    std::uint8_t ConstellationRam(std::uint8_t address) const;
    void SetConstellationRam(std::uint8_t address, std::uint8_t value);
    std::uint32_t PatternWord(std::uint32_t address) const;
    void SetPatternWord(std::uint32_t address, std::uint32_t value);
    std::uint32_t PatternStart() const;
    bool Sending() const;
    int FifoResets() const { return fifoResets_; }
    int SoftResets() const { return softResets_; }
    int BoardResets() const { return boardResets_; }

    // State file of `sim:FILE` (documented text, see VirtualBoardState.cpp). Load returns false
    // with a reason when the file exists but can't be read or is incomplete or malformed; the
    // board is then unchanged. A missing file leaves a fresh board.
    bool LoadState(const std::string& path, std::string& error);
    // Replaces the file (what a link leads to) as a whole; a missing folder is created.
    bool SaveState(const std::string& path, std::string& error) const;
    // The same for the file's text.
    bool LoadStateText(const std::string& text, std::string& error);
    std::string StateText() const;
    // Saves to this file when the port is unbound (program exit), and on SaveChangedState.
    void SetStateFile(std::string path) { stateFile_ = std::move(path); }

    // IKeptState: every strobe may change the board; the first one after a save is reported, and a
    // change not yet saved is reported to a new listener at once. The file is written once at
    // least, and again after a failed write.
    void SetChangeListener(std::function<void()> listener) override;
    bool SaveChangedState(std::string& error) override;
    void KeepLockedBy(CBoardLock& lock) override { lock_ = &lock; }

private:
    using Strobe = CpldStrobe;

    // Everything the board keeps while powered; the state file holds exactly this.
    struct Contents {
        std::array<std::uint32_t, 32> chip{};
        std::array<std::uint8_t, 64> bridge{};
        std::array<std::uint8_t, 64> pld{};
        std::array<std::array<CoefficientWord, kCoefficientWords>, 2> coefficient{};
        std::array<std::uint8_t, kConstellationEntries> constellation{};
        std::vector<std::uint32_t> pattern = std::vector<std::uint32_t>(kPatternWords, 0);
    };

    // State file lines (VirtualBoardState.cpp).
    static std::uint32_t LargestStoredChipValue(std::uint8_t address);
    static bool ParseStateLine(std::string_view line, Contents& contents, std::string& reason);
    static void WriteState(std::string& out, const Contents& contents);

    void SetControl(std::uint8_t value);
    void BeginStrobe(Strobe strobe);
    void EndStrobe();
    std::uint8_t Status() const;
    std::uint8_t DataLines() const;
    std::uint8_t ThroughCable(std::uint8_t driven) const;
    void ResetChip();
    void CommitAddress(std::uint8_t address);
    void WriteRegister(bool pld, std::uint8_t reg, std::uint8_t value);
    std::uint8_t ReadRegister(bool pld, std::uint8_t reg);
    void ChipWrite(std::uint8_t address);
    void ChipRead(std::uint8_t address);
    void MemoryLoadStrobe(std::uint32_t word);
    std::uint8_t NextMemoryReadByte();
    void ExternalMemoryAccess();
    bool FaultActive(Fault fault, std::uint64_t cycle) const;

    std::uint16_t base_;
    std::uint8_t data_ = 0;       // what the program last wrote to the data register
    std::uint8_t control_ = 0x04; // control register; nInit high, so no reset is pending
    std::uint8_t ecr_ = 0;
    Strobe strobe_ = Strobe::None; // strobe the control lines currently assert
    bool busy_ = false;
    bool busyStuck_ = false; // BusyNeverReleased has taken hold
    bool driving_ = false;   // the CPLD drives `driven_` onto the data lines
    std::uint8_t driven_ = 0;
    std::uint8_t latchedData_ = 0; // byte of the last data write strobe
    std::uint8_t readSelect_ = 0;  // address byte of the last read address cycle (bit 6 = PLD)

    Contents contents_;

    // Chip memory port.
    int loadChunk_ = 0; // which 24-bit chunk of a coefficient word the next strobe fills
    std::uint8_t readAddress_ = 0;
    int readByte_ = 0;

    int fifoResets_ = 0;
    int softResets_ = 0;
    int boardResets_ = 0;

    DataLineFault lineFault_ = DataLineFault::None;
    std::uint8_t faultyLine_ = 0; // mask of the faulty data line
    Fault fault_ = Fault::None;
    std::uint64_t faultFromCycle_ = 0;
    std::uint64_t portWrites_ = 0;
    std::uint64_t portReads_ = 0;
    std::uint64_t cycles_ = 0;
    CpldProtocolMonitor protocol_;
    std::string stateFile_;
    CBoardLock* lock_ = nullptr;
    bool changed_ = false; // since the state file was last written
    bool saved_ = false;   // the file holds the state as it is now
    std::function<void()> changeListener_;
};

} // namespace tarsion
