// Batches of register transfers: one logged operation, one journal entry, stopping where an item fails.
#include "board/ChipRegisters.h"
#include "ops/OpsTestRig.h"
#include "ops/RegisterBatch.h"
#include "registers/RegisterJournal.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tarsion::test {
namespace {

constexpr std::uint8_t kBoardControl = 9;

std::vector<RegisterWrite> Pokes(std::initializer_list<std::pair<std::uint8_t, std::uint32_t>> items) {
    std::vector<RegisterWrite> writes;
    for (const auto& [address, value] : items)
        writes.push_back(RegisterWrite::Chip(address, value));
    return writes;
}

std::vector<RegisterWrite> Plds(std::initializer_list<std::pair<std::uint8_t, std::uint8_t>> items) {
    std::vector<RegisterWrite> writes;
    for (const auto& [reg, value] : items)
        writes.push_back(RegisterWrite::Pld(reg, value));
    return writes;
}

struct Batch : ::testing::Test {
    OpsRig rig;
    CRegisterJournal journal{rig.ops};
    CRegisterBatch batch{rig.ops};
    TempFile recording{"batch"};

    void Record() { ASSERT_TRUE(rig.doc.StartRecording(recording.Path().string())); }
    // The recorded lines after the header.
    std::string Recorded() const { return recording.Content().substr(std::string(kRecordingHeader).size()); }
};

TEST_F(Batch, PokeManyWritesInOrderAsOneLoggedOperation) {
    Record();
    EXPECT_FALSE(batch.PokeMany(Pokes({{0x0A, 0x11111111}, {0x0B, 0x01234567}, {0x0A, 0x20000000}})));
    EXPECT_EQ(rig.board.ChipRegister(0x0A), 0x20000000u);
    EXPECT_EQ(rig.board.ChipRegister(0x0B), 0x01234567u);
    EXPECT_EQ(rig.log.text, "PokeMany 3\r\n"
                            "\tPoke 0a 11111111 \r\n"
                            "\tPoke 0b 01234567 \r\n"
                            "\tPoke 0a 20000000 \r\n"
                            "\tDone\r\n");
    EXPECT_EQ(Recorded(), "\nTarsion.Poke ( 0x0a,0x11111111 );"
                          "\nTarsion.Poke ( 0x0b,0x01234567 );"
                          "\nTarsion.Poke ( 0x0a,0x20000000 );");
    ASSERT_EQ(journal.Entries().size(), 1u);
    EXPECT_EQ(journal.Entries()[0].What(), "PokeMany: 3 writes");
    EXPECT_EQ(journal.Entries()[0].Writes().size(), 3u);
}

// Every register's first and last valid value, and the first refused one: the batch stops there
// with the item's index and the reasons logged for it, the items before it done, none after.
TEST_F(Batch, StopsAtTheFirstItemTheBoardLinkRefusesAndSaysWhy) {
    struct Case {
        std::vector<RegisterWrite> writes;
        std::size_t index;
        const char* reason;
    };
    const Case cases[] = {
        {Pokes({{0x00, 0xFF}, {0x1F, 0xFFFFFFFF}, {0x11, 0x7FFFF}, {0x12, 1}, {0x13, 0}}), 4,
         "Error : Invalid Address; Couldn't Poke to Register 13"},
        {Pokes({{0x11, 0x80000}}), 0, "Error : Invalid Data for this Register; Couldn't Poke to Register 11"},
        {Pokes({{0x0A, 1}, {0x00, 0x100}}), 1,
         "Error : Invalid Data for this Register; Couldn't Poke to Register 00"},
        {Pokes({{0x0A, 1}, {0x10, 2}}), 1,
         "Error : Invalid Data for this Register; Couldn't Poke to Register 10"},
        {Pokes({{0x1E, 0}}), 0, "Error : Invalid Address; Couldn't Poke to Register 1e"},
        {Pokes({{0x20, 0}}), 0, "Error : Invalid Address; Couldn't Poke to Register 20"},
    };
    for (const Case& c : cases) {
        rig.board.SetChipRegister(0x0C, 0);
        std::vector<RegisterWrite> writes = c.writes;
        writes.push_back(RegisterWrite::Chip(0x0C, 4));
        const BatchOutcome outcome = batch.PokeMany(writes);
        ASSERT_TRUE(outcome) << c.reason;
        EXPECT_EQ(outcome->index, c.index) << c.reason;
        EXPECT_EQ(outcome->reason, c.reason);
        // The strobe registers hold nothing to read back.
        for (std::size_t i = 0; i < c.index; ++i) {
            if (writes[i].reg != 0x12) {
                EXPECT_EQ(rig.board.ChipRegister(writes[i].reg), writes[i].newValue)
                    << c.reason << " item " << i;
            }
        }
        EXPECT_EQ(rig.board.ChipRegister(0x0C), 0u) << c.reason << ": an item after the failure ran";
    }
    std::vector<std::uint32_t> values;
    const BatchOutcome read = batch.PeekMany({0x0A, 0x1E}, values);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->index, 1u);
    EXPECT_EQ(read->reason, "Error : Invalid Address; Couldn't Peek Rgister 1e");
    EXPECT_TRUE(values.empty());
}

