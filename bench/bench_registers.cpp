// Snapshots, the decoded compare and a saved configuration replayed on a private board.
#include "board/BoardLink.h"
#include "board/ChipRegisters.h"
#include "board/VirtualBoard.h"
#include "ops/BoardOperations.h"
#include "ops/PrivateBoard.h"
#include "ops/RegisterSnapshot.h"
#include "ops/ScriptReplay.h"
#include "ops/TarsionDoc.h"
#include "pages/RegisterCompare.h"
#include "support/FakeClock.h"
#include "support/ScriptedPrompt.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <unistd.h>

namespace tarsion {
namespace {

// A board whose value registers all hold something.
struct RegisterBench {
    CTarsionDoc doc;
    test::FakeClock clock;
    test::ScriptedPrompt prompt;
    CBoardLink link{doc.Shadow(), doc, std::make_unique<VirtualBoard>(), clock};
    CBoardOperations ops{link, doc, prompt};

    RegisterBench() {
        for (const std::uint8_t reg : kValueRegisters)
            doc.Shadow().StoreChipReg(reg, 0x9e3779b9u * (reg + 1u));
    }
};

void BM_TakeSnapshot(benchmark::State& state) {
    RegisterBench bench;
    for (auto _ : state)
        benchmark::DoNotOptimize(CRegisterSnapshot::Take(bench.doc, "bench"));
}
BENCHMARK(BM_TakeSnapshot)->Unit(benchmark::kMicrosecond);

// Every field of every register differs: the largest compare there is.
void BM_CompareFullSnapshots(benchmark::State& state) {
    RegisterBench bench;
    const CRegisterSnapshot before = CRegisterSnapshot::Take(bench.doc, "before");
    for (const std::uint8_t reg : kValueRegisters)
        bench.doc.Shadow().StoreChipReg(reg, ~bench.doc.Shadow().FetchChipReg(reg));
    const CRegisterSnapshot after = CRegisterSnapshot::Take(bench.doc, "after");
    for (auto _ : state)
        benchmark::DoNotOptimize(CompareSnapshots(before, after, true));
}
BENCHMARK(BM_CompareFullSnapshots)->Unit(benchmark::kMicrosecond);

// A saved configuration with a generated full pattern memory, run on a private virtual board.
void BM_ReplaySavedConfiguration(benchmark::State& state) {
    RegisterBench bench;
    bench.ops.LoadExternalMem(1, 2, 0.5, 0.5, 64, static_cast<double>(state.range(0)));
    const std::string path = (std::filesystem::temp_directory_path() /
                              ("tarsion_bench_config_" + std::to_string(::getpid()) + ".js"))
                                 .string();
    bench.ops.SaveSettings(path);
    std::ostringstream text;
    text << std::ifstream(path).rdbuf();
    std::filesystem::remove(path);
    for (auto _ : state) {
        CPrivateBoard board(bench.doc);
        CScriptReplay replay(board.Ops());
        if (!replay.Run(text.str()) || !replay.Failures().empty())
            state.SkipWithError("the configuration did not replay");
    }
}
BENCHMARK(BM_ReplaySavedConfiguration)->Arg(1024)->Arg(131072)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace tarsion
