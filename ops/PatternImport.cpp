#include "ops/PatternImport.h"

#include "base/RegularFile.h"
#include "base/TextHelpers.h"
#include "ops/FilePaths.h"

#include <algorithm>
#include <cctype>
#include <cmath>

namespace tarsion {

namespace {
constexpr double kFullScale = 32767.0;
constexpr const char* kNegatives = "16-bit two's complement (-1 is 0xffff), bits 23..18 clear";

std::string LoweredExtension(std::string_view name) {
    const std::string file = FileNameOf(name);
    const std::size_t dot = file.rfind('.');
    std::string extension = dot == std::string::npos ? std::string() : file.substr(dot);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension;
}

struct Scaled {
    std::int32_t sample = 0;
    bool clipped = false;
};

// `peak`: the largest magnitude of the file, for full scale.
Scaled ScaleValue(double value, const ImportedSignal& signal, ImportScaling scaling, double peak) {
    if (scaling == ImportScaling::AsIs && !signal.integers) {
        // As a floating-point pattern file converts it.
        const double x = value * 32768.0 + 0.5;
        return {SampleFromReal(value), !(x < 32768.0) || x <= -32768.0};
    }
    // Divided first: for a peak so small that 32767 / peak overflows, value / peak is still at most 1.
    const double x = scaling == ImportScaling::AsIs ? value
                     : peak > 0                     ? std::round(value / peak * kFullScale)
                                                    : 0.0;
    if (x > kFullScale)
        return {32767, true};
    if (x < -32768.0)
        return {-32768, true};
    return {static_cast<std::int32_t>(x), false};
}
} // namespace

std::string TooLargeRefusal(std::size_t maxPairs, std::optional<std::size_t> pairs) {
    if (pairs)
        return FormatText("too large for the memory: %zu sample pairs, the pattern memory holds %zu", *pairs,
                          maxPairs);
    return FormatText("too large for the memory: more than %zu sample pairs", maxPairs);
}

std::string NotFiniteRefusal(double value, const std::string& where) {
    return std::string(std::isnan(value) ? "it holds NaN" : "it holds an infinite value") + " at " + where;
}

bool IsImportFileName(std::string_view name) {
    const std::string extension = LoweredExtension(name);
    return extension == ".csv" || extension == ".npy" || extension == ".npz" || extension == ".wav";
}

ImportRead ReadImportedPattern(std::string_view name, std::string_view bytes, std::size_t maxPairs) {
    if (bytes.starts_with("\x93NUMPY"))
        return ReadNpyPattern(bytes, maxPairs);
    if (bytes.starts_with("PK\x03\x04") || bytes.starts_with("PK\x05\x06"))
        return ReadNpzPattern(bytes, maxPairs);
    if (bytes.starts_with("RIFF"))
        return ReadWavPattern(bytes, maxPairs);
    const std::string extension = LoweredExtension(name);
    if (extension == ".csv")
        return ReadCsvPattern(bytes, maxPairs);
    return {std::nullopt, "unknown layout: neither CSV (.csv), NumPy (.npy, .npz) nor WAV"};
}

const char* ImportScalingName(ImportScaling scaling) {
    return scaling == ImportScaling::FullScale ? "full scale" : "as is";
}

std::optional<ImportScaling> ParseImportScaling(std::string_view name) {
    if (name == "full scale")
        return ImportScaling::FullScale;
    if (name == "as is")
        return ImportScaling::AsIs;
    return std::nullopt;
}

PreparedImport PrepareImport(const ImportedSignal& signal, ImportScaling scaling) {
    PreparedImport prepared;
    ImportReport& report = prepared.report;
    report.layout = signal.layout;
    report.scaling = scaling;
    report.pairs = signal.i.size();
    report.firstAddress = kPatternMemoryWords - static_cast<std::uint32_t>(2 * report.pairs);
    report.negatives = kNegatives;
    double peak = 0;
    if (!signal.i.empty()) {
        const auto [iMin, iMax] = std::minmax_element(signal.i.begin(), signal.i.end());
        const auto [qMin, qMax] = std::minmax_element(signal.q.begin(), signal.q.end());
        report.min = signal.twoChannels ? std::min(*iMin, *qMin) : *iMin;
        report.max = signal.twoChannels ? std::max(*iMax, *qMax) : *iMax;
        peak = std::max(std::fabs(report.min), std::fabs(report.max));
    }
    report.scale = scaling == ImportScaling::FullScale ? (peak > 0 ? kFullScale / peak : 1.0)
                   : signal.integers                   ? 1.0
                                                       : 32768.0;
    prepared.pairs.resize(report.pairs);
    report.sampleMin = 32767;
    report.sampleMax = -32768;
    for (std::size_t k = 0; k < report.pairs; ++k) {
        const Scaled i = ScaleValue(signal.i[k], signal, scaling, peak);
        const Scaled q = ScaleValue(signal.q[k], signal, scaling, peak);
        report.clipped += (i.clipped ? 1 : 0) + (q.clipped ? 1 : 0);
        for (const std::int32_t sample : {i.sample, signal.twoChannels ? q.sample : i.sample}) {
            report.sampleMin = std::min(report.sampleMin, sample);
            report.sampleMax = std::max(report.sampleMax, sample);
        }
        prepared.pairs[k] = {i.sample & 0xFFFF, q.sample & 0xFFFF};
    }
    if (report.pairs == 0)
        report.sampleMin = report.sampleMax = 0;
    return prepared;
}

ImportPreview PreviewImport(const std::string& startDirectory, const std::string& file,
                            ImportScaling scaling) {
    ImportPreview preview;
    preview.path = ResolveLoaderPath(startDirectory, file);
    std::string bytes;
    const FileRead read = ReadRegularFile(preview.path, kPatternFileLimit, bytes, FileLinks::Refuse);
    if (read != FileRead::Ok) {
        preview.refusal = "Could not read " + preview.path + ": " +
                          WhyNotRead(preview.path, read, kPatternFileLimit, FileLinks::Refuse);
        return preview;
    }
    ImportRead contents = ReadImportedPattern(preview.path, bytes);
    if (!contents.signal) {
        preview.refusal = "Refused " + FileNameOf(preview.path) + ": " + contents.refusal;
        return preview;
    }
    preview.signal = std::move(contents.signal);
    Rescale(preview, scaling);
    return preview;
}

void Rescale(ImportPreview& preview, ImportScaling scaling) {
    preview.prepared = PrepareImport(*preview.signal, scaling);
    preview.prepared->report.file = FileNameOf(preview.path);
}

} // namespace tarsion
