#pragma once

#include "ops/PatternMemory.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarsion {

// Test patterns from the engineer's own tools: CSV, NumPy (.npy, .npz) and WAV files, read as
// hostile input and scaled to the pattern memory's 16-bit samples.

// The samples of an imported file in its own units, before scaling.
struct ImportedSignal {
    std::vector<double> i;
    std::vector<double> q; // zeros when the file has one channel
    bool twoChannels = false;
    // Whole sample numbers (integer CSV, integer arrays, PCM): taken as they are. Otherwise
    // fractions of full scale (+-1.0), as in a floating-point pattern file.
    bool integers = false;
    std::string layout; // "CSV, 2 columns, floating point"
};

// A reader's result: the signal, or why the file is refused ("it holds NaN at line 4").
struct ImportRead {
    std::optional<ImportedSignal> signal;
    std::string refusal;
};

// The readers take the whole file; they stop once more pairs than the memory holds are seen.
ImportRead ReadCsvPattern(std::string_view text, std::size_t maxPairs = kMaxPatternPairs);
ImportRead ReadNpyPattern(std::string_view bytes, std::size_t maxPairs = kMaxPatternPairs);
ImportRead ReadNpzPattern(std::string_view bytes, std::size_t maxPairs = kMaxPatternPairs);
ImportRead ReadWavPattern(std::string_view bytes, std::size_t maxPairs = kMaxPatternPairs);
// By the file's first bytes (NumPy, zip, RIFF) or else its name (".csv").
ImportRead ReadImportedPattern(std::string_view name, std::string_view bytes,
                               std::size_t maxPairs = kMaxPatternPairs);
// Whether Load File treats `name` as an import rather than a pattern file.
bool IsImportFileName(std::string_view name);

// Texts of the refusals the readers share.
// "too large for the memory: 200000 sample pairs, ..."; without `pairs`, "more than 131072".
std::string TooLargeRefusal(std::size_t maxPairs, std::optional<std::size_t> pairs = std::nullopt);
std::string NotFiniteRefusal(double value, const std::string& where);

// Scaling to the memory's word: "full scale" makes the largest magnitude 32767; "as is" takes
// integers as samples and real values as fractions of full scale (1.0 gives 32767, as a
// floating-point pattern file does).
enum class ImportScaling { AsIs, FullScale };
const char* ImportScalingName(ImportScaling scaling);
std::optional<ImportScaling> ParseImportScaling(std::string_view name);

// What an import writes, or would write.
struct ImportReport {
    std::string file;
    std::string layout;
    std::size_t pairs = 0;
    std::size_t clipped = 0; // samples, I and Q counted
    ImportScaling scaling = ImportScaling::AsIs;
    double scale = 1.0;         // sample = value x scale, before rounding
    double min = 0, max = 0;    // of the file's values, both channels
    std::int32_t sampleMin = 0; // of the samples written
    std::int32_t sampleMax = 0;
    std::uint32_t firstAddress = kPatternMemoryWords;
    std::string negatives; // how a negative sample is coded in the memory word
};

// The pattern an import writes: the report and the pairs, each sample as its 16 bits (0..0xFFFF),
// as a hexadecimal pattern file gives them.
struct PreparedImport {
    ImportReport report;
    std::vector<SamplePair> pairs;
};
PreparedImport PrepareImport(const ImportedSignal& signal, ImportScaling scaling);

// Reads and prepares `path` (taken against the start directory) without touching the board. A
// symbolic link, a file too large for the memory, NaN or an unknown layout is refused with `refusal`.
struct ImportPreview {
    std::optional<ImportedSignal> signal;
    std::optional<PreparedImport> prepared;
    std::string path;
    std::string refusal;
};
ImportPreview PreviewImport(const std::string& startDirectory, const std::string& file,
                            ImportScaling scaling);
// Prepares the signal of an accepted preview again with another scaling.
void Rescale(ImportPreview& preview, ImportScaling scaling);

} // namespace tarsion
