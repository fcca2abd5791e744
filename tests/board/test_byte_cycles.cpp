#include "BoardRig.h"

#include <chrono>
#include <functional>
#include <optional>

namespace tarsion::test {
namespace {

using namespace std::chrono_literals;

const std::string kNotConnected = "Error: Board is either in CPLD_PROG mode or is not Connected";
const std::string kAssertTimeout = "Timed Out Waiting for ParallelPort Busy bit to assert";
const std::string kDeassertTimeout = "Timed Out Waiting for ParallelPort Busy bit to deassert";

using ByteCycles = BoardRig;

struct Cycle {
    const char* name;
    std::function<bool(CBoardLink&)> run;
};

const Cycle kCycles[] = {
    {"address", [](CBoardLink& link) { return link.WriteAddressByte(0x09); }},
    {"data write", [](CBoardLink& link) { return link.WriteDataByte(0x5A); }},
    {"data read",
     [](CBoardLink& link) {
         std::uint8_t value = 0;
         return link.ReadDataByte(value);
     }},
};

TEST_F(ByteCycles, ResponsiveBoardCostsNinePortAccessesPerCycle) {
    for (const Cycle& cycle : kCycles) {
        board.ResetCounters();
        EXPECT_TRUE(cycle.run(link)) << cycle.name;
        EXPECT_EQ(board.PortAccesses(), 9u) << cycle.name;
        EXPECT_EQ(board.Cycles(), 1u) << cycle.name;
        EXPECT_EQ(board.ControlRegister(), CBoardLink::kControlIdle) << cycle.name;
    }
    EXPECT_EQ(log.text, "");
}

TEST_F(ByteCycles, UnpluggedBoardFailsAtOnceWithoutBusyWait) {
    board.InjectFault(VirtualBoard::Fault::NotConnected);
    for (const Cycle& cycle : kCycles) {
        board.ResetCounters();
        log.text.clear();
        EXPECT_FALSE(cycle.run(link)) << cycle.name;
        EXPECT_EQ(log.text, Line(kNotConnected)) << cycle.name;
        // Starting control value plus the one status read: no Busy polling, no strobe.
        EXPECT_EQ(board.PortWrites(), 1u) << cycle.name;
        EXPECT_EQ(board.PortReads(), 1u) << cycle.name;
        EXPECT_EQ(board.Cycles(), 0u) << cycle.name;
    }
    EXPECT_EQ(board.ControlRegister(), CBoardLink::kControlDataInput);
    EXPECT_EQ(clock.Reads(), 0);

    log.text.clear();
    EXPECT_FALSE(link.ResetBoard());
    EXPECT_EQ(log.text, Line(kNotConnected));
    EXPECT_EQ(board.BoardResets(), 0);
}

TEST_F(ByteCycles, BoardThatNeverRaisesBusyTimesOutAfterPollingOverOneSecond) {
    board.InjectFault(VirtualBoard::Fault::BusyNeverAsserted);
    for (const Cycle& cycle : kCycles) {
        board.ResetCounters();
        log.text.clear();
        const auto before = clock.Elapsed();
        EXPECT_FALSE(cycle.run(link)) << cycle.name;
        EXPECT_EQ(log.text, Line(kAssertTimeout)) << cycle.name;
        EXPECT_EQ(board.ControlRegister(), CBoardLink::kControlIdle) << cycle.name;
        // Reads besides the Busy polls: presence check, the wait before the strobe.
        EXPECT_GT(board.PortReads() - 2, 10000u) << cycle.name;
        const auto waited = clock.Elapsed() - before;
        EXPECT_GT(waited, 1s) << cycle.name;
        EXPECT_LT(waited, 2s) << cycle.name;
    }
}

TEST_F(ByteCycles, BusyNeverReleasedFailsTheCycleAndTheNextOneBeforeItsStrobe) {
    board.InjectFault(VirtualBoard::Fault::BusyNeverReleased);
    EXPECT_FALSE(link.WriteDataByte(0x11));
    EXPECT_EQ(log.text, Line(kDeassertTimeout));
    EXPECT_EQ(board.ControlRegister(), CBoardLink::kControlIdle);

    log.text.clear();
    EXPECT_FALSE(link.WriteAddressByte(0x09));
    EXPECT_EQ(log.text, Line(kDeassertTimeout));
    EXPECT_EQ(board.Cycles(), 1u);
}

// The status bar reads Answering(): a hung handshake must count as no board, and only until the
// next cycle gets through.
TEST_F(ByteCycles, BusyTimeoutMeansNoAnswerUntilACycleGetsThrough) {
    for (const VirtualBoard::Fault fault :
         {VirtualBoard::Fault::BusyNeverAsserted, VirtualBoard::Fault::BusyNeverReleased}) {
        for (const Cycle& cycle : kCycles) {
            SCOPED_TRACE(cycle.name);
            ASSERT_TRUE(cycle.run(link));
            EXPECT_EQ(link.Answering(), std::optional(true));
            board.InjectFault(fault);
            EXPECT_FALSE(cycle.run(link));
            EXPECT_EQ(link.Answering(), std::optional(false));
            // The next cycle still finds the handshake hung.
            EXPECT_FALSE(cycle.run(link));
            EXPECT_EQ(link.Answering(), std::optional(false));
            board.ClearFault();
            EXPECT_TRUE(cycle.run(link));
            EXPECT_EQ(link.Answering(), std::optional(true));
        }
    }
}

TEST_F(ByteCycles, ReadWhoseLastWaitTimesOutLeavesTheShadowAlone) {
    board.SetBridgeRegister(9, 0x42);
    // Cycle 1 is the address cycle, cycle 2 the data read.
    board.InjectFault(VirtualBoard::Fault::BusyNeverReleased, 2);
    std::uint8_t value = 0;
    EXPECT_FALSE(link.ReadBridgeReg(9, value));
    EXPECT_EQ(log.text, Line(kDeassertTimeout));
    EXPECT_EQ(shadow.FetchBridgeReg(9), 0);
}

TEST_F(ByteCycles, WriteWhoseDataCycleFailsSendsNoAddressCycle) {
    board.SetBridgeRegister(9, 0x01);
    board.InjectFault(VirtualBoard::Fault::BusyNeverReleased, 1);
    EXPECT_FALSE(link.WriteBridgeReg(9, 0x02));
    EXPECT_EQ(board.Cycles(), 1u);
    EXPECT_EQ(board.BridgeRegister(9), 0x01);
    EXPECT_EQ(shadow.FetchBridgeReg(9), 0);

    // A failing address cycle after a good data cycle commits nothing either.
    board.ClearFault();
    board.ResetCounters();
    board.InjectFault(VirtualBoard::Fault::BusyNeverAsserted, 2);
    log.text.clear();
    EXPECT_FALSE(link.WriteBridgeReg(9, 0x02));
    EXPECT_EQ(log.text, Line(kAssertTimeout));
    EXPECT_EQ(board.BridgeRegister(9), 0x01);
    EXPECT_EQ(shadow.FetchBridgeReg(9), 0);
}

// Raises Busy once the fake clock shows `from` before a status read.
class LateBusyPort final : public IPortBackend {
public:
    LateBusyPort(const FakeClock& clock, std::chrono::milliseconds from) : clock_(clock), from_(from) {}
    void WritePort(std::uint16_t, std::uint8_t) override {}
    std::uint8_t ReadPort(std::uint16_t) override {
        ++reads;
        return clock_.Elapsed() >= from_ ? 0x5F : 0xDF;
    }
    long reads = 0;

private:
    const FakeClock& clock_;
    std::chrono::milliseconds from_;
};

TEST(BusyWait, LevelSeenOnTheTimeoutPollStillCounts) {
    // The clock is first read (1 ms) at the 10,000th poll, then once per poll after the status
    // read. The poll that reads status at 1001 ms is the one whose clock read ends the wait.
    for (const auto& [from, seen] : {std::pair{1001ms, true}, std::pair{1002ms, false}}) {
        RegisterShadow shadow;
        LogCapture log;
        FakeClock clock;
        auto port = std::make_unique<LateBusyPort>(clock, from);
        LateBusyPort& late = *port;
        CBoardLink link(shadow, log, std::move(port), clock);
        EXPECT_EQ(link.WaitBusyAsserted(), seen) << from.count();
        EXPECT_EQ(late.reads, 11001) << from.count();
        EXPECT_EQ(log.text, "");
    }
}

// A clock that notes when the board's reset line was low while time was read.
class ResetWatchingClock final : public ISteadyClock {
public:
    time_point Now() override {
        now_ += 1ms;
        if (board && board->ControlRegister() == CBoardLink::kControlResetAsserted) {
            if (firstLow == time_point{})
                firstLow = now_;
            lastLow = now_;
        }
        return now_;
    }
    const VirtualBoard* board = nullptr;
    time_point firstLow{};
    time_point lastLow{};

private:
    time_point now_{};
};

TEST(ResetPulse, HoldsResetForMoreThanOneSecondAndClearsTheChip) {
    RegisterShadow shadow;
    LogCapture log;
    ResetWatchingClock clock;
    auto owned = std::make_unique<VirtualBoard>();
    VirtualBoard& board = *owned;
    CBoardLink link(shadow, log, std::move(owned), clock);
    clock.board = &board;
    board.SetChipRegister(0x0A, 0x12345678);

    EXPECT_TRUE(link.ResetBoard());
    EXPECT_GT(clock.lastLow - clock.firstLow, 1s);
    EXPECT_EQ(board.ControlRegister(), CBoardLink::kControlResetReleased);
    EXPECT_EQ(board.BoardResets(), 1);
    EXPECT_EQ(board.ChipRegister(0x0A), 0u);
    EXPECT_EQ(log.text, "");
}

TEST_F(ByteCycles, ChangedBaseAddressReachesAnEmptyBus) {
    link.SetBaseAddress(0x278);
    EXPECT_FALSE(link.WriteDataByte(0));
    EXPECT_EQ(log.text, Line(kNotConnected));
    EXPECT_EQ(board.Cycles(), 0u);
}

} // namespace
} // namespace tarsion::test
