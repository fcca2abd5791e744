#include "BenchStack.h"
#include "ops/PatternMemory.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <unistd.h>

namespace tarsion {
namespace {

constexpr std::uint32_t kWords = 2 * kMaxPatternPairs;

// A responsive virtual board under the operation layer, with a full-size pattern file.
class PatternBench {
public:
    PatternBench()
        : path_((std::filesystem::temp_directory_path() /
                 ("tarsion_bench_pattern_" + std::to_string(::getpid()) + ".pat"))
                    .string()) {
        std::ofstream file(path_);
        file << "Pattern\nof\nthe\nwhole\nmemory\n\n\n";
        char line[32];
        for (std::size_t k = 0; k < kMaxPatternPairs; ++k) {
            std::snprintf(line, sizeof line, "0x%04zx 0x%04zx\n", k & 0xFFFF, ~k & 0xFFFF);
            file << line;
        }
    }
    ~PatternBench() { std::filesystem::remove(path_); }
    PatternBench(const PatternBench&) = delete;
    PatternBench& operator=(const PatternBench&) = delete;

    const std::string& Path() const { return path_; }
    CBoardOperations& Ops() { return stack_.Ops(); }
    CBoardLink& Link() { return stack_.Link(); }

private:
    std::string path_;
    BenchStack stack_;
};

void BM_LoadPatternFile(benchmark::State& state) {
    PatternBench bench;
    for (auto _ : state) {
        if (!bench.Ops().LoadExternalMemory(bench.Path()))
            state.SkipWithError("pattern load failed");
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * kWords);
}
BENCHMARK(BM_LoadPatternFile)->Unit(benchmark::kMillisecond);

// The same number of words written straight through the board link: the floor of any load.
void BM_WriteExternalMemoryLoop(benchmark::State& state) {
    PatternBench bench;
    for (auto _ : state) {
        for (std::uint32_t address = 0; address < kWords; ++address) {
            if (!bench.Link().WriteExternalMemory(address, address & 0xFFFF))
                state.SkipWithError("word write failed");
        }
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * kWords);
}
BENCHMARK(BM_WriteExternalMemoryLoop)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace tarsion
