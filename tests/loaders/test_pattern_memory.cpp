#include "LoaderRig.h"
#include "ops/PatternMemory.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <sstream>

namespace tarsion::test {
namespace {

constexpr std::uint32_t kTop = 0x40000;
constexpr std::uint8_t kBoardControl = 9;
constexpr std::uint8_t kFifoControl = 0x02;
constexpr const char* kFormatLine = "\tIncorrect File Format; File must be either Hex or Floating Point";

std::string Header() {
    return "h1\nh2\nh3\nh4\nh5\nh6\nh7\n";
}

std::string Hex4(unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, "%.4x", value & 0xFFFFu);
    return text;
}

// The 24 bits the board keeps of a sample word: the sample as a signed integer with bits 17..16
// replaced by the marker levels.
std::uint32_t Word(std::int32_t sample, std::uint32_t markers) {
    return (static_cast<std::uint32_t>(sample) & 0xFCFFFFu) | markers;
}

struct PatternMemory : ::testing::Test {
    LoaderRig rig;

    std::string PatternFile(const std::string& body) { return rig.WriteFile("p.pat", Header() + body); }
    std::uint32_t WordAt(std::uint32_t address) const { return rig.board.PatternWord(address); }
    void ExpectNothingSent() const {
        EXPECT_TRUE(rig.spy->strobes.empty());
        EXPECT_EQ(rig.board.PatternStart(), 0u);
    }
};

TEST_F(PatternMemory, SixteenPairsFillTheTopOfTheMemory) {
    std::string body;
    std::string expectedSamples;
    for (unsigned k = 0; k < 16; ++k) {
        body += "0x" + Hex4(0x100 + k) + " 0x" + Hex4(0x8000 + k) + "\n";
        expectedSamples += "\t I = " + Hex4(0x100 + k) + "\r\n\t Q = " + Hex4(0x8000 + k) + "\r\n";
    }
    const std::string path = PatternFile(body);
    ASSERT_TRUE(rig.ops.LoadExternalMemory(path));

    EXPECT_EQ(rig.board.PldRegister(9), 0xe0);
    EXPECT_EQ(rig.board.PldRegister(10), 0xff);
    EXPECT_EQ(rig.board.PldRegister(11), 0x03);
    for (unsigned k = 0; k < 16; ++k) {
        EXPECT_EQ(WordAt(0x3FFE0 + 2 * k), 0x30000u | (0x100 + k)) << k;
        EXPECT_EQ(WordAt(0x3FFE0 + 2 * k + 1), 0x20000u | (0x8000 + k)) << k;
    }
    EXPECT_EQ(rig.log.text, "LoadExternalMemory   " + path +
                                "\r\n\tCounting vectors....\r\n\t32 Vectors Found\r\n\tLoading RAM....\r\n" +
                                expectedSamples + "\tLoaded  32  vectors\r\n");
    EXPECT_EQ(rig.doc.pattern.fileName, "p.pat");
    EXPECT_EQ(rig.prompt.lastProgress, 32u);
    EXPECT_EQ(rig.prompt.progressTotal, 32u);
}

TEST_F(PatternMemory, BlankLinesAndCrlfTakeNoAddress) {
    ASSERT_TRUE(rig.ops.LoadExternalMemory(PatternFile("\r\n0x1 0x2\r\n   \r\n\t\r\n0x3 0x4\r\n\r\n")));
    EXPECT_EQ(rig.board.PatternStart(), kTop - 4);
    EXPECT_EQ(WordAt(kTop - 4), 0x30001u);
    EXPECT_EQ(WordAt(kTop - 3), 0x20002u);
    EXPECT_EQ(WordAt(kTop - 2), 0x30003u);
    EXPECT_EQ(WordAt(kTop - 1), 0x20004u);
}

TEST_F(PatternMemory, EmptyPatternWritesOnlyTheStartAddress) {
    rig.board.SetPatternWord(kTop - 1, 0x123456);
    ASSERT_TRUE(rig.ops.LoadExternalMemory(PatternFile("\n\n")));
    EXPECT_EQ(rig.board.PatternStart(), kTop);
    EXPECT_EQ(WordAt(kTop - 1), 0x123456u);
    const auto lines = rig.LogLines();
    EXPECT_EQ(lines[2], "\t0 Vectors Found");
    EXPECT_EQ(lines.back(), "\tLoaded  0  vectors");
}

TEST_F(PatternMemory, RealSamplesAreScaledAndClipped) {
    ASSERT_TRUE(rig.ops.LoadExternalMemory(PatternFile("1.0 -1.0\n0.5 2.0\n-1.0000152587890625 +.25\n")));
    EXPECT_EQ(WordAt(kTop - 6), 0x37fffu);
    EXPECT_EQ(WordAt(kTop - 5), 0xfe8000u); // negative: bits 23..18 are 1
    EXPECT_EQ(WordAt(kTop - 4), 0x34000u);
    EXPECT_EQ(WordAt(kTop - 3), 0x27fffu);
    EXPECT_EQ(WordAt(kTop - 2), 0xff8001u);
    EXPECT_EQ(WordAt(kTop - 1), 0x22000u);
}

TEST_F(PatternMemory, HexSamplesKeepTheirLowSixteenBits) {
    ASSERT_TRUE(rig.ops.LoadExternalMemory(PatternFile("0x12345 0xFFFF\n")));
    EXPECT_EQ(WordAt(kTop - 2), 0x32345u);
    EXPECT_EQ(WordAt(kTop - 1), 0x2ffffu);
}

TEST_F(PatternMemory, MarkerBitsFollowThePolaritiesOfRegister02) {
    const struct {
        std::uint32_t bits54;
        std::uint32_t iMarkers;
        std::uint32_t qMarkers;
    } rows[] = {{0, 0x30000, 0x20000}, {1, 0x20000, 0x30000}, {2, 0x10000, 0x00000}, {3, 0x00000, 0x10000}};
    const std::string path = PatternFile("0x0001 0x0002\n");
    for (const auto& row : rows) {
        rig.doc.Shadow().StoreChipReg(kFifoControl, row.bits54 << 4);
        ASSERT_TRUE(rig.ops.LoadExternalMemory(path));
        EXPECT_EQ(WordAt(kTop - 2), row.iMarkers | 0x0001) << row.bits54;
        EXPECT_EQ(WordAt(kTop - 1), row.qMarkers | 0x0002) << row.bits54;
    }
}

TEST_F(PatternMemory, LinesOfMixedFormOrUnreadableNumbersAreFormatErrors) {
    for (const char* body : {"0.5 0.5\n0x1 0x2\n", "0x1 0x2\n0.5 0.5\n", "0.5 abc\n", "0.5\n", "0x1\n",
                             "nan 0\n", "inf 0\n", "0x1,0x2\n", "1e999 0\n"}) {
        rig.spy->strobes.clear();
        rig.prompt.messages.clear();
        EXPECT_FALSE(rig.ops.LoadExternalMemory(PatternFile(body))) << body;
        ASSERT_EQ(rig.prompt.messages.size(), 1u) << body;
        EXPECT_EQ(rig.prompt.messages[0].rfind("Incorrect file format !\np.pat, line ", 0), 0u) << body;
        EXPECT_EQ(rig.LastLogLine(), kFormatLine) << body;
        ExpectNothingSent();
        EXPECT_EQ(rig.doc.pattern.fileName, "Unknown");
    }
}

TEST_F(PatternMemory, GeneratedSineFollowsOneCycle) {
    TempFile recording("pattern_record");
    ASSERT_TRUE(rig.doc.StartRecording(recording.Path().string()));
    ASSERT_TRUE(rig.ops.LoadExternalMem(1, 0, 1.0, 0.0, 16, 16));
    rig.doc.StopRecording();

    std::string expectedLog = "LoadExternalMemory   \r\n\tLoading RAM....\r\n";
    for (int k = 0; k < 16; ++k) {
        double x = std::sin(2 * k * 3.1416 / 16) * 32768 + 0.5;
        x = std::min(x, 32767.0);
        x = x <= -32768 ? -32767 : x;
        const auto sample = static_cast<std::int32_t>(std::floor(x));
        EXPECT_EQ(WordAt(0x3FFE0 + 2 * k), Word(sample, 0x30000)) << k;
        EXPECT_EQ(WordAt(0x3FFE0 + 2 * k + 1), 0x20000u) << k;
        expectedLog += "\t I = " + Hex4(static_cast<unsigned>(sample)) + "\r\n\t Q = 0000\r\n";
    }
    EXPECT_EQ(rig.log.text, expectedLog + "\tLoaded 32  vectors\r\n");
    EXPECT_EQ(recording.Content(),
              std::string(kRecordingHeader) +
                  "\nTarsion.LoadExternalMem(1,0,1.000000,0.000000,16.000000,16.000000);");
    const PatternSettings& s = rig.doc.pattern;
    EXPECT_EQ(s.fileName, "Pattern");
    EXPECT_EQ(std::tie(s.iKind, s.qKind, s.iAmplitude, s.qAmplitude, s.samplesPerCycle, s.numberOfSamples),
              std::make_tuple(1, 0, 1.0, 0.0, 16.0, 16.0));
}

TEST_F(PatternMemory, GeneratedCosineAndDc) {
    ASSERT_TRUE(rig.ops.LoadExternalMem(2, 0, 0.5, -0.25, 4, 2));
    EXPECT_EQ(WordAt(kTop - 4), 0x34000u); // 0.5 cos 0
    EXPECT_EQ(WordAt(kTop - 3), Word(-0x2000, 0x20000));
    EXPECT_EQ(
        WordAt(kTop - 2),
        Word(static_cast<std::int32_t>(std::floor(0.5 * std::cos(2 * 3.1416 / 4) * 32768 + 0.5)), 0x30000));
    EXPECT_EQ(WordAt(kTop - 1), Word(-0x2000, 0x20000));
}

TEST_F(PatternMemory, HalfSysClkIsSwitchedToRefClkAndRestored) {
    rig.SetBridge(kBoardControl, 0x06);
    ASSERT_TRUE(rig.ops.LoadExternalMemory(PatternFile("0x1 0x2\n")));
    EXPECT_EQ(rig.spy->BridgeWrites(kBoardControl), (std::vector<std::uint8_t>{0x00, 0x06}));
    EXPECT_EQ(rig.board.BridgeRegister(kBoardControl), 0x06);
    EXPECT_EQ(WordAt(kTop - 2), 0x30001u);
}

TEST_F(PatternMemory, TristatedDataClkRefusesBothLoads) {
    rig.SetBridge(kBoardControl, 0x03);
    const std::string path = PatternFile("0x1 0x2\n");
    rig.spy->strobes.clear();
    EXPECT_FALSE(rig.ops.LoadExternalMemory(path));
    EXPECT_FALSE(rig.ops.LoadExternalMem(1, 0, 1.0, 0.0, 16, 16));
    const std::vector<std::string> expected = {"LoadExternalMemory   " + path,
                                               "\tError : DataClk and Din[15:0] are Tristated",
                                               "\tYou must first Enable DataClk and Din[15:0]",
                                               "\tFailed",
                                               "LoadExternalMemory   ",
                                               "\tError : DataClk and Din[15:0] are Tristated",
                                               "\tYou must first Enable DataClk and Din[15:0]",
                                               "\tFailed"};
    EXPECT_EQ(rig.LogLines(), expected);
    ExpectNothingSent();
    EXPECT_EQ(rig.doc.pattern.fileName, "Unknown");
}

// The guard tries to give DataClk back (the board here no longer answers) and says so.
TEST_F(PatternMemory, FailedWordWriteTriesToRestoreDataClkAndKeepsTheSettings) {
    rig.SetBridge(kBoardControl, 0x02);
    rig.board.ResetCounters();
    // Two cycles for bridge register 9, six for the start address, then into the first word.
    rig.board.InjectFault(VirtualBoard::Fault::BusyNeverAsserted, 12);
    EXPECT_FALSE(rig.ops.LoadExternalMem(0, 0, 0.5, 0.5, 16, 4));
    const std::vector<std::string> lines = rig.LogLines();
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[lines.size() - 3], "\tCouldn't Load the Data File");
    EXPECT_EQ(rig.LastLogLine(), "\tCouldn't restore the DataClk source to SysClk/2");
    EXPECT_EQ(rig.board.BridgeRegister(kBoardControl), 0x00);
    EXPECT_EQ(rig.doc.pattern.fileName, "Unknown");
    EXPECT_EQ(rig.doc.pattern.iAmplitude, 1.0);
}

