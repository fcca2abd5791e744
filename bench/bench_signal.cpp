#include "coefficient/CoefficientTestFiles.h"
#include "ops/CoefficientRam.h"
#include "ops/CoefficientTable.h"
#include "signal/FftwTransform.h"
#include "signal/FilterMerit.h"
#include "signal/PatternMerit.h"
#include "signal/SignalAnalysis.h"

#include <benchmark/benchmark.h>

#include <cmath>

namespace tarsion {
namespace {

constexpr int kResponsePoints = 2048;
constexpr std::size_t kPlotColumns = 1280;

// The pattern view's data for a full memory (131072 pairs, 262144 words): both channels as
// fractions of full scale, their windowed spectra, and the min/max decimation of the whole pattern
// to one plot's pixel columns.
void BM_PatternViewPrepare(benchmark::State& state) {
    std::vector<SamplePair> pairs(kMaxPatternPairs);
    for (std::size_t k = 0; k < pairs.size(); ++k) {
        const double angle = 2.0 * static_cast<double>(k) * 3.1416 / 16.0;
        pairs[k] = {SampleFromReal(std::sin(angle)), SampleFromReal(0.5 * std::cos(angle))};
    }
    FftwTransform fft;
    for (auto _ : state) {
        const PatternAnalysis analysis = AnalysePattern(pairs, fft);
        benchmark::DoNotOptimize(MinMaxColumns(analysis.i, 0, analysis.i.size(), kPlotColumns));
        benchmark::DoNotOptimize(MinMaxColumns(analysis.q, 0, analysis.q.size(), kPlotColumns));
    }
}
BENCHMARK(BM_PatternViewPrepare)->Unit(benchmark::kMillisecond);

// The magnitude response of a 256-tap filter at 2048 frequencies.
void BM_FilterResponse(benchmark::State& state) {
    const std::vector<double> taps = test::RootRaisedCosine(256, 16, 0.35);
    for (auto _ : state) {
        const auto response = FrequencyResponse(taps, 16, kResponsePoints);
        benchmark::DoNotOptimize(MagnitudeDb(response, 16.0));
    }
}
BENCHMARK(BM_FilterResponse)->Unit(benchmark::kMillisecond);

// Every figure of a full pattern memory for I, Q and I + jQ: a tone between bins (so the window is
// needed) with channel power and two neighbours, as a test station asks for them.
void BM_PatternFigures(benchmark::State& state) {
    std::vector<SamplePair> pairs(kMaxPatternPairs);
    for (std::size_t k = 0; k < pairs.size(); ++k) {
        const double angle = 2.0 * static_cast<double>(k) * 3.1416 / 16.0;
        pairs[k] = {SampleFromReal(0.9 * std::cos(angle)), SampleFromReal(0.9 * std::sin(angle))};
    }
    PatternMeritOptions options;
    options.channelWidth = 0.05;
    options.sampleRateHz = 10e6;
    FftwTransform fft;
    for (auto _ : state)
        benchmark::DoNotOptimize(PatternMeritsOf(pairs, options, fft));
}
BENCHMARK(BM_PatternFigures)->Unit(benchmark::kMillisecond);

// The figures of a full coefficient RAM (rate 16, 256 taps) from its words, as Read from Board gives them.
void BM_FilterFigures(benchmark::State& state) {
    test::TempFolder folder;
    test::WriteText(folder / "rrc.coe", test::CoefficientText(test::RootRaisedCosine(256, 16, 0.35)));
    const FilterGeometry geometry = FilterGeometry::For(2, false);
    CoefficientTable table({folder / "rrc.coe", 1, geometry, false, ""});
    const std::optional<CoefficientRamImage> words =
        FitBestGain(table, 16.0) == GainOutcome::Fitted ? PackTable(table) : std::nullopt;
    if (!words) {
        state.SkipWithError("the filter does not pack");
        return;
    }
    FftwTransform fft;
    for (auto _ : state)
        benchmark::DoNotOptimize(FilterMeritOf(*words, geometry, BandEdgesFor(0.35, 16), fft));
}
BENCHMARK(BM_FilterFigures)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace tarsion
