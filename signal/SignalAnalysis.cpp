#include "signal/SignalAnalysis.h"

#include "board/ChipRegisters.h"
#include "board/RegisterShadow.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace tarsion {

namespace {
constexpr int kFieldBits = 18;
constexpr int kBlockAddresses = 64;
constexpr double kNcoScale = 4294967295.0; // the NCO words' scale, 2^32 - 1
constexpr double kFullScale = 32768.0;
enum DataClkSource : std::uint8_t { kRefClk = 0, kTwiceSymbolClk = 1, kHalfSysClk = 2 };

double Db(double ratio) {
    return ratio > 0 ? std::max(20.0 * std::log10(ratio), kSilenceDb) : kSilenceDb;
}

// Periodic Hann window: a tone on a bin centre stays on that bin and the next one.
std::vector<double> HannWindow(std::size_t n) {
    std::vector<double> window(n);
    for (std::size_t i = 0; i < n; ++i)
        window[i] =
            0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * static_cast<double>(i) / static_cast<double>(n));
    return window;
}
} // namespace

std::int32_t FieldValue(const CoefficientWord& word, int field) {
    std::uint32_t bits = 0;
    const int first = (field - 1) * kFieldBits;
    for (int bit = kFieldBits - 1; bit >= 0; --bit) {
        const int position = first + bit;
        bits = (bits << 1) | ((word[position / 8] >> (position % 8)) & 1u);
    }
    // Bit 17 is the sign.
    return static_cast<std::int32_t>(bits) - ((bits & (1u << (kFieldBits - 1))) ? (1 << kFieldBits) : 0);
}

std::vector<double> TapsFromTable(const CoefficientRamImage& words, const FilterGeometry& g) {
    std::vector<double> taps(static_cast<std::size_t>(g.taps), 0.0);
    // In 2-bit mode the upper half of the RAM only repeats the lower half at half scale.
    const int blocks = g.twoBitMode ? 2 : 4;
    for (int block = 0; block < blocks; ++block) {
        for (int group = 0; group < g.Groups(); ++group) {
            for (int field = 1; field <= 4; ++field) {
                const int phase = 4 * group + 4 - field;
                for (int bit = 0; bit < g.bits; ++bit) {
                    const int tap =
                        g.taps - block * g.BlockSize() - g.rate + phase - (g.bits - 1 - bit) * g.rate;
                    const int address = block * kBlockAddresses + (group << g.bits) + (1 << bit);
                    taps[static_cast<std::size_t>(tap)] =
                        FieldValue(words[static_cast<std::size_t>(address)], field) / kFieldUnit;
                }
            }
        }
    }
    return taps;
}

double ResponseFrequency(int index, int rate, int points) {
    return points > 1 ? index * (rate / 2.0) / (points - 1) : 0.0;
}

std::vector<std::complex<double>> FrequencyResponse(const std::vector<double>& taps, int rate, int points) {
    std::vector<std::complex<double>> response(static_cast<std::size_t>(std::max(points, 0)));
    for (int k = 0; k < points; ++k) {
        const double omega = 2.0 * std::numbers::pi * ResponseFrequency(k, rate, points) / rate;
        const std::complex<double> z = std::polar(1.0, -omega);
        // Horner's scheme: one complex multiply per tap.
        std::complex<double> sum = 0;
        for (auto tap = taps.rbegin(); tap != taps.rend(); ++tap)
            sum = sum * z + *tap;
        response[static_cast<std::size_t>(k)] = sum;
    }
    return response;
}

std::vector<double> MagnitudeDb(const std::vector<std::complex<double>>& response, double divisor) {
    std::vector<double> db(response.size());
    std::transform(response.begin(), response.end(), db.begin(),
                   [divisor](const std::complex<double>& h) { return Db(std::abs(h) / divisor); });
    return db;
}

FilterFigures FilterFiguresOf(const std::vector<std::complex<double>>& quantized,
                              const std::vector<std::complex<double>>& ideal, int rate) {
    FilterFigures figures;
    if (quantized.empty())
        return figures;
    const int points = static_cast<int>(quantized.size());
    figures.dcGain = quantized.front().real() / rate;
    figures.idealDcGain = ideal.empty() ? 0.0 : ideal.front().real() / rate;
    const double reference = std::abs(quantized.front());
    double worst = 0;
    for (int k = 0; k < points; ++k) {
        if (ResponseFrequency(k, rate, points) >= 1.0)
            worst = std::max(worst, std::abs(quantized[static_cast<std::size_t>(k)]));
        if (static_cast<std::size_t>(k) < ideal.size())
            figures.largestDifference = std::max(
                figures.largestDifference,
                std::abs(quantized[static_cast<std::size_t>(k)] - ideal[static_cast<std::size_t>(k)]) / rate);
    }
    figures.stopBandDb = reference > 0 ? Db(worst / reference) : kSilenceDb;
    return figures;
}