TEST_F(PatternMemory, PatternsWithoutDefinedValuesAreRefusedBeforeAnyWrite) {
    rig.SetBridge(kBoardControl, 0x02);
    const struct {
        std::int32_t iKind, qKind;
        double iAmplitude, samplesPerCycle, numberOfSamples;
        const char* refusal;
    } cases[] = {
        {3, 0, 1.0, 16, 16, "\tError : Pattern Kind must be 0 (DC), 1 (Sine Wave) or 2 (Cos Wave)"},
        {0, -1, 1.0, 16, 16, "\tError : Pattern Kind must be 0 (DC), 1 (Sine Wave) or 2 (Cos Wave)"},
        {1, 0, 1.0, 0, 16, "\tError : Samples per Cycle must be above 0"},
        {1, 0, 1.0, -4, 16, "\tError : Samples per Cycle must be above 0"},
        {1, 0, 1.0, NAN, 16, "\tError : Samples per Cycle must be above 0"},
        {1, 0, 1.0, 16, -1, "\tError : Number of Samples must be a whole number from 0 to 131072"},
        {1, 0, 1.0, 16, 16.5, "\tError : Number of Samples must be a whole number from 0 to 131072"},
        {1, 0, 1.0, 16, 131073, "\tError : Number of Samples must be a whole number from 0 to 131072"},
        {1, 0, 1.0, 16, NAN, "\tError : Number of Samples must be a whole number from 0 to 131072"},
        {1, 0, INFINITY, 16, 16, "\tError : Amplitude must be a finite number"},
    };
    rig.spy->strobes.clear();
    for (const auto& c : cases) {
        EXPECT_FALSE(rig.ops.LoadExternalMem(c.iKind, c.qKind, c.iAmplitude, 0.0, c.samplesPerCycle,
                                             c.numberOfSamples));
        EXPECT_EQ(rig.LastLogLine(), c.refusal);
    }
    ExpectNothingSent();
    EXPECT_EQ(rig.doc.pattern.fileName, "Unknown");
}

