#include "SignalRig.h"
#include "signal/FftwTransform.h"
#include "signal/SignalAnalysis.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace tarsion {
namespace {

struct WaveCase {
    std::int32_t kind;
    double amplitude;
    int cycles; // over the pattern; 0 for DC
};

class PatternSpectrum : public test::SignalRig, public ::testing::WithParamInterface<WaveCase> {};

// A generated pattern of k whole cycles over N pairs peaks at bin k with the amplitude set.
TEST_P(PatternSpectrum, GeneratedPatternPeaksAtItsBinWithItsAmplitude) {
    const WaveCase c = GetParam();
    constexpr int kPairs = 1024;
    const double samplesPerCycle = c.cycles > 0 ? static_cast<double>(kPairs) / c.cycles : 16.0;
    ASSERT_TRUE(rig.ops.LoadExternalMem(c.kind, 0, c.amplitude, 0.0, samplesPerCycle, kPairs));
    const auto& pattern = rig.doc.loaded.Pattern();
    ASSERT_TRUE(pattern.has_value());
    ASSERT_EQ(pattern->pairs.size(), static_cast<std::size_t>(kPairs));
    // The document's samples are the board's: I words from the top 2N words of the memory.
    for (int k : {0, 1, kPairs / 3, kPairs - 1}) {
        const std::uint32_t word = rig.board.PatternWord(0x40000 - 2 * kPairs + 2 * k);
        EXPECT_EQ(static_cast<std::uint32_t>(pattern->pairs[k].i) & 0xFFFF, word & 0xFFFF) << k;
    }

    FftwTransform fft;
    const PatternAnalysis analysis = AnalysePattern(pattern->pairs, fft);
    ASSERT_EQ(analysis.iSpectrumDbfs.size(), static_cast<std::size_t>(kPairs / 2 + 1));
    const auto peak = std::max_element(analysis.iSpectrumDbfs.begin(), analysis.iSpectrumDbfs.end());
    EXPECT_EQ(peak - analysis.iSpectrumDbfs.begin(), c.cycles);
    // Quantization to 16 bits and the 3.1416 for pi leave far less than 0.01 dB.
    EXPECT_NEAR(*peak, 20.0 * std::log10(std::abs(c.amplitude)), 0.01);
    // Q is silent.
    EXPECT_LE(*std::max_element(analysis.qSpectrumDbfs.begin(), analysis.qSpectrumDbfs.end()), kSilenceDb);
    if (c.cycles > 0) {
        ASSERT_TRUE(GeneratedPatternFrequency(pattern->settings).has_value());
        // One cycle every samplesPerCycle x pi / 3.1416 pairs.
        EXPECT_NEAR(*GeneratedPatternFrequency(pattern->settings) * kPairs,
                    c.cycles * 3.1416 / std::numbers::pi, 1e-9);
    }
}

INSTANTIATE_TEST_SUITE_P(Kinds, PatternSpectrum,
                         ::testing::Values(WaveCase{1, 1.0, 8}, WaveCase{1, 0.5, 100}, WaveCase{2, 0.25, 3},
                                           WaveCase{2, 0.8, 511}, WaveCase{0, 0.75, 0}, WaveCase{0, -0.5, 0}),
                         [](const ::testing::TestParamInfo<WaveCase>& param) {
                             return "Kind" + std::to_string(param.param.kind) + "Cycles" +
                                    std::to_string(param.param.cycles) + "Case" + std::to_string(param.index);
                         });

TEST(ClockRates, SymbolRateAndDataClkFollowTheRegisters) {
    RegisterShadow shadow;
    EXPECT_FALSE(SymbolRateHz(shadow).has_value());
    shadow.StoreChipReg(0x0B, 0x20000000);
    // word x SysClk / (2^32 - 1), SysClk the 80 MHz clock pin.
    EXPECT_DOUBLE_EQ(*SymbolRateHz(shadow), 536870912.0 * 80e6 / 4294967295.0);
    const double symbolRate = *SymbolRateHz(shadow);
    shadow.StoreBridgeReg(9, 0);
    EXPECT_DOUBLE_EQ(*DataClkHz(shadow), 80e6);
    shadow.StoreBridgeReg(9, 1);
    EXPECT_DOUBLE_EQ(*DataClkHz(shadow), 2 * symbolRate);
    shadow.StoreBridgeReg(9, 0x42);
    EXPECT_DOUBLE_EQ(*DataClkHz(shadow), 40e6);
    shadow.StoreBridgeReg(9, 3);
    EXPECT_FALSE(DataClkHz(shadow).has_value());
}

} // namespace
} // namespace tarsion
