#include "board/VirtualBoard.h"
#include "support/ProtocolCheck.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

namespace tarsion::test {
namespace {

using Rule = CpldProtocolMonitor::Rule;

constexpr std::uint16_t kData = 0x378;
constexpr std::uint16_t kControl = 0x37A;

struct PortWrite {
    std::uint16_t port;
    std::uint8_t value;
};

struct Sequence {
    const char* name;
    std::vector<PortWrite> writes;
    std::optional<Rule> breaks; // the one rule the sequence breaks, if any
    VirtualBoard::Fault fault = VirtualBoard::Fault::None;
};

// Each misordered sequence starts from the idle control value and breaks exactly one rule; the
// cycles in order break none.
const Sequence kSequences[] = {
    {"WriteCycleInOrder", {{kControl, 0x05}, {kData, 0x5A}, {kControl, 0x07}, {kControl, 0x05}}, {}},
    {"ReadCycleInOrder",
     {{kControl, 0x05},
      {kData, 0x89},
      {kControl, 0x0D},
      {kControl, 0x05},
      {kControl, 0x25},
      {kControl, 0x24},
      {kControl, 0x26},
      {kControl, 0x05}},
     {}},
    {"ResetPulseAndShutdown", {{kControl, 0x05}, {kControl, 0x31}, {kControl, 0x35}, {kControl, 0x04}}, {}},
    {"DataRewrittenUnchangedDuringStrobe",
     {{kControl, 0x05}, {kData, 0x11}, {kControl, 0x07}, {kData, 0x11}, {kControl, 0x05}},
     {}},
    {"ReadStrobeStraightAfterInput",
     {{kControl, 0x05}, {kControl, 0x25}, {kControl, 0x26}},
     Rule::ReadBeforeTurnaround},
    {"ReadDirectionSetTogetherWithInput",
     {{kControl, 0x05}, {kControl, 0x24}, {kControl, 0x26}},
     Rule::ReadBeforeTurnaround},
    {"ReadDirectionBeforeInputSwapped",
     {{kControl, 0x05}, {kControl, 0x24}, {kControl, 0x25}, {kControl, 0x26}},
     Rule::ReadBeforeTurnaround},
    {"DataWriteStrobeOnInputLines",
     {{kControl, 0x05}, {kControl, 0x25}, {kControl, 0x27}},
     Rule::StrobeDirection},
    {"AddressStrobeOnInputLines",
     {{kControl, 0x05}, {kControl, 0x25}, {kControl, 0x2D}},
     Rule::StrobeDirection},
    {"AddressStrobeWithNWriteHigh", {{kControl, 0x05}, {kControl, 0x0C}}, Rule::StrobeDirection},
    {"ReadStrobeOnOutputLines",
     {{kControl, 0x05}, {kControl, 0x25}, {kControl, 0x24}, {kControl, 0x06}},
     Rule::StrobeDirection},
    {"LinesTurnedToOutputDuringReadStrobe",
     {{kControl, 0x05}, {kControl, 0x25}, {kControl, 0x24}, {kControl, 0x26}, {kControl, 0x06}},
     Rule::StrobeDirection},
    {"DataChangedDuringWriteStrobe",
     {{kControl, 0x05}, {kData, 0x11}, {kControl, 0x07}, {kData, 0x22}, {kControl, 0x05}},
     Rule::DataChangedDuringStrobe},
    {"DataChangedDuringAddressStrobe",
     {{kControl, 0x05}, {kData, 0x09}, {kControl, 0x0D}, {kData, 0x0A}},
     Rule::DataChangedDuringStrobe},
    {"StrobeSwitchedWithoutIdle",
     {{kControl, 0x05}, {kControl, 0x07}, {kControl, 0x0D}},
     Rule::StrobeWhileBusy},
    {"StrobeWhileBusyIsHeld",
     {{kControl, 0x05}, {kControl, 0x07}, {kControl, 0x05}, {kControl, 0x07}},
     Rule::StrobeWhileBusy,
     VirtualBoard::Fault::BusyNeverReleased},
};

class CpldProtocol : public ::testing::TestWithParam<Sequence> {};

TEST_P(CpldProtocol, CountsEachBreachUnderItsRule) {
    const Sequence& sequence = GetParam();
    VirtualBoard board;
    board.InjectFault(sequence.fault);
    for (const PortWrite& write : sequence.writes)
        board.WritePort(write.port, write.value);

    const std::uint64_t expected = sequence.breaks ? 1 : 0;
    ExpectProtocolViolations(expected);
    EXPECT_EQ(board.ProtocolViolations(), expected) << board.Protocol().FirstViolation();
    for (const Rule rule : {Rule::StrobeDirection, Rule::ReadBeforeTurnaround, Rule::DataChangedDuringStrobe,
                            Rule::StrobeWhileBusy})
        EXPECT_EQ(board.Protocol().Violations(rule), sequence.breaks == rule ? 1u : 0u);
    EXPECT_EQ(board.Protocol().FirstViolation().empty(), !sequence.breaks);
}

INSTANTIATE_TEST_SUITE_P(Sequences, CpldProtocol, ::testing::ValuesIn(kSequences),
                         [](const auto& sequence) { return std::string(sequence.param.name); });

TEST(CpldProtocolBreach, BoardKeepsWorkingAndCountersResetLeavesTheCount) {
    VirtualBoard board;
    board.SetPldRegister(12, 0x01);
    board.WritePort(kControl, 0x05);
    board.WritePort(kData, 0xC0 | 12);
    board.WritePort(kControl, 0x0D);
    board.WritePort(kControl, 0x05);
    board.WritePort(kControl, 0x25);
    board.WritePort(kControl, 0x26); // no read direction first
    EXPECT_EQ(board.ReadPort(kData), 0x01);
    board.WritePort(kControl, 0x05);
    board.ResetCounters();

    ExpectProtocolViolations(1);
    EXPECT_EQ(board.ProtocolViolations(), 1u);
    EXPECT_EQ(board.Protocol().FirstViolation(),
              "control 0x25 -> 0x26: read strobe before the read direction was set on input data lines");
    EXPECT_EQ(CpldProtocolMonitor::ProcessViolations(), 1u);
}

} // namespace
} // namespace tarsion::test
