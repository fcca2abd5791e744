#include "signal/PatternMerit.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>

namespace tarsion {

namespace {
constexpr int kLastHarmonic = 6;
// A line stands 30 dB above the median bin; a bin beside a line is leakage when it stands 15 dB above.
constexpr double kLineOverFloor = 1e3;
constexpr double kLeakOverFloor = 30.0;
// The transform's own rounding, relative to the largest bin: an exact pattern's floor.
constexpr double kExactFloor = 1e-20;
// Lobe sum over largest bin of a Blackman-Harris tone, scalloping included, is below 4.
constexpr double kLobeOverBin = 4.0;
constexpr double kDbPerBit = 6.02;
constexpr double kSineOverUniformDb = 1.76;

double PowerDb(double ratio) {
    return ratio > 0 ? std::clamp(10.0 * std::log10(ratio), kSilenceDb, -kSilenceDb) : kSilenceDb;
}

bool IsLocalMax(const PowerSpectrum& p, std::ptrdiff_t k) {
    return p.At(k) > p.At(k - 1) && p.At(k) >= p.At(k + 1);
}

// Bins between two positions around the circle; on a real channel also to the other's mirror image.
std::ptrdiff_t Distance(const PowerSpectrum& p, std::ptrdiff_t a, std::ptrdiff_t b) {
    const auto n = static_cast<std::ptrdiff_t>(p.Size());
    const auto around = [n](std::ptrdiff_t d) {
        d = ((d % n) + n) % n;
        return std::min(d, n - d);
    };
    return p.IsReal() ? std::min(around(a - b), around(a + b)) : around(a - b);
}

// Without a window, a pattern that completes whole cycles of each of its tones puts each tone on one
// bin, and the bins beside it hold only noise; any other pattern leaks into them.
bool OnlyCoherentLines(const PowerSpectrum& p) {
    std::vector<double> levels(p.SearchedBins());
    for (std::size_t k = 0; k < levels.size(); ++k)
        levels[k] = p.At(static_cast<std::ptrdiff_t>(k));
    const double top = *std::max_element(levels.begin(), levels.end());
    if (!(top > 0))
        return false;
    const auto middle = levels.begin() + static_cast<std::ptrdiff_t>(levels.size() / 2);
    std::nth_element(levels.begin(), middle, levels.end());
    const double floor = std::max(*middle, top * kExactFloor);
    const auto isLine = [&](std::ptrdiff_t k) {
        return p.At(k) > kLineOverFloor * floor && IsLocalMax(p, k);
    };
    bool lines = false;
    for (std::size_t bin = 0; bin < p.SearchedBins(); ++bin) {
        const auto k = static_cast<std::ptrdiff_t>(bin);
        if (!isLine(k))
            continue;
        lines = true;
        for (const std::ptrdiff_t beside : {k - 1, k + 1})
            if (p.At(beside) > kLeakOverFloor * floor && !isLine(beside))
                return false;
    }
    return lines;
}

// Which bins belong to a component already, so each bin's power counts once.
class ComponentLedger {
public:
    ComponentLedger(const PowerSpectrum& p, int halfWidth)
        : p_(p), half_(halfWidth), taken_(p.Size(), false) {}

    // Takes the bins of the lobe around `centre` (and its mirror on a real channel) that no earlier
    // component took; returns their power.
    double Take(std::ptrdiff_t centre) {
        double sum = 0;
        const auto takeOne = [&](std::ptrdiff_t k) {
            const std::size_t index = Index(k);
            if (taken_[index])
                return;
            taken_[index] = true;
            sum += p_.At(k);
        };
        for (std::ptrdiff_t j = -half_; j <= half_; ++j) {
            takeOne(centre + j);
            if (p_.IsReal())
                takeOne(-(centre + j));
        }
        return sum;
    }
    bool Taken(std::ptrdiff_t k) const { return taken_[Index(k)]; }

    // Noise of the whole spectrum from the bins no component took, their mean standing in for the rest.
    double Rest() const {
        double sum = 0;
        std::size_t count = 0;
        for (std::size_t k = 0; k < taken_.size(); ++k) {
            if (taken_[k])
                continue;
            sum += p_.At(static_cast<std::ptrdiff_t>(k));
            ++count;
        }
        return count > 0 ? sum * static_cast<double>(taken_.size()) / static_cast<double>(count) : 0.0;
    }

private:
    std::size_t Index(std::ptrdiff_t k) const {
        const auto n = static_cast<std::ptrdiff_t>(taken_.size());
        return static_cast<std::size_t>(((k % n) + n) % n);
    }

    const PowerSpectrum& p_;
    std::ptrdiff_t half_;
    std::vector<bool> taken_;
};

class MeritCalculator {
public:
    MeritCalculator(const PowerSpectrum& p, SpectrumWindow window, const PatternMeritOptions& options)
        : p_(p), half_(LobeHalfWidth(window)), options_(options), fullScale_(p.IsReal() ? 0.5 : 1.0) {
        merit_.window = window;
    }