TEST_F(Batch, ACancelledBatchStopsAfterTheItemInHand) {
    rig.prompt.cancelAt = 2;
    const BatchOutcome outcome = batch.PokeMany(Pokes({{0x0A, 1}, {0x0B, 2}, {0x0C, 3}}));
    ASSERT_TRUE(outcome);
    EXPECT_EQ(outcome->index, 2u);
    EXPECT_EQ(outcome->reason, "Cancelled after 2 of 3 registers");
    EXPECT_EQ(rig.board.ChipRegister(0x0B), 2u);
    EXPECT_EQ(rig.board.ChipRegister(0x0C), 0u);
    EXPECT_EQ(journal.UndoText(), "Undo PokeMany: 2 writes");
}

TEST_F(Batch, ReadsAnswerTheValuesInOrder) {
    rig.board.SetChipRegister(0x0A, 0xFFFFFFFF);
    rig.board.SetChipRegister(0x0B, 0x01234567);
    rig.board.SetPldRegister(3, 0x5A);
    rig.board.SetPldRegister(4, 0xA5);
    std::vector<std::uint32_t> words;
    EXPECT_FALSE(batch.PeekMany({0x0B, 0x0A, 0x0B}, words));
    EXPECT_EQ(words, (std::vector<std::uint32_t>{0x01234567, 0xFFFFFFFF, 0x01234567}));
    std::vector<std::uint8_t> bytes;
    EXPECT_FALSE(batch.PldReadMany({4, 3}, bytes));
    EXPECT_EQ(bytes, (std::vector<std::uint8_t>{0xA5, 0x5A}));
    EXPECT_FALSE(batch.PeekMany({}, words));
    EXPECT_TRUE(words.empty());
    EXPECT_TRUE(journal.Entries().empty()) << "reads are no writes";
}

// The PLD batches switch the DataClk source once and restore it, and refuse when it is tristated.
TEST_F(Batch, PldBatchesGuardTheDataClkSourceOnce) {
    rig.SetBridge(kBoardControl, 0x02);
    rig.spy->strobes.clear();
    EXPECT_FALSE(batch.PldWriteMany(Plds({{0, 0x11}, {1, 0x22}, {2, 0x33}})));
    EXPECT_EQ(rig.board.PldRegister(0), 0x11);
    EXPECT_EQ(rig.board.PldRegister(2), 0x33);
    EXPECT_EQ(rig.spy->BridgeWrites(kBoardControl), (std::vector<std::uint8_t>{0x00, 0x02}));

    rig.SetBridge(kBoardControl, 0x03);
    const BatchOutcome refused = batch.PldWriteMany(Plds({{0, 0x44}}));
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->index, 0u);
    EXPECT_EQ(refused->reason,
              "Error : DataClk and Din[15:0] are Tristated; You must first Enable DataClk and "
              "Din[15:0]; Failed");
    EXPECT_EQ(rig.board.PldRegister(0), 0x11);
}

// A PLD batch that stops, failed or cancelled, gives DataClk back to the user's source and says so
// in its reason: the board never stays on RefClk behind the user's back.
TEST_F(Batch, AStoppedPldBatchRestoresTheDataClkSourceAndSaysSo) {
    rig.SetBridge(kBoardControl, 0x02);
    const BatchOutcome failed = batch.PldWriteMany(Plds({{9, 0x10}, {64, 0x20}, {11, 0x03}}));
    ASSERT_TRUE(failed);
    EXPECT_EQ(failed->index, 1u);
    EXPECT_EQ(
        failed->reason,
        "Error : Invalid Address; Couldn't Write to Pld Register # 40; DataClk source restored to SysClk/2");
    EXPECT_EQ(rig.board.BridgeRegister(kBoardControl), 0x02);
    EXPECT_EQ(rig.doc.Shadow().FetchBridgeReg(kBoardControl), 0x02);

    rig.SetBridge(kBoardControl, 0x01);
    rig.prompt.cancelAt = 1;
    std::vector<std::uint8_t> values;
    const BatchOutcome cancelled = batch.PldReadMany({12, 12, 12}, values);
    ASSERT_TRUE(cancelled);
    EXPECT_EQ(cancelled->index, 1u);
    EXPECT_EQ(cancelled->reason, "Cancelled after 1 of 3 registers; DataClk source restored to 2xSymbolClk");
    EXPECT_EQ(rig.board.BridgeRegister(kBoardControl), 0x01);
    EXPECT_TRUE(values.empty());
}

