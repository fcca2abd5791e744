#include "board/BoardLink.h"
#include "board/VirtualBoard.h"
#include "ops/BoardOperations.h"
#include "ops/TarsionDoc.h"
#include "support/ScriptedPrompt.h"

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
        auto board = std::make_unique<VirtualBoard>();
        board_ = board.get();
        link_ = std::make_unique<CBoardLink>(doc_.Shadow(), doc_, std::move(board), clock_);
        ops_ = std::make_unique<CBoardOperations>(*link_, doc_, prompt_);
        doc_.AddObserver(&view_);
        doc_.StartRecording(path_);
    }
    ~PokeBench() {
        doc_.StopRecording();
        std::filesystem::remove(path_);
    }
    PokeBench(const PokeBench&) = delete;
    PokeBench& operator=(const PokeBench&) = delete;

    CBoardOperations& Ops() { return *ops_; }
    CBoardLink& Link() { return *link_; }
    VirtualBoard& Board() { return *board_; }

private:
    std::string path_;
    CTarsionDoc doc_;
    SystemSteadyClock clock_;
    test::ScriptedPrompt prompt_;
    NoOpView view_;
    VirtualBoard* board_ = nullptr;
    std::unique_ptr<CBoardLink> link_;
    std::unique_ptr<CBoardOperations> ops_;
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
