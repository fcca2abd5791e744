#include "BenchStack.h"
#include "ops/MemoryReadBack.h"
#include "signal/SignalAnalysis.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <memory>

namespace tarsion {
namespace {

constexpr int kResponsePoints = 2048;

// Read from Board on the filter view: the whole I coefficient RAM read back (256 words of nine
// bytes), its taps and their magnitude response.
void BM_ReadBackAndAnalyseCoefficientRam(benchmark::State& state) {
    BenchStack bench;
    for (int address = 0; address < 256; ++address) {
        CoefficientWord word{};
        for (std::size_t byte = 0; byte < word.size(); ++byte)
            word[byte] = static_cast<std::uint8_t>(address * 7 + byte * 13);
        bench.Board().SetCoefficientRam(0, static_cast<std::uint8_t>(address), word);
    }
    const FilterGeometry geometry = FilterGeometry::For(0, false);
    for (auto _ : state) {
        if (!CMemoryReader(bench.Ops()).Read(ChipMemory::CoefficientI)) {
            state.SkipWithError("read failed");
            break;
        }
        const auto& read = bench.Doc().loaded.CoefficientsRead(0);
        const std::vector<double> taps = TapsFromTable(read->contents, geometry);
        benchmark::DoNotOptimize(
            MagnitudeDb(FrequencyResponse(taps, geometry.rate, kResponsePoints), geometry.rate));
    }
    const auto& read = bench.Doc().loaded.CoefficientsRead(0);
    for (int address = 0; read && address < 256; ++address) {
        if (read->contents[static_cast<std::size_t>(address)] !=
            bench.Board().CoefficientRam(0, static_cast<std::uint8_t>(address))) {
            state.SkipWithError("the read-back differs from the RAM");
            break;
        }
    }
    state.counters["port_accesses"] = benchmark::Counter(static_cast<double>(bench.Board().PortAccesses()),
                                                         benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_ReadBackAndAnalyseCoefficientRam)->Unit(benchmark::kMillisecond);

// Read from Board on the pattern view at the pace of a real port: the used region of `range(0)`
// words below the top of the memory.
void BM_PatternReadBackPaced(benchmark::State& state) {
    BenchStack bench(BenchStack::Pace::Port);
    const auto start = static_cast<std::uint32_t>(kPatternMemoryWords - state.range(0));
    for (int i = 0; i < 3; ++i)
        bench.Board().SetPldRegister(static_cast<std::uint8_t>(9 + i),
                                     static_cast<std::uint8_t>(start >> (8 * i)));
    for (auto _ : state) {
        if (!CMemoryReader(bench.Ops()).Read(ChipMemory::Pattern))
            state.SkipWithError("read failed");
    }
    // A read that stopped short (a wrong start, a cancel) would measure less than it claims.
    const auto& read = bench.Doc().loaded.PatternRead();
    if (!read || read->contents.start != start ||
        read->contents.pairs.size() != static_cast<std::size_t>(state.range(0) / 2))
        state.SkipWithError("the read did not cover the used region");
    state.counters["words"] = static_cast<double>(state.range(0));
    state.counters["port_accesses"] = benchmark::Counter(static_cast<double>(bench.Board().PortAccesses()),
                                                         benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_PatternReadBackPaced)->Arg(4096)->Unit(benchmark::kMillisecond)->Iterations(1);

// The whole memory takes about a minute: measured only on request (TARSION_BENCH_FULL_PATTERN=1).
[[maybe_unused]] const bool kFullPatternRegistered = [] {
    if (std::getenv("TARSION_BENCH_FULL_PATTERN"))
        benchmark::RegisterBenchmark("BM_PatternReadBackPaced/full", BM_PatternReadBackPaced)
            ->Arg(kPatternMemoryWords)
            ->Unit(benchmark::kSecond)
            ->Iterations(1);
    return true;
}();

} // namespace
} // namespace tarsion