std::vector<ColumnRange> MinMaxColumns(const std::vector<double>& samples, std::size_t first,
                                       std::size_t last, std::size_t columns) {
    last = std::min(last, samples.size());
    if (first >= last || columns == 0)
        return {};
    const std::size_t count = last - first;
    columns = std::min(columns, count);
    std::vector<ColumnRange> ranges(columns);
    for (std::size_t c = 0; c < columns; ++c) {
        // Integer slice bounds: every sample lands in exactly one column.
        const std::size_t begin = first + c * count / columns;
        const std::size_t end = first + (c + 1) * count / columns;
        const auto [low, high] = std::minmax_element(samples.begin() + static_cast<std::ptrdiff_t>(begin),
                                                     samples.begin() + static_cast<std::ptrdiff_t>(end));
        ranges[c] = {*low, *high};
    }
    return ranges;
}

std::vector<double> AmplitudeSpectrumDbfs(const std::vector<double>& samples, IRealFourierTransform& fft) {
    const std::size_t n = samples.size();
    if (n == 0)
        return {};
    const std::vector<double> window = HannWindow(n);
    std::vector<double> windowed(n);
    double windowSum = 0;
    for (std::size_t i = 0; i < n; ++i) {
        windowed[i] = samples[i] * window[i];
        windowSum += window[i];
    }
    // A single sample has a Hann window of 0; take it unwindowed.
    if (windowSum == 0) {
        windowed = samples;
        windowSum = static_cast<double>(n);
    }
    const std::vector<std::complex<double>> bins = fft.Forward(windowed);
    std::vector<double> levels(bins.size());
    for (std::size_t k = 0; k < bins.size(); ++k) {
        // Both halves of the two-sided spectrum, except DC and (even n) the Nyquist bin.
        const bool single = k == 0 || 2 * k == n;
        levels[k] = Db((single ? 1.0 : 2.0) * std::abs(bins[k]) / windowSum);
    }
    return levels;
}

double SampleFraction(std::int32_t sample) {
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(sample & 0xFFFF)) / kFullScale;
}

PatternAnalysis AnalysePattern(const std::vector<SamplePair>& pairs, IRealFourierTransform& fft) {
    PatternAnalysis analysis;
    analysis.i.reserve(pairs.size());
    analysis.q.reserve(pairs.size());
    for (const SamplePair& pair : pairs) {
        analysis.i.push_back(SampleFraction(pair.i));
        analysis.q.push_back(SampleFraction(pair.q));
    }
    analysis.iSpectrumDbfs = AmplitudeSpectrumDbfs(analysis.i, fft);
    analysis.qSpectrumDbfs = AmplitudeSpectrumDbfs(analysis.q, fft);
    return analysis;
}

std::optional<double> GeneratedPatternFrequency(const PatternSettings& settings) {
    const auto periodic = [](std::int32_t kind) { return kind == 1 || kind == 2; };
    if (!(periodic(settings.iKind) || periodic(settings.qKind)) || !(settings.samplesPerCycle > 0))
        return std::nullopt;
    // Pair k has the angle 2k x 3.1416 / samplesPerCycle: 3.1416 / pi cycles every samplesPerCycle pairs.
    return kGeneratedPatternPi / (std::numbers::pi * settings.samplesPerCycle);
}

std::optional<double> SymbolRateHz(const RegisterShadow& shadow) {
    const double rate = shadow.FetchChipReg(chipreg::kSymbolFrequency) * shadow.SysClk() / kNcoScale;
    if (!(rate > 0) || !std::isfinite(rate))
        return std::nullopt;
    return rate;
}

std::optional<double> DataClkHz(const RegisterShadow& shadow) {
    double hz = 0;
    switch (shadow.FetchBridgeReg(bridgereg::kBoardControl) & bridgereg::kDataClkMask) {
    case kRefClk:
        hz = shadow.ClockPin();
        break;
    case kTwiceSymbolClk:
        hz = 2.0 * SymbolRateHz(shadow).value_or(0.0);
        break;
    case kHalfSysClk:
        hz = shadow.SysClk() / 2.0;
        break;
    default:
        return std::nullopt;
    }
    if (!(hz > 0) || !std::isfinite(hz))
        return std::nullopt;
    return hz;
}

} // namespace tarsion
