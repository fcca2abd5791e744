// The pace of a real port over any backend.

#include "board/PacedPort.h"
#include "board/VirtualBoard.h"
#include "support/FakeClock.h"

#include <gtest/gtest.h>

#include <chrono>

namespace tarsion {
namespace {

using std::chrono::microseconds;
using std::chrono::nanoseconds;

// Counts what reaches it and when.
class CountingPort final : public IPortBackend {
public:
    void WritePort(std::uint16_t, std::uint8_t) override { ++accesses; }
    std::uint8_t ReadPort(std::uint16_t) override {
        ++accesses;
        return 0x5A;
    }
    void Unbind() override { unbound = true; }
    int accesses = 0;
    bool unbound = false;
};

TEST(PacedPort, AccessesKeepOnePeriodApart) {
    // Clock reads 100 ns apart; the period is ten of them.
    test::FakeClock clock(nanoseconds(100));
    auto counting = std::make_unique<CountingPort>();
    CountingPort& port = *counting;
    CPacedPort paced(std::move(counting), clock, microseconds(1));
    constexpr int kAccesses = 1000;
    for (int i = 0; i < kAccesses; ++i) {
        if (i % 2)
            paced.WritePort(0x378, 1);
        else
            EXPECT_EQ(paced.ReadPort(0x379), 0x5A);
    }
    EXPECT_EQ(port.accesses, kAccesses);
    // The last access starts (kAccesses - 1) periods after the first, and not much later.
    EXPECT_GE(clock.Elapsed(), microseconds(kAccesses - 1));
    EXPECT_LE(clock.Elapsed(), microseconds(kAccesses) + nanoseconds(200));
    paced.Unbind();
    EXPECT_TRUE(port.unbound);
}

TEST(PacedPort, AfterAPauseTheNextAccessGoesAtOnce) {
    test::FakeClock clock(nanoseconds(100));
    CPacedPort paced(std::make_unique<CountingPort>(), clock, microseconds(1));
    paced.WritePort(0x378, 1);
    // A pause far longer than the period: no accesses are owed.
    for (int i = 0; i < 1000; ++i)
        clock.Now();
    const long reads = clock.Reads();
    paced.WritePort(0x378, 2);
    EXPECT_EQ(clock.Reads() - reads, 1);
}

TEST(PacedPort, TheVirtualBoardBehindItWorksAsAlone) {
    test::FakeClock clock(nanoseconds(500));
    auto board = std::make_unique<VirtualBoard>();
    VirtualBoard& virtualBoard = *board;
    CPacedPort paced(std::move(board), clock);
    paced.WritePort(0x37A, 0x05);
    paced.WritePort(0x378, 0xA5);
    EXPECT_EQ(virtualBoard.ControlRegister(), 0x05);
    EXPECT_EQ(virtualBoard.PortWrites(), 2u);
    EXPECT_EQ(&paced.Paced(), &virtualBoard);
}

} // namespace
} // namespace tarsion
