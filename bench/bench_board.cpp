// Byte cycles against the virtual board: the CPU cost of the protocol, board model included.
#include "board/BoardLink.h"
#include "board/VirtualBoard.h"
#include "support/LogCapture.h"

#include <benchmark/benchmark.h>

#include <memory>

namespace {

using namespace tarsion;

class BoardBench {
public:
    BoardBench() : BoardBench(std::make_unique<VirtualBoard>()) {}

    VirtualBoard& board;
    CBoardLink link;

private:
    explicit BoardBench(std::unique_ptr<VirtualBoard> owned)
        : board(*owned), link(shadow_, log_, std::move(owned), clock_) {}

    RegisterShadow shadow_;
    test::LogCapture log_;
    SystemSteadyClock clock_;
};

// CPU seconds per byte cycle over the whole run.
benchmark::Counter TimePerCycle(double cycles) {
    return benchmark::Counter(cycles, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void ReportCycles(benchmark::State& state, const VirtualBoard& board) {
    const auto cycles = static_cast<double>(board.Cycles());
    state.counters["port_accesses_per_cycle"] = static_cast<double>(board.PortAccesses()) / cycles;
    state.counters["time_per_cycle"] = TimePerCycle(cycles);
}

void BM_WriteCycle(benchmark::State& state) {
    BoardBench bench;
    bench.board.ResetCounters();
    std::uint8_t value = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(bench.link.WriteDataByte(value++));
    ReportCycles(state, bench.board);
}
BENCHMARK(BM_WriteCycle);

void BM_ReadCycle(benchmark::State& state) {
    BoardBench bench;
    bench.board.ResetCounters();
    std::uint8_t value = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(bench.link.ReadDataByte(value));
        benchmark::DoNotOptimize(value);
    }
    ReportCycles(state, bench.board);
}
BENCHMARK(BM_ReadCycle);

void BM_FillPatternMemory(benchmark::State& state) {
    BoardBench bench;
    std::uint64_t accesses = 0;
    std::uint64_t cycles = 0;
    for (auto _ : state) {
        bench.board.ResetCounters();
        for (std::uint32_t address = 0; address < VirtualBoard::kPatternWords; ++address)
            benchmark::DoNotOptimize(bench.link.WriteExternalMemory(address, address ^ 0xA5A5A5));
        accesses = bench.board.PortAccesses();
        cycles = bench.board.Cycles();
    }
    state.counters["port_accesses"] = static_cast<double>(accesses);
    state.counters["time_per_cycle"] = TimePerCycle(static_cast<double>(cycles * state.iterations()));
}
BENCHMARK(BM_FillPatternMemory)->Unit(benchmark::kMillisecond);

} // namespace
