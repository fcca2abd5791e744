// 10,000 chip register writes on the virtual board at the pace of a real port: straight through the
// board link (the port's own pace) and as one batch of the operation layer, logged.
#include "board/BoardLink.h"
#include "board/PacedPort.h"
#include "board/VirtualBoard.h"
#include "ops/BoardOperations.h"
#include "ops/RegisterBatch.h"
#include "ops/TarsionDoc.h"
#include "support/ScriptedPrompt.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

namespace tarsion {
namespace {

constexpr std::uint32_t kWrites = 10000;

class PacedBench {
public:
    PacedBench() {
        auto board = std::make_unique<VirtualBoard>();
        board_ = board.get();
        link_ = std::make_unique<CBoardLink>(doc_.Shadow(), doc_,
                                             std::make_unique<CPacedPort>(std::move(board), clock_), clock_);
        ops_ = std::make_unique<CBoardOperations>(*link_, doc_, prompt_);
    }

    CBoardOperations& Ops() { return *ops_; }
    CBoardLink& Link() { return *link_; }
    VirtualBoard& Board() { return *board_; }

private:
    CTarsionDoc doc_;
    SystemSteadyClock clock_;
    test::ScriptedPrompt prompt_;
    VirtualBoard* board_ = nullptr;
    std::unique_ptr<CBoardLink> link_;
    std::unique_ptr<CBoardOperations> ops_;
};

void Report(benchmark::State& state, VirtualBoard& board) {
    state.counters["port_accesses_per_write"] =
        static_cast<double>(board.PortAccesses()) / static_cast<double>(kWrites * state.iterations());
    state.counters["time_per_write"] =
        benchmark::Counter(static_cast<double>(kWrites * state.iterations()),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_PacedChipWrites(benchmark::State& state) {
    PacedBench bench;
    bench.Board().ResetCounters();
    for (auto _ : state)
        for (std::uint32_t i = 0; i < kWrites; ++i)
            benchmark::DoNotOptimize(bench.Link().WriteChipReg(0x0A, i));
    Report(state, bench.Board());
}
BENCHMARK(BM_PacedChipWrites)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PacedPokeMany(benchmark::State& state) {
    PacedBench bench;
    std::vector<RegisterWrite> writes;
    for (std::uint32_t i = 0; i < kWrites; ++i)
        writes.push_back({0x0A, i});
    bench.Board().ResetCounters();
    for (auto _ : state)
        benchmark::DoNotOptimize(CRegisterBatch(bench.Ops()).PokeMany(writes));
    Report(state, bench.Board());
}
BENCHMARK(BM_PacedPokeMany)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
} // namespace tarsion
