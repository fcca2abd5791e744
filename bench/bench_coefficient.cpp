#include "coefficient/CoefficientTestFiles.h"
#include "ops/CoefficientRam.h"
#include "ops/CoefficientTable.h"

#include <benchmark/benchmark.h>

namespace tarsion {
namespace {

// A 256-tap filter at rate 16 on which Best Fit uses every adjustment it has: phase 0 ends a
// rounding step above its limit, where the gain no longer moves. Every build re-reads the file
// and rewrites the bit listing, as a load does.
void BM_BestFitWorstCase(benchmark::State& state) {
    test::TempFolder folder;
    std::vector<double> taps(256);
    for (std::size_t i = 0; i < taps.size(); ++i)
        taps[i] = i % 16 == 0 ? 0.0 : 1e-4 * static_cast<double>(1 + i % 7);
    taps[0] = 0.196;
    taps[16] = 0.0118;
    test::WriteText(folder / "worst.coe", test::CoefficientText(taps));
    const CoefficientTableInputs inputs{folder / "worst.coe", 1, FilterGeometry::For(2, false), false,
                                        folder / "temp.ram"};
    for (auto _ : state) {
        CoefficientTable table(inputs);
        const GainOutcome outcome = FitBestGain(table, 16.0);
        if (outcome != GainOutcome::NoFit) {
            state.SkipWithError("the filter no longer needs every adjustment");
            break;
        }
        benchmark::DoNotOptimize(table.Gain());
    }
}
BENCHMARK(BM_BestFitWorstCase)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace tarsion
