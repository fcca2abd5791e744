#pragma once

#include "board/LogChannel.h"
#include "board/PortBackend.h"
#include "board/RegisterShadow.h"
#include "board/SteadyClock.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace tarsion {

// The parallel-port link to the board: the CPLD's byte cycles with their Busy handshake, the bridge
// and PLD register transfers, the chip registers and memories behind them, and demo mode, in which
// the register shadow stands in for the board. Every operation returns true on success; failures
// are logged at indent 1 and never thrown.
class CBoardLink {
public:
    static constexpr std::uint16_t kDefaultBase = kDefaultPortBase;
    static constexpr int kPollsBeforeTimeout = 10000;

    // Control register values of the cycles.
    static constexpr std::uint8_t kControlIdle = 0x05;
    static constexpr std::uint8_t kControlAddressStrobe = 0x0D;
    static constexpr std::uint8_t kControlDataWriteStrobe = 0x07;
    static constexpr std::uint8_t kControlDataInput = 0x25;
    static constexpr std::uint8_t kControlReadDirection = 0x24;
    static constexpr std::uint8_t kControlDataReadStrobe = 0x26;
    static constexpr std::uint8_t kControlResetAsserted = 0x31;
    static constexpr std::uint8_t kControlResetReleased = 0x35;
    static constexpr std::uint8_t kControlClosed = 0x04;
    static constexpr std::uint8_t kEcrPs2Mode = 0x20;
    static constexpr std::uint16_t kEcrOffset = 0x402;
    // Status register: bit 5 set means no board (or the CPLD is in its programming mode).
    static constexpr std::uint16_t kStatusOffset = 1;
    static constexpr std::uint8_t kStatusBusy = 0x80; // reads 0 while the board asserts Busy
    static constexpr std::uint8_t kStatusPaperEnd = 0x20;

    // Takes the bound backend; opens the port (ECR 0x20, control 0x05 at the default base).
    CBoardLink(RegisterShadow& shadow, ILogChannel& log, std::unique_ptr<IPortBackend> port,
               ISteadyClock& clock);
    ~CBoardLink();
    CBoardLink(const CBoardLink&) = delete;
    CBoardLink& operator=(const CBoardLink&) = delete;

    // Port primitives.
    void WritePort(std::uint16_t port, std::uint8_t value);
    std::uint8_t ReadPort(std::uint16_t port);

    std::uint16_t BaseAddress() const { return base_; }
    void SetBaseAddress(std::uint16_t base) { base_ = base; }
    // Leaves the control register at 0x04 (shutdown); also in demo mode.
    void Close();

    // Why no board answers at the base address in use, for standard error; empty when the port
    // backend has nothing to add.
    std::string DiagnoseNoBoard() { return port_->DiagnoseNoBoard(base_); }
    // The port and base address in use, as the status bar names them.
    std::string DescribePort() const { return port_->Describe(base_); }

    bool IsDemo() const { return demo_; }
    // Whether the board answered the last cycle: its presence check, and every Busy wait that
    // followed it without timing out; empty before the first cycle.
    std::optional<bool> Answering() const { return answering_; }
    void EnterDemoMode() { demo_ = true; }

    // Byte cycles.
    bool WaitBusyAsserted();
    bool WaitBusyDeasserted();
    bool WriteAddressByte(std::uint8_t value);
    bool WriteDataByte(std::uint8_t value);
    bool ReadDataByte(std::uint8_t& value);
    bool ResetBoard();

    // Register transfers (data before address on writes, address first on reads).
    bool WriteBridgeReg(std::uint8_t reg, std::uint8_t value);
    bool ReadBridgeReg(std::uint8_t reg, std::uint8_t& value);
    bool WritePldReg(std::uint8_t reg, std::uint8_t value);
    bool ReadPldReg(std::uint8_t reg, std::uint8_t& value);

    // Chip registers and memories.
    bool WriteChipReg(std::uint8_t address, std::uint32_t value);
    bool ReadChipReg(std::uint8_t address, std::uint32_t& value);
    // One access of the memory that the shadow of MemoryControl selects; `buffer` holds 9 bytes
    // for a coefficient memory, 1 for the constellation memory, 4 for a FIFO read.
    bool AccessChipMemory(std::uint8_t address, std::uint8_t* buffer);
    bool WriteExternalMemory(std::uint32_t address, std::uint32_t data);
    bool ReadExternalMemory(std::uint32_t address, std::uint32_t& data);

    // Polls the steady clock until more than `span` has passed; the loop never sleeps.
    void WaitMoreThan(std::chrono::steady_clock::duration span);

    RegisterShadow& Shadow() { return shadow_; }
    ILogChannel& Log() { return log_; }
    ISteadyClock& Clock() { return clock_; }

private:
    enum class Space : std::uint8_t { Bridge = 0x00, Pld = 0x40 };
    static constexpr std::uint8_t kReadDirection = 0x80;
    static constexpr std::uint8_t kLargestRegisterNumber = 63;

    bool WaitBusy(bool wantAsserted);
    bool PresenceCheck();
    bool StrobeCycle(std::uint8_t value, std::uint8_t strobe);
    bool WriteSpaceReg(Space space, std::uint8_t reg, std::uint8_t value);
    bool ReadSpaceReg(Space space, std::uint8_t reg, std::uint8_t& value);
    void StoreSpaceReg(Space space, std::uint8_t reg, std::uint8_t value);
    std::uint8_t FetchSpaceReg(Space space, std::uint8_t reg) const;
    void Fail(const char* message);

    RegisterShadow& shadow_;
    ILogChannel& log_;
    std::unique_ptr<IPortBackend> port_;
    ISteadyClock& clock_;
    std::uint16_t base_ = kDefaultBase;
    bool demo_ = false;
    std::optional<bool> answering_;
};

} // namespace tarsion
