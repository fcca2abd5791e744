// Long loads and dumps report their progress word by word and stop when the user cancels: after the
// word in hand, with one log line, failing as they would fail at that word.

#include "LoaderRig.h"
#include "ops/DocumentSettings.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>

namespace tarsion::test {
namespace {

constexpr std::uint32_t kTop = 0x40000;
constexpr std::uint8_t kBoardControl = 9;
constexpr std::uint8_t kMemoryControl = 0x00;
constexpr std::uint32_t kUntouched = 0xABCDE;

// The I sample of pair k of a sine of amplitude 1, `period` pairs a cycle, as the board keeps it
// (register 0x02 = 0: TxEnable and iStrobe bits 11 on the I word).
std::uint32_t SineIWord(std::size_t k, double period) {
    double x = std::sin(static_cast<double>(2 * k) * 3.1416 / period) * 32768.0 + 0.5;
    if (x >= 32768.0)
        x = 32767.0;
    const auto sample = static_cast<std::int32_t>(std::floor(x));
    return (static_cast<std::uint32_t>(sample) & 0xFCFFFFu) | 0x30000u;
}

struct LoadCancel : ::testing::Test {
    LoaderRig rig;
};

TEST_F(LoadCancel, GeneratedPatternStopsAfterTheWordInHandAndLeavesWhatAFailureLeaves) {
    constexpr std::size_t kPairs = 3000;
    constexpr std::size_t kWords = 2 * kPairs;
    constexpr std::uint32_t kStart = kTop - kWords;
    constexpr std::size_t kCancelAt = 4097; // an I word: its Q word is never written
    rig.SetBridge(kBoardControl, 2);        // DataClk from SysClk/2: the guard switches it to RefClk
    for (std::uint32_t a = kStart; a < kTop; ++a)
        rig.board.SetPatternWord(a, kUntouched);
    ASSERT_TRUE(rig.ops.Send());
    ASSERT_TRUE(rig.board.Sending());
    rig.prompt.cancelAt = kCancelAt;

    EXPECT_FALSE(rig.ops.LoadExternalMem(1, 0, 1.0, 0.0, 16, kPairs));

    const auto lines = rig.LogLines();
    ASSERT_GE(lines.size(), 4u);
    // What the cancel did to the board, after the load's own lines.
    EXPECT_EQ(lines[lines.size() - 4], "\tCancelled after 4097 of 6000 words");
    EXPECT_EQ(lines[lines.size() - 3], "\tSending stopped");
    EXPECT_EQ(lines[lines.size() - 2], "\tDataClk source restored to SysClk/2");
    EXPECT_EQ(rig.LastLogLine(), "\tCancelled: the pattern memory holds 4097 of 6000 words");
    EXPECT_EQ(rig.board.PldRegister(9), kStart & 0xFF);
    EXPECT_EQ(rig.board.PldRegister(10), (kStart >> 8) & 0xFF);
    EXPECT_EQ(rig.board.PldRegister(11), kStart >> 16);
    for (std::size_t k = 0; k <= 2048; ++k)
        ASSERT_EQ(rig.board.PatternWord(kStart + 2 * k), SineIWord(k, 16)) << "pair " << k;
    EXPECT_EQ(rig.board.PatternWord(kStart + 2 * 2047 + 1), 0x20000u); // Q of pair 2047: 0
    EXPECT_EQ(rig.board.PatternWord(kStart + kCancelAt), kUntouched);
    EXPECT_EQ(rig.board.PatternWord(kTop - 1), kUntouched);
    // The board stops playing the half-written memory and DataClk is back on the user's source; the
    // settings are those of the last load, and the memory is marked until a load succeeds.
    EXPECT_FALSE(rig.board.Sending());
    EXPECT_EQ(rig.board.BridgeRegister(kBoardControl), 2);
    ASSERT_TRUE(rig.doc.loaded.Partial(ChipMemory::Pattern).has_value());
    EXPECT_TRUE(rig.doc.loaded.Partial(ChipMemory::Pattern)->cancelled);
    EXPECT_EQ(rig.doc.pattern.numberOfSamples, PatternSettings{}.numberOfSamples);
    EXPECT_EQ(rig.doc.pattern.fileName, kUnknownFile);
    EXPECT_EQ(rig.prompt.progressEnds, 1);

    // The board is free again: the next operations run to the end.
    rig.prompt.cancelAt = 0;
    EXPECT_TRUE(rig.ops.Poke(0x0A, 0x1234));
    EXPECT_EQ(rig.board.ChipRegister(0x0A), 0x1234u);
    EXPECT_TRUE(rig.ops.LoadExternalMem(1, 0, 1.0, 0.0, 16, kPairs));
    EXPECT_FALSE(rig.doc.loaded.Partial(ChipMemory::Pattern).has_value());
    EXPECT_EQ(rig.board.PatternWord(kTop - 2), SineIWord(kPairs - 1, 16));
    EXPECT_EQ(rig.board.PatternWord(kTop - 1), 0x20000u);
    EXPECT_EQ(rig.doc.pattern.numberOfSamples, kPairs);
}

TEST_F(LoadCancel, CancelledPatternFileKeepsTheNameOfTheLastLoad) {
    std::string body = "h1\nh2\nh3\nh4\nh5\nh6\nh7\n";
    for (int k = 0; k < 100; ++k)
        body += "0.5 -0.5\n";
    const std::string path = rig.WriteFile("p.pat", body);
    rig.prompt.cancelAt = 10;

    EXPECT_FALSE(rig.ops.LoadExternalMemory(path));

    EXPECT_EQ(rig.LastLogLine(), "\tCancelled: the pattern memory holds 10 of 200 words");
    EXPECT_EQ(rig.doc.pattern.fileName, kUnknownFile);
    // The Q word of pair 4: -0.5 is 0xc000 with the sign in bits 23..18, TxEnable in bit 17.
    EXPECT_EQ(rig.board.PatternWord(kTop - 200 + 9), 0xFEC000u);
    EXPECT_EQ(rig.board.PatternWord(kTop - 200 + 10), 0u);
}

TEST_F(LoadCancel, UncancelledLoadReportsProgressRisingToTheEnd) {
    EXPECT_TRUE(rig.ops.LoadExternalMem(0, 0, 0.25, 0.25, 16, 1000));
    EXPECT_FALSE(rig.prompt.progressFell);
    EXPECT_EQ(rig.prompt.lastProgress, 2000u);
    EXPECT_EQ(rig.prompt.progressTotal, 2000u);
    EXPECT_EQ(rig.prompt.progressReports, 2000u);
    EXPECT_EQ(rig.prompt.progressEnds, 1);
}

// Every other long operation stops at a cancel too, with the one line and a failure result.
TEST_F(LoadCancel, EveryLongOperationCanBeCancelled) {
    const std::string coefficients = [] {
        std::string text = "1\n2\n3\n4\n5\n6\n7\n";
        for (int k = 0; k < 20; ++k)
            text += "0.01\n";
        return text;
    }();
    const std::string coefficientFile = rig.WriteFile("f.coe", coefficients);
    const std::string constellationFile = rig.WriteFile("c.hex", "0001\n0102\n");
    struct Case {
        const char* name;
        std::function<bool()> run;
        const char* line;
        std::function<void()> check;
    };
    const Case cases[] = {
        {"coefficient load",
         [&] { return rig.ops.LoadCoefficientRam(0, coefficientFile, true, 1, false, 0, false, false); },
         "\tCancelled after 5 of 256 words",
         [&] {
             // MemoryControl keeps the I selection, as after a failed word; the settings stay.
             EXPECT_EQ(rig.board.ChipRegister(kMemoryControl), 0x44u);
             EXPECT_EQ(rig.doc.coefficientI.fileName, kUnknownFile);
         }},
        {"constellation load", [&] { return rig.ops.LoadConstellationRam(constellationFile); },
         "\tCancelled after 5 of 258 words", [&] { EXPECT_EQ(rig.doc.constellationFile, kUnknownFile); }},
        {"configuration", [&] { return rig.ops.SaveSettings(rig.dir.string() + "/s.js"); },
         "\tCancelled after 5 of 16 registers",
         [&] { EXPECT_FALSE(std::filesystem::exists(rig.dir / "s.js")); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        rig.prompt.cancelAt = 5;
        rig.prompt.progressEnds = 0;
        EXPECT_FALSE(c.run());
        EXPECT_EQ(rig.LastLogLine(), c.line);
        EXPECT_GE(rig.prompt.progressEnds, 1);
        c.check();
    }
}

} // namespace
} // namespace tarsion::test
