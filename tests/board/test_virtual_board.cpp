#include "BoardRig.h"

namespace tarsion::test {
namespace {

constexpr std::uint16_t kData = 0x378;
constexpr std::uint16_t kStatus = 0x379;
constexpr std::uint16_t kControl = 0x37A;

TEST(VirtualBoardPort, RegistersAnswerAtTheBaseOnly) {
    VirtualBoard board;
    board.WritePort(kData, 0x3C);
    board.WritePort(kControl, 0x05);
    EXPECT_EQ(board.ReadPort(kData), 0x3C);          // output direction reads the write latch
    EXPECT_EQ(board.ReadPort(kStatus) & 0xA0, 0x80); // not busy, connected
    board.WritePort(0x378 + 0x402, 0x20);
    EXPECT_EQ(board.EcrRegister(), 0x20);

    EXPECT_EQ(board.ReadPort(0x279), 0xFF);
    board.WritePort(0x27A, 0x0D); // no board there: no strobe
    EXPECT_EQ(board.Cycles(), 0u);
    EXPECT_EQ(board.PortAccesses(), 7u);
}

TEST(VirtualBoardPort, ReadStrobeDrivesTheSelectedRegisterOnlyWhileItLasts) {
    VirtualBoard board;
    board.SetPldRegister(12, 0x01);
    board.WritePort(kData, 0xC0 | 12); // read PLD register 12
    board.WritePort(kControl, 0x0D);
    EXPECT_EQ(board.ReadPort(kStatus) & 0x80, 0); // Busy raised by the strobe
    board.WritePort(kControl, 0x05);
    EXPECT_EQ(board.ReadPort(kStatus) & 0x80, 0x80);

    board.WritePort(kControl, 0x25);
    board.WritePort(kControl, 0x24);
    EXPECT_EQ(board.ReadPort(kData), 0xFF); // nobody drives the lines yet
    board.WritePort(kControl, 0x26);
    EXPECT_EQ(board.ReadPort(kData), 0x01);
    board.WritePort(kControl, 0x05);
    EXPECT_EQ(board.Cycles(), 2u);
    EXPECT_TRUE(board.Sending());
}

TEST(VirtualBoardPort, ResetPulseClearsChipRegistersOnce) {
    VirtualBoard board;
    board.SetChipRegister(0x01, 0xFFFF);
    board.SetBridgeRegister(9, 0x02);
    board.WritePort(kControl, 0x05);
    board.WritePort(kControl, 0x31);
    board.WritePort(kControl, 0x31);
    board.WritePort(kControl, 0x35);
    EXPECT_EQ(board.BoardResets(), 1);
    EXPECT_EQ(board.ChipRegister(0x01), 0u);
    EXPECT_EQ(board.BridgeRegister(9), 0x02); // the CPLD keeps its registers
}

using VirtualBoardActions = BoardRig;

TEST_F(VirtualBoardActions, BoardRegistersActOnTheirWrites) {
    EXPECT_TRUE(link.WriteBridgeReg(14, 0xFF));
    EXPECT_TRUE(link.WriteBridgeReg(14, 0x01));
    EXPECT_EQ(board.FifoResets(), 1);

    EXPECT_TRUE(link.WritePldReg(9, 0x56));
    EXPECT_TRUE(link.WritePldReg(10, 0x34));
    EXPECT_TRUE(link.WritePldReg(11, 0x02));
    EXPECT_EQ(board.PatternStart(), 0x023456u);
    EXPECT_TRUE(link.WritePldReg(12, 1));
    EXPECT_TRUE(board.Sending());
    EXPECT_TRUE(link.WritePldReg(12, 0));
    EXPECT_FALSE(board.Sending());
}

TEST_F(VirtualBoardActions, SoftResetCommandLeavesTheChipRegistersAlone) {
    board.SetChipRegister(0x0A, 0x1234);
    // The operation layer's soft reset: chip write of 0x10, then of 0x13, which holds no register.
    EXPECT_TRUE(link.WriteBridgeReg(4, 0x10));
    EXPECT_TRUE(link.WriteBridgeReg(4, 0x13));
    EXPECT_EQ(board.SoftResets(), 1);
    EXPECT_EQ(board.ChipRegister(0x0A), 0x1234u);
    EXPECT_EQ(board.ChipRegister(0x13), 0u);
}

} // namespace
} // namespace tarsion::test