    PatternMerit Figures() {
        if (p_.Size() >= 2) {
            Tone();
            Peaks();
            ChannelPower();
        }
        return merit_;
    }

private:
    double Dbfs(double power) const { return PowerDb(power / fullScale_); }

    // The lobe's centre of power, in cycles per sample.
    double CentreFrequency(std::ptrdiff_t centre) const {
        double sum = 0;
        double moment = 0;
        for (std::ptrdiff_t j = -half_; j <= half_; ++j) {
            sum += p_.At(centre + j);
            moment += static_cast<double>(j) * p_.At(centre + j);
        }
        return p_.Frequency(static_cast<double>(centre) + (sum > 0 ? moment / sum : 0.0));
    }

    void Tone() {
        double total = 0;
        std::ptrdiff_t best = -1;
        const auto searched = static_cast<std::ptrdiff_t>(p_.SearchedBins());
        const auto n = static_cast<std::ptrdiff_t>(p_.Size());
        for (std::ptrdiff_t k = 0; k < searched; ++k) {
            total += p_.At(k);
            // Clear of the DC lobe on either side.
            if (k > half_ && n - k > half_ && (best < 0 || p_.At(k) > p_.At(best)))
                best = k;
        }
        if (best < 0 || !(p_.At(best) > kExactFloor * total))
            return;
        fundamental_ = best;
        ComponentLedger ledger(p_, half_);
        ledger.Take(0);
        const double tone = ledger.Take(best);
        const double f0 = CentreFrequency(best);
        const double bins = static_cast<double>(p_.Size());
        double distortion = 0;
        for (int h = 2; h <= kLastHarmonic; ++h) {
            // Folded by the bin arithmetic: positions wrap around the circle.
            distortion += ledger.Take(std::llround(h * f0 * bins));
            if (!p_.IsReal())
                distortion += ledger.Take(std::llround(-h * f0 * bins));
        }
        const double noise = ledger.Rest();
        merit_.fundamentalFrequency = f0;
        merit_.fundamentalDbfs = Dbfs(tone);
        merit_.snrDb = PowerDb(tone / noise);
        merit_.sinadDb = PowerDb(tone / (noise + distortion));
        merit_.thdDb = PowerDb(distortion / tone);
        merit_.enob = (merit_.sinadDb - kSineOverUniformDb - merit_.fundamentalDbfs) / kDbPerBit;
        tonePower_ = tone;
    }

    // The largest peaks, each its lobe's power; the largest one neither at DC nor the tone is the spur.
    void Peaks() {
        std::vector<std::ptrdiff_t> candidates;
        for (std::size_t bin = 0; bin < p_.SearchedBins(); ++bin)
            if (IsLocalMax(p_, static_cast<std::ptrdiff_t>(bin)))
                candidates.push_back(static_cast<std::ptrdiff_t>(bin));
        const auto stronger = [&](std::ptrdiff_t a, std::ptrdiff_t b) { return p_.At(a) > p_.At(b); };
        const std::size_t wanted = static_cast<std::size_t>(std::max(options_.peaks, 0));
        std::size_t sorted = std::min(candidates.size(), 4 * wanted + 64);
        std::partial_sort(candidates.begin(), candidates.begin() + static_cast<std::ptrdiff_t>(sorted),
                          candidates.end(), stronger);
        ComponentLedger ledger(p_, half_);
        double spur = -1;
        for (std::size_t c = 0; c < candidates.size(); ++c) {
            if (c == sorted) {
                std::sort(candidates.begin() + static_cast<std::ptrdiff_t>(sorted), candidates.end(),
                          stronger);
                sorted = candidates.size();
            }
            const std::ptrdiff_t k = candidates[c];
            const bool spurFound = spur >= 0 || fundamental_ < 0;
            // A weaker bin can no longer hold a larger lobe than the spur's.
            if (merit_.peaks.size() >= wanted && spurFound && kLobeOverBin * p_.At(k) < spur)
                break;
            if (ledger.Taken(k))
                continue;
            const double power = ledger.Take(k);
            if (fundamental_ >= 0 && Distance(p_, k, 0) > half_ && Distance(p_, k, fundamental_) > half_)
                spur = std::max(spur, power);
            if (merit_.peaks.size() < wanted) {
                SpectralPeak peak{CentreFrequency(k), std::nullopt, Dbfs(power)};
                if (options_.sampleRateHz)
                    peak.frequencyHz = peak.frequency * *options_.sampleRateHz;
                merit_.peaks.push_back(peak);
            }
        }
        std::stable_sort(merit_.peaks.begin(), merit_.peaks.end(),
                         [](const SpectralPeak& a, const SpectralPeak& b) { return a.dbfs > b.dbfs; });
        if (fundamental_ >= 0 && spur >= 0)
            merit_.sfdrDb = PowerDb(tonePower_ / spur);
    }