TEST_F(PatternMemory, FileOfMorePairsThanTheMemoryHoldsIsRefusedBeforeAnyWrite) {
    std::string body;
    for (std::size_t k = 0; k <= kMaxPatternPairs; ++k)
        body += "0x1 0x2\n";
    const std::string path = PatternFile(body);
    rig.SetBridge(kBoardControl, 0x02);
    rig.spy->strobes.clear();
    EXPECT_FALSE(rig.ops.LoadExternalMemory(path));
    EXPECT_EQ(rig.LogLines(),
              (std::vector<std::string>{"LoadExternalMemory   " + path,
                                        "\tError : Pattern File holds more than 131072 Sample Pairs"}));
    ExpectNothingSent();
}

TEST_F(PatternMemory, MissingFileIsReportedAfterTheGuard) {
    const std::string path = rig.dir.string() + "/none.pat";
    EXPECT_FALSE(rig.ops.LoadExternalMemory(path));
    EXPECT_EQ(rig.LastLogLine(), "\tCould Not Open File " + path);
    EXPECT_EQ(rig.board.PatternStart(), 0u);
}

TEST(PatternFileReader, StopsOnceMorePairsThanAllowedAreSeen) {
    std::istringstream exact(Header() + "0x1 0x2\n\n0x3 0x4\n");
    const tarsion::PatternFile two = ReadPatternFile(exact, 2);
    EXPECT_FALSE(two.tooLarge);
    EXPECT_EQ(two.pairs.size(), 2u);
    std::istringstream over(Header() + "0x1 0x2\n0x3 0x4\n0x5 0x6\n");
    EXPECT_TRUE(ReadPatternFile(over, 2).tooLarge);
}

TEST(PatternFileReader, HeaderLinesAreIgnoredWhateverTheyHold) {
    std::istringstream in("0x1 0x2\n1.0 1.0\nx\n\n\n\n\n0.5 0.5\n");
    const tarsion::PatternFile file = ReadPatternFile(in);
    EXPECT_FALSE(file.formatError);
    ASSERT_EQ(file.pairs.size(), 1u);
    EXPECT_EQ(file.pairs[0].i, 0x4000);
}

} // namespace
} // namespace tarsion::test
