#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace tarsion {

// The strobe a control register value asserts, as the CPLD reads nAddrStrobe, nDataStrobe and nWrite.
enum class CpldStrobe : std::uint8_t { None, AddressWrite, AddressRead, DataWrite, DataRead };

CpldStrobe DecodeCpldStrobe(std::uint8_t control);

// Watches the port lines as the CPLD sees them and counts every breach of the byte-cycle protocol.
// The board keeps working after a breach, as the real CPLD does; the monitor only records it, so
// tests can insist that the program never misdrives a real port.
class CpldProtocolMonitor {
public:
    enum class Rule : std::uint8_t {
        StrobeDirection,         // write or address strobe with the lines input, read strobe with them output
        ReadBeforeTurnaround,    // read strobe not preceded by the read direction set on input lines
        DataChangedDuringStrobe, // the port drove new data while a strobe was asserted
        StrobeWhileBusy,         // a strobe began while the board still held Busy
    };
    static constexpr std::size_t kRules = 4;

    // A write to the control register; `busy` is the Busy line just before it.
    void ControlWritten(std::uint8_t before, std::uint8_t after, bool busy);
    // A write to the data register while the control register holds `control`.
    void DataWritten(std::uint8_t before, std::uint8_t after, std::uint8_t control);

    std::uint64_t Violations() const { return total_; }
    std::uint64_t Violations(Rule rule) const { return perRule_[static_cast<std::size_t>(rule)]; }
    // Description of the first violation, empty while there is none.
    const std::string& FirstViolation() const { return first_; }

    // Violations of every board in this process since the tally was last reset; the test harness
    // resets it before each test and checks it after.
    static std::uint64_t ProcessViolations();
    static const std::string& ProcessFirstViolation();
    static void ResetProcessTally();

private:
    void Breach(Rule rule, std::string description);

    bool turnedAround_ = false; // read direction set while the lines were already input
    std::uint64_t total_ = 0;
    std::array<std::uint64_t, kRules> perRule_{};
    std::string first_;
};

} // namespace tarsion
