// 10,000 chip register writes on the virtual board at the pace of a real port: straight through the
// board link (the port's own pace) and as one batch of the operation layer, logged.
#include "BenchStack.h"
#include "ops/RegisterBatch.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

namespace tarsion {
namespace {

constexpr std::uint32_t kWrites = 10000;

void Report(benchmark::State& state, VirtualBoard& board) {
    state.counters["port_accesses_per_write"] =
        static_cast<double>(board.PortAccesses()) / static_cast<double>(kWrites * state.iterations());
    state.counters["time_per_write"] =
        benchmark::Counter(static_cast<double>(kWrites * state.iterations()),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_PacedChipWrites(benchmark::State& state) {
    BenchStack bench(BenchStack::Pace::Port);
    bench.Board().ResetCounters();
    for (auto _ : state)
        for (std::uint32_t i = 0; i < kWrites; ++i)
            benchmark::DoNotOptimize(bench.Link().WriteChipReg(0x0A, i));
    Report(state, bench.Board());
}
BENCHMARK(BM_PacedChipWrites)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PacedPokeMany(benchmark::State& state) {
    BenchStack bench(BenchStack::Pace::Port);
    std::vector<RegisterWrite> writes;
    for (std::uint32_t i = 0; i < kWrites; ++i)
        writes.push_back(RegisterWrite::Chip(0x0A, i));
    bench.Board().ResetCounters();
    for (auto _ : state)
        benchmark::DoNotOptimize(CRegisterBatch(bench.Ops()).PokeMany(writes));
    Report(state, bench.Board());
}
BENCHMARK(BM_PacedPokeMany)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
} // namespace tarsion
