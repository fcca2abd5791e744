#include "LoaderRig.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>

namespace tarsion::test {
namespace {

constexpr std::uint8_t kMemoryControl = 0x00;

struct ConstellationRam : ::testing::Test {
    LoaderRig rig;

    void FillRam(std::uint8_t value) {
        for (int a = 0; a < 256; ++a)
            rig.board.SetConstellationRam(static_cast<std::uint8_t>(a), value);
    }
};

TEST_F(ConstellationRam, FileOfBlankLinesClearsEveryEntry) {
    FillRam(0x55);
    const std::string path = rig.WriteFile("blank.hex", "\n   \r\n\t\n");
    ASSERT_TRUE(rig.ops.LoadConstellationRam(path));
    for (int a = 0; a < 256; ++a)
        EXPECT_EQ(rig.board.ConstellationRam(static_cast<std::uint8_t>(a)), 0) << a;
    EXPECT_EQ(rig.board.ChipRegister(kMemoryControl), 0u);
    EXPECT_EQ(rig.log.text, "LoadConstellationRam " + path + "\r\n\tDone\r\n");
}

TEST_F(ConstellationRam, EntryLinesSetAddressAndValue) {
    const struct {
        const char* content;
        std::uint8_t address;
        std::uint8_t value;
    } cases[] = {
        {"  00ff \r\n", 0x00, 0xff},  {"1F3c\n", 0x1f, 0x3c},
        {"0x12\n", 0x00, 0x12},       // read as the number 0x12
        {"2011\n2022\n", 0x20, 0x22}, // the last value of an address wins
        {"ff01", 0xff, 0x01},         // no line end after the last line
    };
    for (const auto& c : cases) {
        FillRam(0x55);
        ASSERT_TRUE(rig.ops.LoadConstellationRam(rig.WriteFile("e.hex", c.content))) << c.content;
        for (int a = 0; a < 256; ++a) {
            const std::uint8_t expected = a == c.address ? c.value : 0;
            ASSERT_EQ(rig.board.ConstellationRam(static_cast<std::uint8_t>(a)), expected) << c.content << a;
        }
    }
}

TEST_F(ConstellationRam, LineThatIsNoEntryRefusesTheFileBeforeAnyWrite) {
    for (const char* bad : {"12345", "123", "zz12", "12zz", "+123", "1 23", "0x1g", "000000000011"}) {
        FillRam(0x55);
        const std::string path = rig.WriteFile("bad.hex", std::string("0501\n") + bad + "\n0602\n");
        EXPECT_FALSE(rig.ops.LoadConstellationRam(path)) << bad;
        EXPECT_EQ(rig.LastLogLine(), "\tIncorrect Constellation file format") << bad;
        for (int a = 0; a < 256; ++a)
            ASSERT_EQ(rig.board.ConstellationRam(static_cast<std::uint8_t>(a)), 0x55) << bad << a;
        EXPECT_EQ(rig.board.ChipRegister(kMemoryControl), 0u) << bad; // never selected
        EXPECT_EQ(rig.doc.constellationFile, "Unknown") << bad;
    }
}

TEST_F(ConstellationRam, RelativeNameIsLoggedAndRecordedInFullAndStoredRelative) {
    TempFile recording("constellation_record");
    ASSERT_TRUE(rig.doc.StartRecording(recording.Path().string()));
    rig.WriteFile("c.hex", "0102\n");
    // Configuration scripts pass names with one trailing blank.
    ASSERT_TRUE(rig.ops.LoadConstellationRam("c.hex "));
    rig.doc.StopRecording();
    const std::string full = rig.dir.string() + "/c.hex";
    EXPECT_EQ(rig.LogLines().front(), "LoadConstellationRam " + full);
    EXPECT_EQ(recording.Content(),
              std::string(kRecordingHeader) + "\nTarsion.LoadConstellationRam('" + full + " ' );");
    EXPECT_EQ(rig.doc.constellationFile, "c.hex");
    EXPECT_EQ(rig.board.ConstellationRam(0x01), 0x02);
}

TEST_F(ConstellationRam, UnreadableFileTouchesNothing) {
    FillRam(0x55);
    rig.board.ResetCounters();
    const std::string path = rig.dir.string() + "/none.hex";
    EXPECT_FALSE(rig.ops.LoadConstellationRam(path));
    EXPECT_EQ(rig.LastLogLine(), "\tCould Not Open File " + path);
    EXPECT_EQ(rig.board.Cycles(), 0u);
    EXPECT_EQ(rig.board.ConstellationRam(0x00), 0x55);
    // A folder opens but can't be read: no load of nothing reported as success.
    EXPECT_FALSE(rig.ops.LoadConstellationRam(rig.dir.string()));
    EXPECT_EQ(rig.LastLogLine(), "\tCould Not Open File " + rig.dir.string());
    EXPECT_EQ(rig.board.Cycles(), 0u);
}

TEST_F(ConstellationRam, EntryWriteFailureIsReported) {
    const std::string path = rig.WriteFile("c.hex", "0102\n");
    rig.board.ResetCounters();
    // MemoryControl takes four cycles (two bridge writes); the first entry write fails.
    rig.board.InjectFault(VirtualBoard::Fault::BusyNeverAsserted, 5);
    EXPECT_FALSE(rig.ops.LoadConstellationRam(path));
    EXPECT_EQ(rig.LastLogLine(), "\tCouldn't write to Constellation Map RAM");
    EXPECT_EQ(rig.doc.constellationFile, "Unknown");
}

TEST_F(ConstellationRam, DumpThenLoadReproducesTheRam) {
    std::mt19937 random(627);
    std::array<std::uint8_t, 256> original{};
    std::string expectedDump;
    for (int a = 0; a < 256; ++a) {
        original[a] = static_cast<std::uint8_t>(random());
        rig.board.SetConstellationRam(static_cast<std::uint8_t>(a), original[a]);
        char line[8];
        std::snprintf(line, sizeof line, "%02x%02x\n", a, original[a]);
        expectedDump += line;
    }
    ASSERT_TRUE(rig.ops.DumpConstellationRam(rig.dir.string() + "/dump.hex"));
    EXPECT_EQ(rig.LogLines().front(), "DumpConstellationRam dump.hex");
    EXPECT_EQ(rig.LastLogLine(), "\tDone");
    EXPECT_EQ(ReadWholeFile(rig.dir / "dump.hex"), expectedDump);
    EXPECT_EQ(rig.board.ChipRegister(kMemoryControl), 0u);

    FillRam(0xAA);
    ASSERT_TRUE(rig.ops.LoadConstellationRam("dump.hex"));
    for (int a = 0; a < 256; ++a)
        EXPECT_EQ(rig.board.ConstellationRam(static_cast<std::uint8_t>(a)), original[a]) << a;
}

TEST_F(ConstellationRam, DumpIntoMissingFolderFailsBeforeTouchingTheBoard) {
    rig.board.ResetCounters();
    EXPECT_FALSE(rig.ops.DumpConstellationRam("/nonexistent-folder/d.hex"));
    EXPECT_EQ(rig.LastLogLine(), "\tCould Not Create File /nonexistent-folder/d.hex");
    EXPECT_EQ(rig.board.Cycles(), 0u);
}

} // namespace
} // namespace tarsion::test
