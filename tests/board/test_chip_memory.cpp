#include "BoardRig.h"

#include <array>

namespace tarsion::test {
namespace {

constexpr std::uint64_t Transfers(std::uint64_t n) {
    return 2 * n;
}

using Word = VirtualBoard::CoefficientWord;

class ChipMemory : public BoardRig {
protected:
    void SelectMemory(std::uint8_t memoryControl) {
        ASSERT_TRUE(link.WriteChipReg(0x00, memoryControl));
        board.ResetCounters();
    }
};

TEST_F(ChipMemory, CoefficientWriteIsThreeLoadStrobesOfFifteenTransfers) {
    SelectMemory(0x44); // auto increment, I coefficient memory, write
    Word word = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09};
    EXPECT_TRUE(link.AccessChipMemory(0x21, word.data()));
    EXPECT_EQ(board.Cycles(), Transfers(15));
    EXPECT_EQ(board.CoefficientRam(0, 0x21), word);
    EXPECT_EQ(board.CoefficientRam(1, 0x21), Word{});
    // The load bypasses the chip shadow of MemoryLoadStrobe.
    EXPECT_EQ(shadow.FetchChipReg(0x0F), 0u);
    EXPECT_EQ(log.text, "");

    SelectMemory(0x4C); // both coefficient memories
    const Word other = {9, 8, 7, 6, 5, 4, 3, 2, 1};
    Word copy = other;
    EXPECT_TRUE(link.AccessChipMemory(0xFF, copy.data()));
    EXPECT_EQ(board.CoefficientRam(0, 0xFF), other);
    EXPECT_EQ(board.CoefficientRam(1, 0xFF), other);
}

TEST_F(ChipMemory, WordSelectChoosesTheFirstChunkOfALoad) {
    SelectMemory(0x09); // Q coefficient memory, write, word select 1
    Word word = {0x10, 0x11, 0x12, 0x20, 0x21, 0x22, 0x30, 0x31, 0x32};
    EXPECT_TRUE(link.AccessChipMemory(3, word.data()));
    // Chunks land at 1, 2, then wrap to 0.
    const Word expected = {0x30, 0x31, 0x32, 0x10, 0x11, 0x12, 0x20, 0x21, 0x22};
    EXPECT_EQ(board.CoefficientRam(1, 3), expected);
}

TEST_F(ChipMemory, CoefficientReadWithAutoIncrementSendsNoAddress) {
    const Word first = {0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6, 0xA7, 0xA8};
    const Word second = {0xB0, 0xB1, 0xB2, 0xB3, 0xB4, 0xB5, 0xB6, 0xB7, 0xB8};
    board.SetCoefficientRam(0, 5, first);
    board.SetCoefficientRam(0, 6, second);

    SelectMemory(0x24); // I memory, read, no auto increment: the address goes first
    Word read{};
    EXPECT_TRUE(link.AccessChipMemory(5, read.data()));
    EXPECT_EQ(read, first);
    EXPECT_EQ(board.Cycles(), Transfers(1 + 9));
    EXPECT_EQ(board.BridgeRegister(6), 5);

    SelectMemory(0x64);
    read = {};
    EXPECT_TRUE(link.AccessChipMemory(0x77, read.data()));
    EXPECT_EQ(read, first);
    EXPECT_EQ(board.Cycles(), Transfers(9));
    EXPECT_EQ(board.BridgeRegister(6), 5);
    EXPECT_TRUE(link.AccessChipMemory(0x77, read.data()));
    EXPECT_EQ(read, second);
}

TEST_F(ChipMemory, ConstellationEntryIsOneByteThroughBridgeRegisterTwo) {
    SelectMemory(0x10); // constellation memory, write
    board.SetBridgeRegister(0, 0x55);
    board.SetBridgeRegister(1, 0x66);
    std::uint8_t entry = 0xC3;
    EXPECT_TRUE(link.AccessChipMemory(0x40, &entry));
    EXPECT_EQ(board.Cycles(), Transfers(3));
    EXPECT_EQ(board.ConstellationRam(0x40), 0xC3);
    EXPECT_EQ(board.BridgeRegister(0), 0x55);
    EXPECT_EQ(board.BridgeRegister(1), 0x66);

    SelectMemory(0x30); // constellation memory, read
    entry = 0;
    EXPECT_TRUE(link.AccessChipMemory(0x40, &entry));
    EXPECT_EQ(entry, 0xC3);
    EXPECT_EQ(board.Cycles(), Transfers(1 + 1));
}

TEST_F(ChipMemory, UnsupportedSelectionsFailSilentlyAndNoSelectionSendsNothing) {
    std::array<std::uint8_t, 9> buffer{};
    SelectMemory(0x14); // FIFO write
    EXPECT_FALSE(link.AccessChipMemory(0, buffer.data()));
    SelectMemory(0x7C); // select 7, auto increment read
    EXPECT_FALSE(link.AccessChipMemory(0, buffer.data()));
    EXPECT_EQ(board.Cycles(), 0u);
    SelectMemory(0x00);
    EXPECT_TRUE(link.AccessChipMemory(0, buffer.data()));
    EXPECT_EQ(board.PortAccesses(), 0u);
    EXPECT_EQ(log.text, "");
}

TEST_F(ChipMemory, ExternalMemoryRoundTripSetsBitEighteenOnlyForReads) {
    constexpr std::uint32_t kReadFlag = 1u << 18;
    // A caller's stray read flag must not turn the write into a read.
    EXPECT_TRUE(link.WriteExternalMemory(0x12345 | kReadFlag, 0xABCDEF));
    EXPECT_EQ(board.PatternWord(0x12345), 0xABCDEFu);
    EXPECT_EQ(board.PldRegister(8) & 0x04, 0);

    EXPECT_TRUE(link.WriteExternalMemory(0x3FFFF, 0x000102));
    std::uint32_t data = 0;
    EXPECT_TRUE(link.ReadExternalMemory(0x12345, data));
    EXPECT_EQ(data, 0xABCDEFu);
    EXPECT_EQ(board.PldRegister(8), 0x04 | 0x01);
    EXPECT_TRUE(link.ReadExternalMemory(0x3FFFF, data));
    EXPECT_EQ(data, 0x000102u);
    EXPECT_EQ(log.text, "");
}

TEST_F(ChipMemory, ExternalMemoryFailuresNameTheirPhase) {
    board.InjectFault(VirtualBoard::Fault::NotConnected);
    EXPECT_FALSE(link.WriteExternalMemory(1, 2));
    EXPECT_EQ(log.text, Line("Error: Board is either in CPLD_PROG mode or is not Connected") +
                            Line("Failed to Write to Memory"));

    log.text.clear();
    std::uint32_t data = 5;
    EXPECT_FALSE(link.ReadExternalMemory(1, data));
    EXPECT_EQ(data, 0u);
    EXPECT_EQ(log.text, Line("Error: Board is either in CPLD_PROG mode or is not Connected") +
                            Line("Failed to Read from Memory"));

    // Three address writes are six cycles; the seventh is the first of the data phase.
    board.ClearFault();
    board.ResetCounters();
    board.InjectFault(VirtualBoard::Fault::NotConnected, 7);
    log.text.clear();
    EXPECT_FALSE(link.ReadExternalMemory(1, data));
    EXPECT_EQ(log.text, Line("Error: Board is either in CPLD_PROG mode or is not Connected") +
                            Line("Failed to Read From Memory"));
}

} // namespace
} // namespace tarsion::test
