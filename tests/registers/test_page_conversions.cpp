#include "registers/PageConversions.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace tarsion::pageconv {
namespace {

constexpr double kSysClk = 80e6;

TEST(FrequencyText, DisplayPicksTheUnitByMagnitude) {
    const std::vector<std::pair<double, const char*>> cases{
        {999.9, "999.900000Hz"}, {1000, "1.000000kHz"},     {-2e6, "-2.000000MHz"},
        {80e6, "80.000000MHz"},  {1e9, "1.000000GHz"},      {-1e9, "-1.000000GHz"},
        {0, "0.000000Hz"},       {-999.5, "-999.500000Hz"}, {2.5e3, "2.500000kHz"},
    };
    for (const auto& [hz, text] : cases)
        EXPECT_EQ(FormatFrequency(hz), text) << hz;
}

TEST(FrequencyText, ParseTakesOnlyTheSuffixFirstLetter) {
    const std::vector<std::pair<const char*, double>> cases{
        {"80MHz", 80e6}, {"80 m", 80e6},     {"0.5G", 5e8},  {"100", 100},    {"100Hz", 100},
        {"3x", 3},       {"2.5kHz", 2500},   {"2.5k", 2500}, {"1.5m", 1.5e6}, {"  -10M", -10e6},
        {"4 kilo", 4e3}, {"7gigantic", 7e9}, {"+2K", 2000},  {"1e3M", 1e9},
    };
    for (const auto& [text, hz] : cases) {
        const auto parsed = ParseFrequency(text);
        ASSERT_TRUE(parsed.has_value()) << text;
        EXPECT_DOUBLE_EQ(*parsed, hz) << text;
    }
    for (const char* text : {"", "MHz", "abc", "nan", "inf"})
        EXPECT_FALSE(ParseFrequency(text).has_value()) << text;
}

TEST(FrequencyText, DisplayedTextParsesBackToTheSameSixDecimals) {
    for (const double hz : {12345.678, -3.25e6, 4.5e9, 999.0})
        EXPECT_NEAR(*ParseFrequency(FormatFrequency(hz)), hz, std::fabs(hz) * 1e-6);
}

TEST(HexEntry, ReadsLikePercentX) {
    const std::vector<std::pair<const char*, std::uint32_t>> cases{
        {"0x12", 0x12}, {"12", 0x12}, {"12zz", 0x12},    {"1ff", 0x1ff}, {"  0X7f", 0x7f},
        {"0x", 0},      {"0xg", 0},   {"ffffffff", ~0u}, {"-1", ~0u},    {"0x0000007F", 0x7f},
    };
    for (const auto& [text, value] : cases) {
        const auto parsed = ReadHex(text).value;
        ASSERT_TRUE(parsed.has_value()) << text;
        EXPECT_EQ(*parsed, value) << text;
    }
    for (const char* text : {"", "zz", "x12", "  "}) {
        EXPECT_FALSE(ReadHex(text).value.has_value()) << text;
        EXPECT_FALSE(ReadHex(text).tooManyDigits) << text;
    }
    for (const char* text : {"100000000", "1234567890", "0x123456789", "-100000000"}) {
        EXPECT_FALSE(ReadHex(text).value.has_value()) << text;
        EXPECT_TRUE(ReadHex(text).tooManyDigits) << text;
    }
}

TEST(HexEntry, DisplayFormats) {
    EXPECT_EQ(FormatHex(0, 8), "0x00000000");
    EXPECT_EQ(FormatHex(0xDEADBEEF, 8), "0xdeadbeef");
    EXPECT_EQ(FormatHex(0x7f, 2), "0x7f");
    EXPECT_EQ(FormatHex(5, 1), "0x5");
    EXPECT_EQ(FormatHex(0x1234, 5), "0x01234");
    EXPECT_EQ(FormatHex(0x1fffff, 6), "0x1fffff");
}

TEST(IntegerEntry, AcceptsOnlyAWholeNumber) {
    EXPECT_EQ(ParseInteger("7"), 7);
    EXPECT_EQ(ParseInteger(" 42 "), 42);
    EXPECT_EQ(ParseInteger("-3"), -3);
    EXPECT_GT(*ParseInteger("99999999999999999999999"), 65536);
    for (const char* text : {"", "4x", "x4", "1.5", "-", " "})
        EXPECT_FALSE(ParseInteger(text).has_value()) << text;
}

TEST(NcoWords, FrequencyToWordAt80MHz) {
    const std::vector<std::pair<double, std::uint32_t>> cases{
        {10e6, 0x20000000}, {-10e6, 0xe0000001}, {1e6, 0x03333333}, {-1, 0xffffffcb},
        {40e6, 0x80000000}, {20e6, 0x40000000},  {5e6, 0x10000000}, {0, 0},
    };
    for (const auto& [hz, word] : cases) {
        const auto computed = NcoWord(hz, kSysClk);
        ASSERT_TRUE(computed.has_value()) << hz;
        EXPECT_EQ(*computed, word) << hz;
    }
    // Above 32 bits only the low bits remain.
    EXPECT_EQ(*NcoWord(160e6, kSysClk), 0xfffffffeu);
}

TEST(NcoWords, WordToFrequencyText) {
    EXPECT_EQ(FormatFrequency(CarrierFrequency(0x20000000, kSysClk)), "10.000000MHz");
    EXPECT_EQ(FormatFrequency(CarrierFrequency(0xe0000001, kSysClk)), "-10.000000MHz");
    EXPECT_EQ(FormatFrequency(CarrierFrequency(0x80000000, kSysClk)), "-40.000000MHz");
    EXPECT_EQ(FormatFrequency(SymbolRate(0x80000000, kSysClk)), "40.000000MHz");
    EXPECT_EQ(FormatFrequency(SymbolRate(0x10000000, kSysClk)), "5.000000MHz");
}

TEST(NcoWords, WithoutClockShowZeroAndFormNoWord) {
    EXPECT_EQ(FormatFrequency(CarrierFrequency(0xe0000001, 0)), "0.000000Hz");
    EXPECT_EQ(FormatFrequency(SymbolRate(0x12345678, 0)), "0.000000Hz");
    EXPECT_FALSE(NcoWord(10e6, 0).has_value());
    EXPECT_FALSE(NcoWord(1e300, 1e-300).has_value());
}

TEST(NcoWords, CarrierClampsToHalfSysClk) {
    EXPECT_DOUBLE_EQ(ClampCarrier(50e6, kSysClk), 40e6);
    EXPECT_DOUBLE_EQ(ClampCarrier(-50e6, kSysClk), -40e6);
    EXPECT_DOUBLE_EQ(ClampCarrier(39e6, kSysClk), 39e6);
}

TEST(NcoWords, SymbolRateMaximumFollowsDeviceConfig) {
    const std::vector<std::pair<std::uint32_t, double>> cases{
        {0x0, 40e6},    // I 4, W 1, M 1
        {0x1c0, 5e6},   // W 8
        {0x1000, 80e6}, // 2 bit mode
        {0x400, 20e6},  // I 8
        {0x800, 10e6},  // I 16
        {0xc00, 160e6}, // I 1
        {0x15c0, 5e6},  // W 8, I 8, M 2: 2 * 80 * 2 / 8 / 8
    };
    for (const auto& [config, maximum] : cases)
        EXPECT_DOUBLE_EQ(SymbolRateMaximum(config, kSysClk), maximum) << std::hex << config;
}

struct GainCase {
    double gain;
    GainCode code;
};

TEST(Gains, PostShapingGainEncoding) {
    const std::vector<GainCase> cases{
        {1.0, {0, 11}}, {31.75, {63, 15}}, {3.0, {32, 12}}, {100, {63, 15}}, {0, {0, 0}}, {1.5, {32, 11}},
    };
    for (const auto& [gain, code] : cases)
        EXPECT_EQ(EncodeGain(gain, kPostShapingGain), code) << gain;
    EXPECT_DOUBLE_EQ(DecodeGain({0, 0}, kPostShapingGain), 0.00048828125);
    EXPECT_DOUBLE_EQ(DecodeGain({63, 15}, kPostShapingGain), 31.75);
    EXPECT_DOUBLE_EQ(DecodeGain({32, 12}, kPostShapingGain), 3.0);
}

TEST(Gains, LoopFilterGainEncoding) {
    const std::vector<GainCase> cases{
        {1.0, {0, 17}}, {3.0, {8, 18}}, {0.001, {0, 7}}, {40000, {15, 31}}, {31790, {15, 31}}, {0, {0, 0}},
    };
    for (const auto& [gain, code] : cases)
        EXPECT_EQ(EncodeGain(gain, kLoopFilterGain), code) << gain;
    EXPECT_EQ(FormatF(DecodeGain({0, 7}, kLoopFilterGain)), "0.000977");
    EXPECT_EQ(FormatF(DecodeGain({15, 31}, kLoopFilterGain)), "31744.000000");
    EXPECT_EQ(FormatF(DecodeGain({0, 0}, kLoopFilterGain)), "0.000008");
}

TEST(Gains, SteppingMovesAtLeastOneCodeWithinTheRange) {
    const double tiny = 1e-9;
    EXPECT_EQ(StepGain({0, 11}, tiny, 1, kPostShapingGain), (GainCode{1, 11}));
    EXPECT_EQ(StepGain({63, 11}, tiny, 1, kPostShapingGain), (GainCode{0, 12}));
    EXPECT_EQ(StepGain({63, 15}, tiny, 1, kPostShapingGain), (GainCode{63, 15}));
    EXPECT_EQ(StepGain({63, 15}, 1.0, 1, kPostShapingGain), (GainCode{63, 15}));
    EXPECT_EQ(StepGain({0, 11}, 1.0, 1, kPostShapingGain), (GainCode{0, 12}));
    EXPECT_EQ(StepGain({0, 12}, tiny, -1, kPostShapingGain), (GainCode{63, 11}));
    EXPECT_EQ(StepGain({5, 12}, tiny, -1, kPostShapingGain), (GainCode{4, 12}));
    // A step lost in rounding: a zero mantissa then halves the gain.
    EXPECT_EQ(StepGain({0, 12}, 1e-20, -1, kPostShapingGain), (GainCode{0, 11}));
    EXPECT_EQ(StepGain({5, 12}, 1e-20, -1, kPostShapingGain), (GainCode{4, 12}));
    EXPECT_EQ(StepGain({0, 0}, tiny, -1, kPostShapingGain), (GainCode{0, 0}));
    EXPECT_EQ(StepGain({15, 31}, tiny, 1, kLoopFilterGain), (GainCode{15, 31}));
    EXPECT_EQ(StepGain({15, 30}, tiny, 1, kLoopFilterGain), (GainCode{0, 31}));
    EXPECT_EQ(StepGain({0, 17}, 1.0, -1, kLoopFilterGain), (GainCode{0, 17})); // 0 is below the range
}

TEST(ScaleAndOffset, EntryToField) {
    EXPECT_EQ(FractionToField(1.25, kScaleBase), 1023u);
    EXPECT_EQ(FractionToField(0.9, kScaleBase), 0u);
    EXPECT_EQ(FractionToField(1.1, kScaleBase), 409u);
    EXPECT_EQ(FormatG(FieldToFraction(409, kScaleBase)), "1.09985");
    EXPECT_EQ(FractionToField(0.1, kOffsetBase), 409u);
    EXPECT_EQ(FractionToField(-0.1, kOffsetBase), 0u);
    EXPECT_EQ(FormatG(FieldToFraction(1023, kOffsetBase)), "0.249756");
}

TEST(ScaleAndOffset, SteppingStaysInTheField) {
    EXPECT_EQ(StepFraction(1023, 0.000244140625, 1, kOffsetBase), 1023u);
    EXPECT_EQ(StepFraction(1000, 0.01, 1, kOffsetBase), 1000u);
    EXPECT_EQ(StepFraction(0, 0.01, 1, kOffsetBase), 40u);
    EXPECT_EQ(StepFraction(5, 0.0, -1, kOffsetBase), 4u);
    EXPECT_EQ(StepFraction(0, 1e-9, 1, kScaleBase), 1u);
    EXPECT_EQ(StepFraction(0, 0.000244140625, -1, kScaleBase), 0u);
    EXPECT_EQ(StepFraction(100, 0.01, -1, kScaleBase), 59u);
}

TEST(StepSettings, EntriesAreClampedToTheirRanges) {
    EXPECT_DOUBLE_EQ(ClampStep(0, kOffsetStepRange), 0);
    EXPECT_DOUBLE_EQ(ClampStep(-1, kOffsetStepRange), 0.000244140625);
    EXPECT_DOUBLE_EQ(ClampStep(1, kOffsetStepRange), 0.249755859375);
    EXPECT_DOUBLE_EQ(ClampStep(0.0001, kScaleStepRange), 0.000244140625);
    EXPECT_DOUBLE_EQ(ClampStep(2, kScaleStepRange), 1.249755859375);
    EXPECT_DOUBLE_EQ(ClampStep(0.0001, kPostShapingStepRange), 0.0004959106445313);
    EXPECT_DOUBLE_EQ(ClampStep(40, kPostShapingStepRange), 31.75);
    EXPECT_DOUBLE_EQ(ClampStep(1e-9, kLoopFilterStepRange), 4.768371582031e-7);
    EXPECT_DOUBLE_EQ(ClampStep(1e6, kLoopFilterStepRange), 31793.152);
    EXPECT_DOUBLE_EQ(ClampStep(0.5, kLoopFilterStepRange), 0.5);
}

} // namespace
} // namespace tarsion::pageconv
