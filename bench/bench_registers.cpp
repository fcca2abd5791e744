// Snapshots, the decoded compare and a saved configuration replayed on a private board.
#include "BenchStack.h"
#include "app/AppTestSupport.h"
#include "app/CompareView.h"
#include "board/ChipRegisters.h"
#include "ops/PrivateBoard.h"
#include "ops/ScriptReplay.h"
#include "registers/RegisterCompare.h"
#include "registers/RegisterSession.h"
#include "registers/RegisterSnapshot.h"

#include <QTableWidget>
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
    BenchStack stack;
    CTarsionDoc& doc = stack.Doc();
    CBoardOperations& ops = stack.Ops();

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

// Two snapshots in which every register field and every memory-load setting differs: the largest
// compare there is.
struct FullDifference {
    RegisterBench bench;
    CRegisterSnapshot before = CRegisterSnapshot::Take(bench.doc, "before");
    CRegisterSnapshot after;

    FullDifference() {
        RegisterShadow& shadow = bench.doc.Shadow();
        for (const std::uint8_t reg : kValueRegisters)
            shadow.StoreChipReg(reg, ~shadow.FetchChipReg(reg));
        after = CRegisterSnapshot::Take(bench.doc, "after");
        for (int reg = CRegisterSnapshot::kFirstBridge; reg < CRegisterSnapshot::kSpaceRegisters; ++reg)
            after.bridge[reg] = static_cast<std::uint8_t>(~before.bridge[reg]);
        for (int reg = CRegisterSnapshot::kFirstPld; reg < CRegisterSnapshot::kSpaceRegisters; ++reg)
            after.pld[reg] = static_cast<std::uint8_t>(~before.pld[reg]);
        after.clockPin = before.clockPin / 2;
        for (CoefficientSettings* c : {&after.coefficientI, &after.coefficientQ})
            *c = CoefficientSettings{2, 0.75, false, false, 1.5, true, true, "/lab/filters/other.coe"};
        after.constellationFile = "/lab/qam16.hex";
        after.pattern = PatternSettings{2, 1, 0.5, 0.25, 32, 4096, "/lab/patterns/ramp.pat"};
    }
};

// The function the Compare view lists its rows with.
void BM_CompareFullSnapshots(benchmark::State& state) {
    const FullDifference full;
    const std::size_t rows = CompareBoards(full.before, full.after, true).Differing();
    if (rows != CompareBoards(full.before, full.after, false).registers.size() + SettingFields().size())
        state.SkipWithError("not every row differs");
    for (auto _ : state)
        benchmark::DoNotOptimize(CompareBoards(full.before, full.after, false));
    state.counters["rows"] = static_cast<double>(rows);
}
BENCHMARK(BM_CompareFullSnapshots)->Unit(benchmark::kMicrosecond);

// What the user waits for: the Compare view finds both sides, compares and fills its table.
void BM_CompareFullView(benchmark::State& state) {
    FullDifference full;
    CRegisterSession session(full.bench.ops);
    const std::string before = session.Add(full.before);
    const std::string after = session.Add(full.after);
    test::ScriptedFileChooser files;
    CCompareView view(session, full.bench.ops, files);
    view.CompareIds(QString::fromStdString(before), QString::fromStdString(after));
    const int rows = view.Rows().rowCount();
    if (rows != static_cast<int>(CompareBoards(full.before, full.after, false).Differing()))
        state.SkipWithError("the view does not show every difference");
    for (auto _ : state)
        view.Recompare();
    state.counters["rows"] = rows;
}
BENCHMARK(BM_CompareFullView)->Unit(benchmark::kMicrosecond);

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
