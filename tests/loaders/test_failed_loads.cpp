// A load that fails names the file and the line, and leaves its memory marked as matching no file
// until a load succeeds; the names a configuration would write stay those of the last good load.

#include "LoaderRig.h"
#include "ops/DocumentSettings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>
#include <string>

namespace tarsion::test {
namespace {

std::string ReadText(const std::string& path) {
    std::ostringstream text;
    text << std::ifstream(path).rdbuf();
    return text.str();
}

struct FailedLoad : ::testing::Test {
    LoaderRig rig;
};

// A bad file is refused before its first write: the board's memories stay word for word as they
// were, and so do the names and the configuration a save would write.
TEST_F(FailedLoad, BadFilesLeaveTheBoardAndTheConfigurationAsTheyWere) {
    const std::string header = "1\n2\n3\n4\n5\n6\n7\n";
    ASSERT_TRUE(rig.ops.LoadConstellationRam(rig.WriteFile("good.hex", "0001\n0102\nff7f\n")));
    ASSERT_TRUE(rig.ops.LoadCoefficientRam(2, rig.WriteFile("good.coe", header + "0.1 0.2\n0.3 0.1\n"), false,
                                           1, false, 0, false, false));
    ASSERT_TRUE(rig.ops.LoadExternalMemory(rig.WriteFile("good.pat", header + "0x10 0x20\n0x30 0x40\n")));
    const std::string config = (rig.dir / "before.js").string();
    ASSERT_TRUE(rig.ops.SaveSettings(config));
    const std::string configText = ReadText(config);
    const std::string state = rig.board.StateText();
    const std::string names[] = {rig.doc.constellationFile, rig.doc.coefficientI.fileName,
                                 rig.doc.coefficientQ.fileName, rig.doc.pattern.fileName};

    struct Case {
        const char* name;
        std::string text;
        std::function<bool(const std::string&)> load;
        const char* message;
    };
    const auto constellation = [this](const std::string& path) { return rig.ops.LoadConstellationRam(path); };
    const auto both = [this](const std::string& path) {
        return rig.ops.LoadCoefficientRam(2, path, false, 1, false, 0, false, false);
    };
    const Case cases[] = {
        {"late.hex", "0203\n0304\nzz\n", constellation,
         "Incorrect Constellation file format\nlate.hex, line 3\nThe constellation RAM is unchanged."},
        {"first.hex", "12345\n", constellation,
         "Incorrect Constellation file format\nfirst.hex, line 1\nThe constellation RAM is unchanged."},
        // The I column fits; the Q column's taps are out of range at the forced gain.
        {"q.coe", header + "0.1 5\n0.1 5\n", both,
         "Coefficients are out of range\nPlease change your gain, or use Best Fit option"},
        {"taps.coe", header + "0.1 0.1\nx\n", both,
         "Incorrect File Format\ntaps.coe, line 9\nThe coefficient RAMs are unchanged."},
        {"mixed.pat", header + "0.5 0.5\n0x10 0x20\n",
         [this](const std::string& path) { return rig.ops.LoadExternalMemory(path); },
         "Incorrect file format !\nmixed.pat, line 9\nThe pattern memory is unchanged."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        rig.prompt.messages.clear();
        EXPECT_FALSE(c.load(rig.WriteFile(c.name, c.text)));
        ASSERT_FALSE(rig.prompt.messages.empty());
        EXPECT_EQ(rig.prompt.messages[0].rfind(c.message, 0), 0u) << rig.prompt.messages[0];
        EXPECT_EQ(rig.board.StateText(), state);
        const std::string after[] = {rig.doc.constellationFile, rig.doc.coefficientI.fileName,
                                     rig.doc.coefficientQ.fileName, rig.doc.pattern.fileName};
        EXPECT_TRUE(std::equal(std::begin(names), std::end(names), std::begin(after)));
        for (ChipMemory memory : {ChipMemory::Constellation, ChipMemory::CoefficientI,
                                  ChipMemory::CoefficientQ, ChipMemory::Pattern})
            EXPECT_FALSE(rig.doc.loaded.Partial(memory).has_value());
    }
    EXPECT_EQ(rig.LastLogLine(), "\tIncorrect File Format; File must be either Hex or Floating Point");
    ASSERT_TRUE(rig.ops.SaveSettings(config));
    EXPECT_EQ(ReadText(config), configText);
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
        EXPECT_EQ(rig.prompt.messages[0].rfind(c.message, 0), 0u) << rig.prompt.messages[0];
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
