#include "BoardRig.h"

namespace tarsion::test {
namespace {

const std::string kInvalidAddressWrite = "Error : Invalid Address ";
const std::string kInvalidAddressRead = "Error : Invalid Address";
const std::string kInvalidData = "Error : Invalid Data for this Register ";

// Each register transfer is two byte cycles.
constexpr std::uint64_t Transfers(std::uint64_t n) {
    return 2 * n;
}

using ChipRegisters = BoardRig;

TEST_F(ChipRegisters, OneByteWriteUsesBridgeRegistersZeroAndFourOnly) {
    board.SetBridgeRegister(1, 0xAA);
    board.SetBridgeRegister(2, 0xBB);
    board.SetBridgeRegister(3, 0xCC);
    EXPECT_TRUE(link.WriteChipReg(0x09, 0x5A));
    EXPECT_EQ(board.Cycles(), Transfers(2));
    EXPECT_EQ(board.BridgeRegister(0), 0x5A);
    EXPECT_EQ(board.BridgeRegister(1), 0xAA);
    EXPECT_EQ(board.BridgeRegister(2), 0xBB);
    EXPECT_EQ(board.BridgeRegister(3), 0xCC);
    EXPECT_EQ(board.BridgeRegister(4), 0x09);
    // The chip keeps only its register's byte.
    EXPECT_EQ(board.ChipRegister(0x09), 0x5Au);
    EXPECT_EQ(shadow.FetchChipReg(0x09), 0x5Au);
    EXPECT_EQ(log.text, "");
}

TEST_F(ChipRegisters, AddressesOutsideTheMapAreRefusedWithoutTraffic) {
    EXPECT_TRUE(link.WriteChipReg(0x1F, 0xDEADBEEF));
    EXPECT_EQ(board.ChipRegister(0x1F), 0xDEADBEEFu);

    board.ResetCounters();
    for (int address = 0x13; address <= 0x1E; ++address) {
        log.text.clear();
        EXPECT_FALSE(link.WriteChipReg(static_cast<std::uint8_t>(address), 1)) << address;
        EXPECT_EQ(log.text, Line(kInvalidAddressWrite)) << address;
    }
    log.text.clear();
    std::uint32_t value = 7;
    EXPECT_FALSE(link.ReadChipReg(0x13, value));
    EXPECT_EQ(value, 0u);
    EXPECT_EQ(log.text, Line(kInvalidAddressRead));
    EXPECT_FALSE(link.ReadChipReg(0x20, value));
    EXPECT_EQ(board.PortAccesses(), 0u);
}

TEST_F(ChipRegisters, ValuesAboveTheLargestAreRefusedWithoutTraffic) {
    EXPECT_FALSE(link.WriteChipReg(0x10, 2));
    EXPECT_EQ(log.text, Line(kInvalidData));
    log.text.clear();
    EXPECT_FALSE(link.WriteChipReg(0x11, 0x80000));
    EXPECT_EQ(log.text, Line(kInvalidData));
    EXPECT_EQ(board.PortAccesses(), 0u);

    log.text.clear();
    EXPECT_TRUE(link.WriteChipReg(0x11, 0x7FFFF));
    EXPECT_EQ(board.Cycles(), Transfers(3 + 1));
    EXPECT_EQ(board.ChipRegister(0x11), 0x7FFFFu);
    EXPECT_EQ(log.text, "");
}

TEST_F(ChipRegisters, StrobeRegistersActAndReadBackAsZero) {
    EXPECT_TRUE(link.WriteChipReg(0x10, 1));
    EXPECT_EQ(board.SoftResets(), 1);
    EXPECT_EQ(board.ChipRegister(0x10), 0u);
    std::uint32_t value = 9;
    EXPECT_TRUE(link.ReadChipReg(0x10, value));
    EXPECT_EQ(value, 0u);

    // InterruptStatus bits are cleared by writing ones.
    board.SetChipRegister(0x08, 0xF0);
    EXPECT_TRUE(link.WriteChipReg(0x08, 0x30));
    EXPECT_EQ(board.ChipRegister(0x08), 0xC0u);
}

TEST_F(ChipRegisters, ReadAssemblesBridgeBytesLeastSignificantFirst) {
    board.SetChipRegister(0x0A, 0x12345678);
    std::uint32_t value = 0;
    EXPECT_TRUE(link.ReadChipReg(0x0A, value));
    EXPECT_EQ(value, 0x12345678u);
    EXPECT_EQ(shadow.FetchChipReg(0x0A), 0x12345678u);
    EXPECT_EQ(board.BridgeRegister(5), 0x0A);
    EXPECT_EQ(board.Cycles(), Transfers(1 + 4));

    // A three-byte register reads three bridge bytes.
    board.SetChipRegister(0x11, 0x0007ABCD);
    board.ResetCounters();
    EXPECT_TRUE(link.ReadChipReg(0x11, value));
    EXPECT_EQ(value, 0x0007ABCDu);
    EXPECT_EQ(board.Cycles(), Transfers(1 + 3));
}

TEST_F(ChipRegisters, RegisterNumbersAboveSixtyThreeAreRefusedWithoutTraffic) {
    std::uint8_t value = 0;
    EXPECT_FALSE(link.WriteBridgeReg(64, 1));
    EXPECT_FALSE(link.ReadBridgeReg(0x80, value));
    EXPECT_FALSE(link.WritePldReg(0xC0, 1));
    EXPECT_FALSE(link.ReadPldReg(0xFF, value));
    EXPECT_EQ(log.text, Line(kInvalidAddressWrite) + Line(kInvalidAddressWrite) + Line(kInvalidAddressWrite) +
                            Line(kInvalidAddressWrite));
    EXPECT_EQ(board.PortAccesses(), 0u);
}

TEST_F(ChipRegisters, RegisterNumbersSixteenToSixtyThreeTravelWithoutShadowEntry) {
    int notifications = 0;
    shadow.SetChangeHandler([&] { ++notifications; });
    EXPECT_TRUE(link.WriteBridgeReg(20, 0x77));
    EXPECT_TRUE(link.WritePldReg(63, 0x66));
    EXPECT_EQ(board.BridgeRegister(20), 0x77);
    EXPECT_EQ(board.PldRegister(63), 0x66);
    std::uint8_t value = 0;
    EXPECT_TRUE(link.ReadPldReg(63, value));
    EXPECT_EQ(value, 0x66);
    EXPECT_EQ(notifications, 0);
    for (std::uint8_t reg = 0; reg < RegisterShadow::kBridgeRegisters; ++reg) {
        EXPECT_EQ(shadow.FetchBridgeReg(reg), 0);
        EXPECT_EQ(shadow.FetchPldReg(reg), 0);
    }
}

TEST_F(ChipRegisters, ShadowNotifiesForChipRegistersBridgeEightToFifteenAndPldTwelve) {
    int notifications = 0;
    shadow.SetChangeHandler([&] { ++notifications; });
    EXPECT_TRUE(link.WriteChipReg(0x09, 1)); // bridge 0 and 4 stay quiet; the chip store notifies
    EXPECT_EQ(notifications, 1);
    for (std::uint8_t reg = 0; reg < 16; ++reg)
        EXPECT_TRUE(link.WriteBridgeReg(reg, 0));
    EXPECT_EQ(notifications, 1 + 8);
    for (std::uint8_t reg = 0; reg < 16; ++reg)
        EXPECT_TRUE(link.WritePldReg(reg, 0));
    EXPECT_EQ(notifications, 1 + 8 + 1);
    std::uint8_t value = 0;
    EXPECT_TRUE(link.ReadPldReg(12, value));
    EXPECT_EQ(notifications, 1 + 8 + 2);
}

TEST_F(ChipRegisters, SysClkFollowsTheAnalogPllFieldsOfRegisterSeven) {
    const std::uint32_t pll = (1u << 25) | (1u << 24) | (3u << 28) | (1u << 26);
    EXPECT_TRUE(link.WriteChipReg(0x07, pll));
    EXPECT_DOUBLE_EQ(shadow.SysClk(), 80e6 * 8 / 2);

    // Without both enable bits the clock pin drives SysClk directly.
    EXPECT_TRUE(link.WriteChipReg(0x07, pll & ~(1u << 25)));
    EXPECT_DOUBLE_EQ(shadow.SysClk(), 80e6);

    shadow.SetClockPin(10e6);
    board.SetChipRegister(0x07, (1u << 25) | (1u << 24) | (7u << 28) | (3u << 26));
    std::uint32_t value = 0;
    EXPECT_TRUE(link.ReadChipReg(0x07, value));
    EXPECT_DOUBLE_EQ(shadow.SysClk(), 10e6 * 128 / 8);
}

TEST_F(ChipRegisters, DemoModeTouchesNoPortAndServesTheShadow) {
    link.EnterDemoMode();
    board.SetChipRegister(0x0A, 0x11111111);
    int notifications = 0;
    shadow.SetChangeHandler([&] { ++notifications; });

    EXPECT_TRUE(link.WriteChipReg(0x0A, 0x22222222));
    EXPECT_TRUE(link.WriteChipReg(0x10, 2)); // no data limit without a board
    std::uint32_t value = 0;
    EXPECT_TRUE(link.ReadChipReg(0x0A, value));
    EXPECT_EQ(value, 0x22222222u);
    EXPECT_EQ(notifications, 2);

    EXPECT_TRUE(link.WriteBridgeReg(3, 0x33));
    EXPECT_TRUE(link.WriteBridgeReg(9, 0x02));
    EXPECT_TRUE(link.WritePldReg(12, 1));
    EXPECT_EQ(notifications, 4);
    std::uint8_t byte = 0;
    EXPECT_TRUE(link.ReadBridgeReg(9, byte));
    EXPECT_EQ(byte, 0x02);

    std::uint8_t buffer[9] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    shadow.StoreChipReg(0x00, 0x44);
    EXPECT_TRUE(link.AccessChipMemory(0, buffer));
    EXPECT_TRUE(link.WriteExternalMemory(5, 0x123456));
    std::uint32_t word = 7;
    EXPECT_TRUE(link.ReadExternalMemory(5, word));
    EXPECT_EQ(word, 0u);
    EXPECT_TRUE(link.ResetBoard());

    EXPECT_EQ(board.PortAccesses(), 0u);
    EXPECT_EQ(board.ChipRegister(0x0A), 0x11111111u);
    EXPECT_EQ(board.PatternWord(5), 0u);
    EXPECT_EQ(log.text, "");
}

} // namespace
} // namespace tarsion::test
