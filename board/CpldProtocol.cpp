#include "board/CpldProtocol.h"

#include <cstdio>

namespace tarsion {

namespace {
// Control bits; the port inverts nWrite, nDataStrobe and nAddrStrobe onto their pins.
constexpr std::uint8_t kControlWrite = 0x01;
constexpr std::uint8_t kControlDataStrobe = 0x02;
constexpr std::uint8_t kControlAddressStrobe = 0x08;
constexpr std::uint8_t kControlInput = 0x20;

bool LinesInput(std::uint8_t control) {
    return control & kControlInput;
}

// nWrite high on input lines with no strobe: the CPLD may drive the lines at the next data strobe.
bool ReadDirectionSet(std::uint8_t control) {
    return DecodeCpldStrobe(control) == CpldStrobe::None && !(control & kControlWrite) && LinesInput(control);
}

// What is wrong with the lines' direction for `strobe`, or nullptr when it fits.
const char* DirectionFault(CpldStrobe strobe, std::uint8_t control) {
    switch (strobe) {
    case CpldStrobe::AddressWrite:
        return LinesInput(control) ? "address strobe with the data lines as input" : nullptr;
    case CpldStrobe::DataWrite:
        return LinesInput(control) ? "data write strobe with the data lines as input" : nullptr;
    case CpldStrobe::DataRead:
        return LinesInput(control) ? nullptr : "data read strobe with the data lines as output";
    case CpldStrobe::AddressRead:
        return "address strobe with nWrite high: the CPLD has no address read";
    case CpldStrobe::None:
        break;
    }
    return nullptr;
}

struct ProcessTally {
    std::uint64_t violations = 0;
    std::string first;
};

ProcessTally& Tally() {
    static ProcessTally tally;
    return tally;
}
} // namespace

CpldStrobe DecodeCpldStrobe(std::uint8_t control) {
    const bool write = control & kControlWrite;
    if (control & kControlAddressStrobe)
        return write ? CpldStrobe::AddressWrite : CpldStrobe::AddressRead;
    if (control & kControlDataStrobe)
        return write ? CpldStrobe::DataWrite : CpldStrobe::DataRead;
    return CpldStrobe::None;
}

void CpldProtocolMonitor::ControlWritten(std::uint8_t before, std::uint8_t after, bool busy) {
    const bool turnedAround = turnedAround_;
    turnedAround_ = ReadDirectionSet(after) && LinesInput(before);

    const CpldStrobe strobe = DecodeCpldStrobe(after);
    if (strobe == CpldStrobe::None)
        return;
    const bool begins = strobe != DecodeCpldStrobe(before);
    // Described only on a breach: this runs at every strobe.
    const auto breach = [&](Rule rule, const char* what) {
        char text[128];
        std::snprintf(text, sizeof text, "control 0x%.2x -> 0x%.2x: %s", before, after, what);
        Breach(rule, text);
    };
    if (begins && busy)
        breach(Rule::StrobeWhileBusy, "strobe begun while Busy is still asserted");
    if (begins && strobe == CpldStrobe::DataRead && !turnedAround)
        breach(Rule::ReadBeforeTurnaround,
               "read strobe before the read direction was set on input data lines");
    if (begins || LinesInput(before) != LinesInput(after)) {
        if (const char* fault = DirectionFault(strobe, after))
            breach(Rule::StrobeDirection, fault);
    }
}

void CpldProtocolMonitor::DataWritten(std::uint8_t before, std::uint8_t after, std::uint8_t control) {
    if (before == after || LinesInput(control) || DecodeCpldStrobe(control) == CpldStrobe::None)
        return;
    char text[64];
    std::snprintf(text, sizeof text, "data 0x%.2x -> 0x%.2x while control 0x%.2x asserts a strobe", before,
                  after, control);
    Breach(Rule::DataChangedDuringStrobe, text);
}

void CpldProtocolMonitor::Breach(Rule rule, std::string description) {
    ++total_;
    ++perRule_[static_cast<std::size_t>(rule)];
    ProcessTally& tally = Tally();
    if (tally.violations++ == 0)
        tally.first = description;
    if (first_.empty())
        first_ = std::move(description);
}

std::uint64_t CpldProtocolMonitor::ProcessViolations() {
    return Tally().violations;
}

const std::string& CpldProtocolMonitor::ProcessFirstViolation() {
    return Tally().first;
}

void CpldProtocolMonitor::ResetProcessTally() {
    Tally() = ProcessTally{};
}

} // namespace tarsion