    // Power between |f| low and high on a real channel, between low and high on I + jQ.
    double Band(double low, double high) const {
        if (p_.IsReal()) {
            low = std::max(low, 0.0);
            high = std::min(high, 0.5);
            return low < high ? p_.BandPower(low, high) + p_.BandPower(-high, -low) : 0.0;
        }
        low = std::max(low, -0.5);
        high = std::min(high, 0.5);
        return low < high ? p_.BandPower(low, high) : 0.0;
    }

    void ChannelPower() {
        if (!options_.channelWidth || !(*options_.channelWidth > 0))
            return;
        const double half = *options_.channelWidth / 2;
        const double channel = p_.IsReal() ? Band(0.0, half) : Band(-half, half);
        merit_.channelPowerDbfs = Dbfs(channel);
        std::vector<double> offsets = options_.channelOffsets;
        if (offsets.empty())
            offsets = {-*options_.channelWidth, *options_.channelWidth};
        for (const double offset : offsets) {
            const double centre = p_.IsReal() ? std::abs(offset) : offset;
            merit_.aclrDb.push_back(PowerDb(Band(centre - half, centre + half) / channel));
        }
    }

    const PowerSpectrum& p_;
    std::ptrdiff_t half_;
    const PatternMeritOptions& options_;
    double fullScale_;
    PatternMerit merit_;
    std::ptrdiff_t fundamental_ = -1;
    double tonePower_ = 0;
};

// The transforms of both channels under each window, each made when first needed.
class ChannelTransforms {
public:
    ChannelTransforms(const std::vector<SamplePair>& pairs, IRealFourierTransform& fft) : fft_(fft) {
        samples_[0].reserve(pairs.size());
        samples_[1].reserve(pairs.size());
        for (const SamplePair& pair : pairs) {
            samples_[0].push_back(SampleFraction(pair.i));
            samples_[1].push_back(SampleFraction(pair.q));
        }
    }

    PowerSpectrum Spectrum(PatternChannel channel, SpectrumWindow window) {
        const std::size_t n = samples_[0].size();
        switch (channel) {
        case PatternChannel::I:
            return PowerSpectrum::OfReal(Transform(0, window), n);
        case PatternChannel::Q:
            return PowerSpectrum::OfReal(Transform(1, window), n);
        default:
            return PowerSpectrum::OfComplex(Transform(0, window), Transform(1, window), n);
        }
    }
    bool Empty() const { return samples_[0].empty(); }

private:
    const WindowedTransform& Transform(std::size_t q, SpectrumWindow window) {
        const std::size_t w = window == SpectrumWindow::None ? 0 : 1;
        std::optional<WindowedTransform>& slot = transforms_[q][w];
        if (!slot) {
            if (!weights_[w])
                weights_[w] = WindowWeights(window, samples_[q].size());
            slot = TransformUnder(samples_[q], *weights_[w], fft_);
        }
        return *slot;
    }

    IRealFourierTransform& fft_;
    std::array<std::vector<double>, 2> samples_;
    std::array<std::optional<std::vector<double>>, 2> weights_;
    std::array<std::array<std::optional<WindowedTransform>, 2>, 2> transforms_;
};

PatternMerit MeritOf(ChannelTransforms& transforms, PatternChannel channel,
                     const PatternMeritOptions& options) {
    if (transforms.Empty())
        return {};
    const PowerSpectrum plain = transforms.Spectrum(channel, SpectrumWindow::None);
    if (OnlyCoherentLines(plain))
        return MeritCalculator(plain, SpectrumWindow::None, options).Figures();
    const PowerSpectrum windowed = transforms.Spectrum(channel, SpectrumWindow::BlackmanHarris7);
    return MeritCalculator(windowed, SpectrumWindow::BlackmanHarris7, options).Figures();
}
} // namespace

std::vector<SamplePair> PairsAsWritten(const LoadedPattern& pattern) {
    std::vector<SamplePair> pairs = pattern.pairs;
    const std::size_t start = kPatternMemoryWords - 2 * pairs.size();
    for (const auto& [address, value] : pattern.writtenWords) {
        if (address < start || address >= kPatternMemoryWords)
            continue;
        SamplePair& pair = pairs[(address - start) / 2];
        ((address - start) % 2 == 1 ? pair.q : pair.i) = static_cast<std::int32_t>(value & 0xFFFF);
    }
    return pairs;
}

PatternMerit PatternMeritOf(const std::vector<SamplePair>& pairs, PatternChannel channel,
                            const PatternMeritOptions& options, IRealFourierTransform& fft) {
    ChannelTransforms transforms(pairs, fft);
    return MeritOf(transforms, channel, options);
}

PatternMeritSet PatternMeritsOf(const std::vector<SamplePair>& pairs, const PatternMeritOptions& options,
                                IRealFourierTransform& fft) {
    ChannelTransforms transforms(pairs, fft);
    PatternMeritSet set;
    set.i = MeritOf(transforms, PatternChannel::I, options);
    set.q = MeritOf(transforms, PatternChannel::Q, options);
    set.iq = MeritOf(transforms, PatternChannel::IQ, options);
    return set;
}

} // namespace tarsion
