// A memory changed other than by a load says so, naming the change and its time, until a load
// replaces it; Verify compares with what was last written; Save Configuration names every memory it
// would not restore and restores those read from the board from files beside it.

#include "LoaderRig.h"
#include "ops/MemoryReadBack.h"
#include "ops/MemoryTransfer.h"
#include "ops/ScriptReplay.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

namespace tarsion::test {
namespace {

constexpr const char* kHeader = "1\n2\n3\n4\n5\n6\n7\n";

// The note with its time replaced by "T".
std::string NoteOf(const LoaderRig& rig, ChipMemory memory) {
    const std::optional<std::string> note = rig.doc.loaded.MismatchNote(memory);
    return note ? std::regex_replace(*note, std::regex("[0-9]{2}:[0-9]{2}:[0-9]{2}"), "T") : "none";
}

struct MemoryMarks : ::testing::Test {
    LoaderRig rig;
    CMemoryTransfer transfer{rig.ops};
    CMemoryVerifier verifier{rig.ops};
};

TEST_F(MemoryMarks, WriteMemoryConsoleAndVerifyMarkTheMemoryUntilALoad) {
    const std::string map = rig.WriteFile("qam16.hex", "0011\n0122\n");
    ASSERT_TRUE(rig.ops.LoadConstellationRam(map));
    EXPECT_EQ(NoteOf(rig, ChipMemory::Constellation), "none");

    ASSERT_FALSE(transfer.Write("constellation", 5, {{0x5A}}));
    EXPECT_EQ(rig.board.ConstellationRam(5), 0x5A);
    EXPECT_EQ(NoteOf(rig, ChipMemory::Constellation), "changed since qam16.hex was loaded (WriteMemory T)");
    // What was written is what Verify expects.
    EXPECT_TRUE(verifier.Verify(ChipMemory::Constellation).mismatches.empty());

    // A write behind the program's back: Verify finds it, and the mark names Verify.
    rig.board.SetConstellationRam(1, 0x99);
    EXPECT_EQ(verifier.Verify(ChipMemory::Constellation).mismatches.size(), 1u);
    EXPECT_EQ(NoteOf(rig, ChipMemory::Constellation), "changed since qam16.hex was loaded (Verify T)");

    ASSERT_TRUE(rig.ops.LoadConstellationRam(map));
    EXPECT_EQ(NoteOf(rig, ChipMemory::Constellation), "none");

    // The console's MemoryLoadStrobe through the bridge: entry 0x07 of the selected RAM.
    for (const char* line : {"poke 0 10", "write 2 ab", "write 3 07", "write 4 0f"})
        ASSERT_TRUE(rig.ops.Console(line)) << line;
    EXPECT_EQ(rig.board.ConstellationRam(7), 0xAB);
    EXPECT_EQ(NoteOf(rig, ChipMemory::Constellation), "changed since qam16.hex was loaded (console T)");
    EXPECT_EQ(NoteOf(rig, ChipMemory::Pattern), "none");

    // The last address byte of a pattern word, with bit 18 clear, writes the pattern memory.
    ASSERT_TRUE(rig.ops.Console("pldwrite 8 03"));
    EXPECT_EQ(NoteOf(rig, ChipMemory::Pattern), "changed with no load in this run (console T)");
    ASSERT_TRUE(rig.ops.Console("pldwrite 8 04"));
    EXPECT_EQ(NoteOf(rig, ChipMemory::Pattern), "changed with no load in this run (console T)");
}

TEST_F(MemoryMarks, CoefficientRamsTakeSingleWordsOfNineBytes) {
    const std::string taps = rig.WriteFile("lp.coe", std::string(kHeader) + "0.1\n0.2\n0.3\n");
    ASSERT_TRUE(rig.ops.LoadCoefficientRam(2, taps, true, 1, false, 0, false, false));
    const CoefficientWord q0 = rig.board.CoefficientRam(1, 0xFF);
    const MemoryWord word = {1, 2, 3, 4, 5, 6, 7, 8, 0x09};

    ASSERT_FALSE(transfer.Write("I", 0xFF, {word}));

    const CoefficientWord& written = rig.board.CoefficientRam(0, 0xFF);
    EXPECT_TRUE(std::equal(word.begin(), word.end(), written.begin()));
    EXPECT_EQ(rig.board.CoefficientRam(1, 0xFF), q0);
    EXPECT_EQ(rig.board.ChipRegister(0x00), 0u);
    EXPECT_EQ(NoteOf(rig, ChipMemory::CoefficientI), "changed since lp.coe was loaded (WriteMemory T)");
    EXPECT_EQ(NoteOf(rig, ChipMemory::CoefficientQ), "none");
    EXPECT_TRUE(verifier.Verify(ChipMemory::CoefficientI).mismatches.empty());
    EXPECT_TRUE(transfer.Write("Q", 0, {MemoryWord(8, 1)}).has_value());
}

// Words no sample pair can hold are kept word by word: Verify still compares with what was written.
TEST_F(MemoryMarks, PatternWordsWrittenOverALoadAreWhatVerifyExpects) {
    ASSERT_TRUE(rig.ops.LoadExternalMem(1, 0, 0.5, 0.0, 8, 4));
    const std::uint32_t start = 0x40000 - 8;
    ASSERT_FALSE(transfer.Write("pattern", start + 2, {{0x34, 0x12, 0x30}, {0xFF, 0xFF, 0xFF}}));
    EXPECT_EQ(rig.board.PatternWord(start + 3), 0xFFFFFFu);
    EXPECT_TRUE(verifier.Verify(ChipMemory::Pattern).mismatches.empty());
    EXPECT_EQ(NoteOf(rig, ChipMemory::Pattern),
              "changed since the generated pattern was loaded (WriteMemory T)");
}

// A memory changed since its load is not what its load line would restore: Save Configuration
// names it with the change, and a clean one it leaves unnamed.
TEST_F(MemoryMarks, SaveConfigurationNamesAMemoryChangedSinceItsLoad) {
    ASSERT_TRUE(rig.ops.LoadConstellationRam(rig.WriteFile("qam16.hex", "0011\n")));
    const std::string path = (rig.dir / "c.js").string();
    ASSERT_TRUE(rig.ops.SaveSettings(path));
    ASSERT_EQ(rig.prompt.messages.size(), 1u);
    EXPECT_EQ(rig.prompt.messages[0].find("Constellation RAM"), std::string::npos);

    ASSERT_FALSE(transfer.Write("constellation", 1, {{0x22}}));
    rig.prompt.messages.clear();
    ASSERT_TRUE(rig.ops.SaveSettings(path));
    ASSERT_EQ(rig.prompt.messages.size(), 1u);
    EXPECT_NE(
        rig.prompt.messages[0].find("\nConstellation RAM: changed since qam16.hex was loaded (WriteMemory "),
        std::string::npos)
        << rig.prompt.messages[0];
}

// What Save Configuration can't restore it names; a memory read from the board it restores from a
// file beside the configuration (or the writes that repeat its words), word for word.
TEST_F(MemoryMarks, SaveConfigurationRestoresWhatWasReadFromTheBoard) {
    for (int a = 0; a < 256; ++a)
        rig.board.SetConstellationRam(static_cast<std::uint8_t>(a), static_cast<std::uint8_t>(a * 7));
    CoefficientWord word{};
    for (int a = 0; a < 256; ++a) {
        for (std::size_t b = 0; b < word.size(); ++b)
            word[b] = static_cast<std::uint8_t>(a + 31 * b);
        rig.board.SetCoefficientRam(0, static_cast<std::uint8_t>(a), word);
    }
    for (std::uint32_t a = 0x40000 - 6; a < 0x40000; ++a)
        rig.board.SetPatternWord(a, a % 2 ? 0x21234 : 0x30042);
    for (std::uint8_t reg : {9, 10, 11})
        rig.board.SetPldRegister(reg, reg == 9 ? 0xFA : reg == 10 ? 0xFF : 0x03);
    CMemoryReader reader(rig.ops);
    for (ChipMemory memory : {ChipMemory::Constellation, ChipMemory::CoefficientI, ChipMemory::Pattern})
        ASSERT_TRUE(reader.Read(memory));
    rig.prompt.answers = {true, true, true};
    const std::string path = (rig.dir / "bench.js").string();

    ASSERT_TRUE(rig.ops.SaveSettings(path));

    ASSERT_EQ(rig.prompt.questions.size(), 3u);
    EXPECT_EQ(rig.prompt.questions[1].rfind("Save Configuration|The configuration would not restore the "
                                            "Constellation RAM: not loaded in this run.\nIt was read",
                                            0),
              0u)
        << rig.prompt.questions[1];
    ASSERT_EQ(rig.prompt.messages.size(), 1u);
    EXPECT_EQ(
        rig.prompt.messages[0].rfind("The configuration will not restore:\nQ Coefficient RAM: not loaded "
                                     "in this run\n",
                                     0),
        0u);
    const std::string text = ReadWholeFile(path);
    EXPECT_NE(text.find("\nTarsion.LoadConstellationRam('" + (rig.dir / "bench_constellation.hex").string() +
                        " ' );"),
              std::string::npos);
    EXPECT_NE(
        text.find("\nTarsion.LoadExternalMemory ('" + (rig.dir / "bench_pattern.pat").string() + " ' );"),
        std::string::npos);

    OpsRig fresh;
    CScriptReplay replay(fresh.ops);
    ASSERT_TRUE(replay.Run(text)) << replay.Error();
    EXPECT_TRUE(replay.Failures().empty());
    for (int a = 0; a < 256; ++a) {
        ASSERT_EQ(fresh.board.ConstellationRam(static_cast<std::uint8_t>(a)),
                  rig.board.ConstellationRam(static_cast<std::uint8_t>(a)));
        ASSERT_EQ(fresh.board.CoefficientRam(0, static_cast<std::uint8_t>(a)),
                  rig.board.CoefficientRam(0, static_cast<std::uint8_t>(a)));
    }
    for (std::uint32_t a = 0x40000 - 6; a < 0x40000; ++a)
        EXPECT_EQ(fresh.board.PatternWord(a), rig.board.PatternWord(a)) << a;
    EXPECT_EQ(fresh.board.PatternStart(), 0x40000u - 6);
}

} // namespace
} // namespace tarsion::test
