// A whole memory imported: 131,072 pairs (262,144 samples) from each format, read, scaled and
// analysed for the preview's spectrum, and then written to a responsive virtual board.
#include "BenchStack.h"
#include "ops/PatternImport.h"
#include "signal/FftwTransform.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace tarsion {
namespace {

constexpr double kPi = 3.14159265358979323846;

std::string Le(std::uint64_t value, int bytes) {
    std::string out;
    for (int b = 0; b < bytes; ++b)
        out.push_back(static_cast<char>((value >> (8 * b)) & 0xFF));
    return out;
}

double Tone(std::size_t k, int channel) {
    const double angle = 2 * kPi * 1001.0 * static_cast<double>(k) / static_cast<double>(kMaxPatternPairs);
    return 0.7 * (channel == 0 ? std::cos(angle) : std::sin(angle));
}

// The same two-channel tone in each format (a complex .npy; a stored .npz of it).
std::string FileBytes(const std::string& format) {
    std::string bytes;
    if (format == "csv") {
        char line[64];
        for (std::size_t k = 0; k < kMaxPatternPairs; ++k) {
            std::snprintf(line, sizeof line, "%.9f,%.9f\n", Tone(k, 0), Tone(k, 1));
            bytes += line;
        }
    } else if (format == "wav") {
        std::string data;
        for (std::size_t k = 0; k < kMaxPatternPairs; ++k)
            for (const int channel : {0, 1})
                data += Le(static_cast<std::uint16_t>(std::lround(Tone(k, channel) * 32767)), 2);
        const std::string fmt = Le(1, 2) + Le(2, 2) + Le(48000, 4) + Le(192000, 4) + Le(4, 2) + Le(16, 2);
        bytes = "RIFF" + Le(20 + fmt.size() + data.size(), 4) + "WAVEfmt " + Le(fmt.size(), 4) + fmt +
                "data" + Le(data.size(), 4) + data;
    } else {
        std::string header = "{'descr': '<c16', 'fortran_order': False, 'shape': (131072,), }";
        while ((header.size() + 11) % 64 != 0)
            header += ' ';
        header += '\n';
        bytes = std::string("\x93NUMPY\x01\x00", 8) + Le(header.size(), 2) + header;
        for (std::size_t k = 0; k < kMaxPatternPairs; ++k)
            for (const int channel : {0, 1}) {
                const double value = Tone(k, channel);
                std::uint64_t bits = 0;
                std::memcpy(&bits, &value, sizeof bits);
                bytes += Le(bits, 8);
            }
    }
    return bytes;
}

class ImportFile {
public:
    explicit ImportFile(const std::string& format)
        : path_((std::filesystem::temp_directory_path() /
                 ("tarsion_bench_import_" + std::to_string(::getpid()) + "." + format))
                    .string()) {
        std::ofstream(path_, std::ios::binary) << FileBytes(format);
    }
    ~ImportFile() { std::filesystem::remove(path_); }
    ImportFile(const ImportFile&) = delete;
    ImportFile& operator=(const ImportFile&) = delete;
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

const char* const kFormats[] = {"csv", "npy", "wav"};

// What the preview dialog computes before it shows: the file read and scaled, and both spectra.
void BM_ImportPreview(benchmark::State& state) {
    const ImportFile file(kFormats[state.range(0)]);
    FftwTransform fft;
    for (auto _ : state) {
        const ImportPreview preview = PreviewImport("/", file.Path(), ImportScaling::FullScale);
        if (!preview.prepared)
            state.SkipWithError(preview.refusal.c_str());
        else
            benchmark::DoNotOptimize(AnalysePattern(preview.prepared->pairs, fft));
    }
    state.SetLabel(kFormats[state.range(0)]);
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * 2 * kMaxPatternPairs);
}
BENCHMARK(BM_ImportPreview)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);

// The confirmed import written to the board.
void BM_ImportWrite(benchmark::State& state) {
    const ImportFile file("npy");
    BenchStack stack;
    const ImportPreview preview = PreviewImport("/", file.Path(), ImportScaling::AsIs);
    for (auto _ : state) {
        if (!stack.Ops().ImportPattern(preview))
            state.SkipWithError("import failed");
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * 2 * kMaxPatternPairs);
}
BENCHMARK(BM_ImportWrite)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace tarsion
