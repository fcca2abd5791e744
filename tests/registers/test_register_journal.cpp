#include "ops/OpsTestRig.h"
#include "registers/RegisterJournal.h"

#include <gtest/gtest.h>

namespace tarsion::test {
namespace {

constexpr std::uint8_t kCarrier = 0x0a;
constexpr std::uint8_t kFifoControl = 0x02;
constexpr std::uint8_t kBoardControl = 9;
constexpr std::uint8_t kPatternStart = 9;

struct Journal : ::testing::Test {
    OpsRig rig;
    CRegisterJournal journal{rig.ops};
    int changes = 0;
    Journal() {
        journal.SetChangeHandler([this] { ++changes; });
    }
};

TEST_F(Journal, UndoWritesTheOldValueAsAnOrdinaryPokeAndRedoWritesItAgain) {
    ASSERT_TRUE(rig.ops.Poke(kCarrier, 0x10000000));
    ASSERT_TRUE(rig.ops.Poke(kCarrier, 0x20000000));
    EXPECT_EQ(journal.UndoText(), "Undo Poke 0a 20000000");
    rig.log.text.clear();

    ASSERT_TRUE(journal.Undo());
    EXPECT_EQ(rig.board.ChipRegister(kCarrier), 0x10000000u);
    EXPECT_EQ(rig.log.text, "Poke 0a 10000000 \r\n\tDone\r\n");
    EXPECT_EQ(journal.UndoText(), "Undo Poke 0a 10000000");
    EXPECT_EQ(journal.RedoText(), "Redo Poke 0a 20000000");

    ASSERT_TRUE(journal.Redo());
    EXPECT_EQ(rig.board.ChipRegister(kCarrier), 0x20000000u);
    ASSERT_EQ(journal.Entries().size(), 4u);
    EXPECT_EQ(journal.Entries()[2].source, "undo");
    EXPECT_EQ(journal.Entries()[3].source, "redo");
    EXPECT_GE(changes, 4);
}

TEST_F(Journal, BitOperationsConsoleAndCpldWritesAreUndoneToTheValueBefore) {
    rig.board.SetChipRegister(kFifoControl, 0x00000f00);
    ASSERT_TRUE(rig.ops.SetBits(kFifoControl, 0x1));
    ASSERT_TRUE(rig.ops.Console("modifybits 02 00000030 000000f0"));
    ASSERT_TRUE(rig.ops.Write(kBoardControl, 2));
    ASSERT_TRUE(rig.ops.PldWrite(kPatternStart, 0x44));
    EXPECT_EQ(journal.Entries()[1].source, "console");
    EXPECT_EQ(journal.UndoText(), "Undo PldWrite 09 44");

    ASSERT_TRUE(journal.Undo());
    EXPECT_EQ(journal.UndoText(), "Undo Write 09 02");
    ASSERT_TRUE(journal.Undo());
    EXPECT_EQ(rig.board.BridgeRegister(kBoardControl), 0);
    ASSERT_TRUE(journal.Undo());
    EXPECT_EQ(rig.board.ChipRegister(kFifoControl), 0x00000f01u);
    ASSERT_TRUE(journal.Undo());
    EXPECT_EQ(rig.board.ChipRegister(kFifoControl), 0x00000f00u);
    EXPECT_FALSE(journal.CanUndo());
    EXPECT_FALSE(journal.Undo());
}

TEST_F(Journal, WritesThatCannotBeTakenBackStayInTheHistoryOnly) {
    struct Case {
        const char* line;
        bool undoable;
    };
    // Interrupt status clears on written ones, strobes hold nothing, bridge 0..7 and PLD 0..8 carry
    // transfers; the settings start at bridge 8 and PLD 9.
    const Case cases[] = {{"poke 08 000000ff", false}, {"poke 0e 00000001", false}, {"write 03 12", false},
                          {"pldwrite 06 01", false},   {"poke 1f 00000001", true},  {"write 0f 01", true},
                          {"write 07 01", false},      {"write 08 01", true},       {"pldwrite 08 01", false},
                          {"pldwrite 09 01", true},    {"pldwrite 0f 01", true}};
    for (const Case& c : cases) {
        OpsRig fresh;
        CRegisterJournal local(fresh.ops);
        ASSERT_TRUE(fresh.ops.Console(c.line));
        EXPECT_EQ(local.Entries().size(), 1u) << c.line;
        EXPECT_EQ(local.CanUndo(), c.undoable) << c.line;
    }
}

TEST_F(Journal, ANewWriteDropsTheRedoAndTheListsStayCapped) {
    ASSERT_TRUE(rig.ops.Poke(kCarrier, 1));
    ASSERT_TRUE(journal.Undo());
    ASSERT_TRUE(rig.ops.Poke(kCarrier, 2));
    EXPECT_FALSE(journal.CanRedo());

    for (std::uint32_t i = 0; i < CRegisterJournal::kMaximumEntries + 10; ++i)
        journal.OnRegisterWrites(
            {WriteSource::Page, "Poke", false, {{RegisterSpace::Chip, kCarrier, i, i + 1}}});
    EXPECT_EQ(journal.Entries().size(), CRegisterJournal::kMaximumEntries);
    std::size_t undone = 0;
    while (journal.Undo())
        ++undone;
    EXPECT_EQ(undone, CRegisterJournal::kMaximumUndo);
}

TEST_F(Journal, CsvHasOneLinePerWriteWithOldAndNew) {
    rig.board.SetChipRegister(kCarrier, 0x5);
    rig.doc.Shadow().StoreChipReg(kCarrier, 0x5);
    ASSERT_TRUE(rig.ops.Poke(kCarrier, 0x20000000));
    const std::string csv = journal.Csv();
    EXPECT_TRUE(csv.starts_with("time,source,space,register,old,new,operation\n")) << csv;
    EXPECT_NE(csv.find(",page,chip,0a,00000005,20000000,Poke 0a 20000000\n"), std::string::npos) << csv;
}

} // namespace
} // namespace tarsion::test