// A recording replays what the session did, no more: a batch that stopped records the items done.
TEST_F(Batch, AStoppedBatchRecordsOnlyWhatItDid) {
    Record();
    ASSERT_TRUE(batch.PldWriteMany(Plds({{9, 0x10}, {64, 0x20}, {11, 0x03}})));
    ASSERT_TRUE(batch.PokeMany(Pokes({{0x0D, 0x55}, {0x14, 1}, {0x0E, 1}})));
    std::vector<std::uint8_t> bytes;
    ASSERT_TRUE(batch.PldReadMany({12, 70}, bytes));
    EXPECT_EQ(Recorded(), "\nTarsion.PldWrite ( 0x09,0x10 );"
                          "\nTarsion.Poke ( 0x0d,0x00000055 );"
                          "\nData = Tarsion.PldRead ( 0x0c );");
    EXPECT_EQ(rig.board.PldRegister(11), 0);
}

TEST_F(Batch, UndoAfterPokeManyRestoresEveryRegisterAsOneStep) {
    std::vector<RegisterWrite> writes;
    std::vector<std::uint32_t> before;
    for (const std::uint8_t reg : kValueRegisters) {
        const std::uint32_t old = 0x01010101u * reg;
        before.push_back(old & ChipRegisterTable()[reg]->largestValue);
        rig.board.SetChipRegister(reg, before.back());
        rig.doc.Shadow().StoreChipReg(reg, before.back());
    }
    // Each register written twice, so undo must restore in reverse to end at the first old value.
    for (std::uint32_t pass = 1; pass <= 2; ++pass) {
        for (const std::uint8_t reg : kValueRegisters)
            writes.push_back(
                RegisterWrite::Chip(reg, (0x0F0F0F0Fu + pass) & ChipRegisterTable()[reg]->largestValue));
    }
    ASSERT_FALSE(batch.PokeMany(writes));
    ASSERT_TRUE(journal.CanUndo());
    EXPECT_EQ(journal.UndoText(), "Undo PokeMany: 32 writes");

    ASSERT_TRUE(journal.Undo());
    for (std::size_t i = 0; i < std::size(kValueRegisters); ++i) {
        const std::uint8_t reg = kValueRegisters[i];
        // The interrupt status clears on written ones: it cannot be put back.
        if (reg != chipreg::kInterruptStatus) {
            EXPECT_EQ(rig.board.ChipRegister(reg), before[i]) << std::hex << int(reg);
        }
    }
    EXPECT_FALSE(journal.CanUndo()) << "the batch was one undo step";
    EXPECT_EQ(journal.Entries().back().source, "undo");

    ASSERT_TRUE(journal.Redo());
    EXPECT_EQ(rig.board.ChipRegister(0x0A), (0x0F0F0F0Fu + 2));
    EXPECT_EQ(rig.board.ChipRegister(0x11), (0x0F0F0F0Fu + 2) & 0x7FFFF);
}

TEST_F(Batch, UndoOfPldWriteManyRestoresTheSettingsUnderTheGuard) {
    rig.SetBridge(kBoardControl, 0x01);
    rig.board.SetPldRegister(9, 0x11);
    rig.doc.Shadow().StorePldReg(9, 0x11);
    ASSERT_FALSE(batch.PldWriteMany(Plds({{9, 0x22}, {15, 0x33}, {8, 0x44}})));
    EXPECT_EQ(journal.UndoText(), "Undo PldWriteMany: 3 writes");
    ASSERT_TRUE(journal.Undo());
    EXPECT_EQ(rig.board.PldRegister(9), 0x11);
    EXPECT_EQ(rig.board.PldRegister(15), 0x00);
    // PLD 8 carries transfers: not undone.
    EXPECT_EQ(rig.board.PldRegister(8), 0x44);
    EXPECT_EQ(rig.board.BridgeRegister(kBoardControl), 0x01);
}

TEST_F(Batch, ALargeBatchIsNamedByItsCountAndTheJournalStaysBounded) {
    std::vector<RegisterWrite> writes;
    for (std::uint32_t i = 0; i < 10000; ++i)
        writes.push_back(RegisterWrite::Chip(0x0A, i + 1));
    ASSERT_FALSE(batch.PokeMany(writes));
    EXPECT_EQ(journal.UndoText(), "Undo PokeMany: 10,000 writes");
    EXPECT_EQ(CRegisterBatch::WritesText("PokeMany", 1), "PokeMany: 1 write");
    EXPECT_EQ(CRegisterBatch::WritesText("PokeMany", 999), "PokeMany: 999 writes");
    EXPECT_EQ(CRegisterBatch::WritesText("PokeMany", 1000000), "PokeMany: 1,000,000 writes");

    // Batches that together hold more writes than the journal keeps: the oldest drop first, the
    // newest stays whole.
    for (int i = 0; i < 11; ++i)
        ASSERT_FALSE(batch.PokeMany(writes));
    std::size_t kept = 0;
    for (const auto& entry : journal.Entries())
        kept += entry.Writes().size();
    EXPECT_LE(kept, CRegisterJournal::kMaximumWrites);
    EXPECT_EQ(journal.Entries().size(), CRegisterJournal::kMaximumWrites / writes.size());
    EXPECT_EQ(journal.Entries().back().Writes().size(), writes.size());
}

} // namespace
} // namespace tarsion::test
