#include "loaders/LoaderRig.h"
#include "ops/PrivateBoard.h"
#include "ops/ScriptReplay.h"
#include "registers/RegisterSnapshot.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace tarsion::test {
namespace {

constexpr std::uint8_t kBoardControl = 9;

std::string Taps(int count) {
    std::string text;
    for (int i = 1; i <= 7; ++i)
        text += "header " + std::to_string(i) + "\n";
    for (int i = 0; i < count; ++i)
        text += std::to_string(0.001 * (i % 7 + 1)) + "\n";
    return text;
}

// A board set up by hand: a filter in both RAMs, a generated pattern, registers poked.
struct Snapshots : ::testing::Test {
    LoaderRig rig;

    Snapshots() {
        rig.WriteFile("lp filter.coe", Taps(96));
        EXPECT_TRUE(rig.ops.LoadCoefficientRam(2, "lp filter.coe", true, 1.0, true, 1, false, false));
        EXPECT_TRUE(rig.ops.LoadExternalMem(1, 2, 0.5, -0.25, 8, 64));
        EXPECT_TRUE(rig.ops.Poke(0x0a, 0x20000000));
        EXPECT_TRUE(rig.ops.Poke(0x01, 0x00012345));
        EXPECT_TRUE(rig.ops.Write(kBoardControl, 1));
    }
};

TEST_F(Snapshots, ReplayOfASavedConfigurationGivesTheSnapshotTakenWhenSaved) {
    const std::string path = (rig.dir / "config.js").string();
    ASSERT_TRUE(rig.ops.SaveSettings(path));
    const CRegisterSnapshot saved = CRegisterSnapshot::Take(rig.doc, "saved");
    const std::string logBefore = rig.log.text;

    CPrivateBoard board(rig.doc);
    CScriptReplay replay(board.Ops());
    ASSERT_TRUE(replay.Run(ReadWholeFile(path))) << replay.Error();
    EXPECT_TRUE(replay.Failures().empty()) << replay.Failures().front();
    const CRegisterSnapshot replayed = CRegisterSnapshot::Take(board.Doc(), "replayed");
    EXPECT_TRUE(replayed.SameSettingsAs(saved)) << SnapshotText(replayed) << "\n---\n" << SnapshotText(saved);
    EXPECT_EQ(board.Doc().coefficientQ.fileName, saved.coefficientQ.fileName);
    // Nothing reached the program's own board or log.
    EXPECT_EQ(rig.log.text, logBefore);
}

TEST_F(Snapshots, FileTextReadsBackTheSameSnapshot) {
    CRegisterSnapshot snapshot = CRegisterSnapshot::Take(rig.doc, "before\\after \x01 tuning");
    snapshot.coefficientQ.fileName = "/odd\nname.coe";
    snapshot.coefficientQ.scale = 0.1 + 0.2;
    const SnapshotReading reading = ReadSnapshotText(SnapshotText(snapshot));
    ASSERT_TRUE(reading.snapshot) << reading.error;
    EXPECT_TRUE(reading.snapshot->SameSettingsAs(snapshot));
    EXPECT_EQ(reading.snapshot->name, snapshot.name);
    EXPECT_EQ(reading.snapshot->coefficientQ.fileName, "/odd\nname.coe");
    EXPECT_EQ(reading.snapshot->chip[0x0a], 0x20000000u);
}

TEST_F(Snapshots, MalformedFilesAreRefusedWithTheLine) {
    const std::string good = SnapshotText(CRegisterSnapshot::Take(rig.doc, "n"));
    const auto replaced = [&good](const std::string& from, const std::string& to) {
        std::string text = good;
        const auto at = text.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        return text.replace(at, from.size(), to);
    };
    struct Case {
        std::string text;
        std::string error;
    };
    const Case cases[] = {
        {"", "the file is empty"},
        {replaced("snapshot 1", "snapshot 2"), "line 1: not a Tarsion register snapshot"},
        {replaced("end\n", ""), "the file ends early"},
        {good + "chip 0a 00000000\n", "text after \"end\""},
        {replaced("chip 0a 20000000", "chip 0a 2000000"), "line 15: bad chip register line"},
        {replaced("chip 0a 20000000", "chip 0e 20000000"), "line 15: bad chip register line"},
        {replaced("end\n", "chip 0a 20000000\nend\n"), "repeated register"},
        {replaced("MemoryControl", "DeviceConfig"), "line 5: the register name does not match"},
        {replaced("chip 00 ", "#hip 00 "), "a chip register is missing"},
        {replaced("bridge 08 00", "bridge 07 00"), "bad CPLD register line"},
        {replaced("pld 0c ", "pld 0b "), "repeated register"},
        {replaced("clockpin 80000000", "clockpin nan"), "bad clock pin frequency"},
        {replaced("constellation Unknown", "constellation Unk\\q"), "bad constellation file name"},
        {replaced("pattern 1 2", "pattern x 2"), "bad pattern settings"},
        {replaced("coefficient I", "coefficient X"), "bad coefficient channel"},
        {replaced("constellation", "constellations"), "unknown line"},
        {good + std::string(kLargestSnapshotText, '#'), "the file is too large"},
    };
    for (const Case& c : cases) {
        const SnapshotReading reading = ReadSnapshotText(c.text);
        EXPECT_FALSE(reading.snapshot) << c.error;
        EXPECT_NE(reading.error.find(c.error), std::string::npos) << reading.error << " / " << c.error;
    }
}

TEST(ScriptReplayRefusal, ScriptsThatAreMoreThanCallsRunNothing) {
    struct Case {
        const char* script;
        const char* error;
    };
    const Case cases[] = {
        {"Tarsion.Poke(0x0a,0x1);\nWScript.Sleep(10);", "line 2: not a recorded call"},
        {"Tarsion.Poke(0x0a,0x1); Tarsion.Poke(0x0b,0x1);", "line 1: more than one call on the line"},
        {"Tarsion.Poke(0x0a,0x1);\nTarsion.DumpConstellationRam('x');", "line 2: not a method that changes"},
        {"Tarsion.Poke(0x10a,0x1);", "line 1: bad arguments to Poke"},
        {"Tarsion.Poke(0x0a,1.5);", "line 1: bad arguments to Poke"},
        {"Tarsion.Poke(0x0a);", "line 1: bad arguments to Poke"},
        {"Tarsion.LoadConstellationRam('unterminated);", "line 1: bad argument"},
        {"var x = eval('Tarsion.Poke(1,2)');", "line 1: not a recorded call"},
        {"Tarsion.Poke(0x0a,0x1)\n}", "line 2: not a recorded call"},
        // Script variables are case-sensitive: this one would be undefined.
        {"tarsion.Poke(0x0a,0x1);", "line 1: not a recorded call"},
    };
    for (const Case& c : cases) {
        LoaderRig rig;
        CScriptReplay replay(rig.ops);
        EXPECT_FALSE(replay.Run(c.script)) << c.script;
        EXPECT_NE(replay.Error().find(c.error), std::string::npos) << replay.Error() << " / " << c.error;
        EXPECT_EQ(rig.board.ChipRegister(0x0a), 0u) << c.script;
        EXPECT_TRUE(rig.log.text.empty()) << c.script;
    }
}

TEST(ScriptReplayCalls, RecordedLinesRunInOrderAndFailuresAreListed) {
    LoaderRig rig;
    CScriptReplay replay(rig.ops);
    ASSERT_TRUE(replay.Run("var WshShell = WScript.CreateObject(\"WScript.Shell\");\r\n"
                           "var Data;\r\n"
                           "// tuning\r\n"
                           "Tarsion.Poke ( 0x0a,0x20000000 );\r\n"
                           "Data=Tarsion.Peek(0x0a);\r\n"
                           "Tarsion.poke(11, 4096)\r\n"
                           "Tarsion.write(9,2);\r\n"
                           "Tarsion.LoadConstellationRam('missing \\x41.hex ');\r\n"))
        << replay.Error();
    EXPECT_EQ(rig.board.ChipRegister(0x0a), 0x20000000u);
    EXPECT_EQ(rig.board.ChipRegister(0x0b), 4096u);
    EXPECT_EQ(rig.board.BridgeRegister(kBoardControl), 2);
    ASSERT_EQ(replay.Failures().size(), 1u);
    EXPECT_EQ(replay.Failures()[0], "line 8: LoadConstellationRam failed");
}

} // namespace
} // namespace tarsion::test
