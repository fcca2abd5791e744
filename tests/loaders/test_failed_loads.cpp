// A load that fails names the file and the line, and leaves its memory marked as matching no file
// until a load succeeds; the names a configuration would write stay those of the last good load.

#include "LoaderRig.h"
#include "ops/DocumentSettings.h"

#include <gtest/gtest.h>

#include <string>

namespace tarsion::test {
namespace {

struct FailedLoad : ::testing::Test {
    LoaderRig rig;
};

TEST_F(FailedLoad, ConstellationFormatErrorMarksTheRamAndKeepsTheLastGoodName) {
    const std::string good = rig.WriteFile("good.hex", "0001\n0102\n");
    ASSERT_TRUE(rig.ops.LoadConstellationRam(good));
    const std::string kept = rig.doc.constellationFile;
    const std::string bad = rig.WriteFile("bad.hex", "0203\nzz\n0304\n");

    EXPECT_FALSE(rig.ops.LoadConstellationRam(bad));

    // The RAM was cleared and line 1 written before line 2 stopped the load.
    EXPECT_EQ(rig.board.ConstellationRam(1), 0);
    EXPECT_EQ(rig.board.ConstellationRam(2), 3);
    EXPECT_EQ(rig.LastLogLine(), "\tIncorrect Constellation file format");
    ASSERT_FALSE(rig.prompt.messages.empty());
    EXPECT_EQ(rig.prompt.messages.back(), "Incorrect Constellation file format\nbad.hex, line 2");
    ASSERT_TRUE(rig.doc.loaded.Partial(ChipMemory::Constellation).has_value());
    EXPECT_EQ(rig.doc.loaded.Partial(ChipMemory::Constellation)->note, "partly loaded from bad.hex, line 2");
    EXPECT_EQ(rig.doc.constellationFile, kept);

    ASSERT_TRUE(rig.ops.LoadConstellationRam(good));
    EXPECT_FALSE(rig.doc.loaded.Partial(ChipMemory::Constellation).has_value());
}

// Format errors found before anything is written name the line; the memory is not marked.
TEST_F(FailedLoad, FormatMessagesNameTheFileAndTheLine) {
    const std::string header = "1\n2\n3\n4\n5\n6\n7\n";
    struct Case {
        const char* name;
        std::string text;
        bool pattern;
        const char* message;
    };
    const Case cases[] = {
        {"taps.coe", header + "0.1\n0.2\nx\n", false, "Incorrect File Format\ntaps.coe, line 10"},
        {"gap.coe", header + "0.1\n\n0.2\n", false, "Incorrect File Format\ngap.coe, line 9"},
        {"short.coe", "1\n2\n3\n", false, "Incorrect File Format\nshort.coe, line 4"},
        {"mixed.pat", header + "0.5 0.5\n\n0x10 0x20\n", true, "Incorrect file format !\nmixed.pat, line 10"},
        {"word.pat", header + "0x10 0x20\n0x1 zz\n", true, "Incorrect file format !\nword.pat, line 9"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = rig.WriteFile(c.name, c.text);
        rig.prompt.messages.clear();
        EXPECT_FALSE(c.pattern ? rig.ops.LoadExternalMemory(path)
                               : rig.ops.LoadCoefficientRam(0, path, true, 1, false, 0, false, false));
        ASSERT_EQ(rig.prompt.messages.size(), 1u);
        EXPECT_EQ(rig.prompt.messages[0], c.message);
    }
    EXPECT_FALSE(rig.doc.loaded.Partial(ChipMemory::Pattern).has_value());
    EXPECT_FALSE(rig.doc.loaded.Partial(ChipMemory::CoefficientI).has_value());
}

TEST_F(FailedLoad, AWordThatFailsMarksTheMemoryItReached) {
    std::string coefficients = "1\n2\n3\n4\n5\n6\n7\n";
    for (int k = 0; k < 20; ++k)
        coefficients += "0.01\n";
    const std::string coefficientFile = rig.WriteFile("lp.coe", coefficients);
    rig.board.ResetCounters();
    rig.board.InjectFault(VirtualBoard::Fault::BusyNeverAsserted, 2000);
    EXPECT_FALSE(rig.ops.LoadCoefficientRam(2, coefficientFile, true, 1, false, 0, false, false));
    for (ChipMemory memory : {ChipMemory::CoefficientI, ChipMemory::CoefficientQ}) {
        ASSERT_TRUE(rig.doc.loaded.Partial(memory).has_value());
        EXPECT_EQ(rig.doc.loaded.Partial(memory)->note, "partly loaded from lp.coe");
    }
    EXPECT_EQ(rig.doc.coefficientI.fileName, kUnknownFile);
}

} // namespace
} // namespace tarsion::test
