#include "BenchStack.h"
#include "registers/RegisterSession.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <unistd.h>

namespace tarsion {
namespace {

class NoOpView final : public IDocumentObserver {
public:
    void OnDocumentUpdate() override {}
};

// A responsive virtual board under the operation layer, one view, recording to a temporary file.
class PokeBench {
public:
    PokeBench()
        : path_((std::filesystem::temp_directory_path() /
                 ("tarsion_bench_ops_" + std::to_string(::getpid()) + ".js"))
                    .string()) {
        stack_.Doc().AddObserver(&view_);
        stack_.Doc().StartRecording(path_);
    }
    ~PokeBench() {
        stack_.Doc().RemoveObserver(&view_);
        stack_.Doc().StopRecording();
        std::filesystem::remove(path_);
    }
    PokeBench(const PokeBench&) = delete;
    PokeBench& operator=(const PokeBench&) = delete;

    CBoardOperations& Ops() { return stack_.Ops(); }
    CBoardLink& Link() { return stack_.Link(); }
    VirtualBoard& Board() { return stack_.Board(); }

private:
    std::string path_;
    NoOpView view_;
    BenchStack stack_;
};

void ReportPortAccesses(benchmark::State& state, VirtualBoard& board) {
    state.counters["port_accesses"] =
        benchmark::Counter(static_cast<double>(board.PortAccesses()), benchmark::Counter::kAvgIterations);
}

// A logged and recorded Poke through the operation layer.
void BM_PokeOperation(benchmark::State& state) {
    PokeBench bench;
    bench.Board().ResetCounters();
    std::uint32_t data = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(bench.Ops().Poke(0x0A, data++));
    ReportPortAccesses(state, bench.Board());
}
BENCHMARK(BM_PokeOperation);

// The Poke a script's call makes in the program: with the register session's journal following
// the writes (history and undo), as the window and the headless program have it.
void BM_PokeOperationJournaled(benchmark::State& state) {
    PokeBench bench;
    CRegisterSession session(bench.Ops());
    bench.Board().ResetCounters();
    std::uint32_t data = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(bench.Ops().Poke(0x0A, data++));
    ReportPortAccesses(state, bench.Board());
    state.counters["journal_entries"] = static_cast<double>(session.Journal().Entries().size());
}
BENCHMARK(BM_PokeOperationJournaled);

// The same register write straight on the board link: subtracted from the above, the operation
// layer's own cost (formatting, log notification, recording).
void BM_PokeLinkOnly(benchmark::State& state) {
    PokeBench bench;
    bench.Board().ResetCounters();
    std::uint32_t data = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(bench.Link().WriteChipReg(0x0A, data++));
    ReportPortAccesses(state, bench.Board());
}
BENCHMARK(BM_PokeLinkOnly);

} // namespace
} // namespace tarsion
