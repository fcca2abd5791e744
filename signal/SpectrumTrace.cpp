#include "signal/SpectrumTrace.h"

#include "signal/SignalAnalysis.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <numeric>

namespace tarsion {

namespace {
double Level(double magnitude, double windowSum) {
    const double ratio = windowSum > 0 ? magnitude / windowSum : 0.0;
    return ratio > 0 ? std::max(20.0 * std::log10(ratio), kSilenceDb) : kSilenceDb;
}

bool IsPeak(const SpectrumTrace& trace, std::size_t k) {
    const double level = trace.dbfs[k];
    return (k == 0 || trace.dbfs[k - 1] <= level) &&
           (k + 1 == trace.dbfs.size() || trace.dbfs[k + 1] <= level);
}

// Ranked by level, then by frequency: true when peak a comes before peak b.
bool RanksBefore(const SpectrumTrace& trace, std::size_t a, std::size_t b) {
    return trace.dbfs[a] != trace.dbfs[b] ? trace.dbfs[a] > trace.dbfs[b] : a < b;
}
} // namespace

double WindowSum(const std::vector<double>& weights, std::size_t n) {
    return weights.empty() ? static_cast<double>(n) : std::accumulate(weights.begin(), weights.end(), 0.0);
}

SpectrumTrace RealTrace(const WindowedTransform& transform, double windowSum, std::size_t n) {
    SpectrumTrace trace;
    const std::size_t bins = std::min(transform.bins.size(), n / 2 + 1);
    trace.frequency.resize(bins);
    trace.dbfs.resize(bins);
    for (std::size_t k = 0; k < bins; ++k) {
        // A cosine's amplitude is split between +f and -f, except at DC and at n/2.
        const bool single = k == 0 || 2 * k == n;
        trace.frequency[k] = static_cast<double>(k) / static_cast<double>(n);
        trace.dbfs[k] = Level((single ? 1.0 : 2.0) * std::abs(transform.bins[k]), windowSum);
    }
    return trace;
}

SpectrumTrace ComplexTrace(const WindowedTransform& i, const WindowedTransform& q, double windowSum,
                           std::size_t n) {
    SpectrumTrace trace;
    if (n == 0 || i.bins.size() < n / 2 + 1 || q.bins.size() < n / 2 + 1)
        return trace;
    const std::complex<double> j(0.0, 1.0);
    const auto lowest = -static_cast<std::ptrdiff_t>(n / 2);
    trace.frequency.resize(n);
    trace.dbfs.resize(n);
    for (std::size_t m = 0; m < n; ++m) {
        const std::ptrdiff_t k = lowest + static_cast<std::ptrdiff_t>(m);
        const auto bin = static_cast<std::size_t>(std::abs(k));
        // The negative frequencies of a real channel's transform are the conjugates of the positive ones.
        const std::complex<double> z =
            k >= 0 ? i.bins[bin] + j * q.bins[bin] : std::conj(i.bins[bin]) + j * std::conj(q.bins[bin]);
        trace.frequency[m] = static_cast<double>(k) / static_cast<double>(n);
        trace.dbfs[m] = Level(std::abs(z), windowSum);
    }
    return trace;
}

std::vector<double> ChannelSamples(const std::vector<SamplePair>& pairs, bool q) {
    std::vector<double> samples(pairs.size());
    for (std::size_t n = 0; n < pairs.size(); ++n)
        samples[n] = SampleFraction(q ? pairs[n].q : pairs[n].i);
    return samples;
}

std::size_t NearestPoint(const SpectrumTrace& trace, double frequency) {
    const auto above = std::lower_bound(trace.frequency.begin(), trace.frequency.end(), frequency);
    if (above == trace.frequency.begin())
        return 0;
    if (above == trace.frequency.end())
        return trace.frequency.size() - 1;
    const auto below = above - 1;
    return static_cast<std::size_t>((frequency - *below <= *above - frequency ? below : above) -
                                    trace.frequency.begin());
}

std::size_t HighestNear(const SpectrumTrace& trace, std::size_t index, std::size_t radius) {
    const std::size_t first = index - std::min(index, radius);
    const std::size_t last = std::min(index + radius + 1, trace.dbfs.size());
    std::size_t best = index;
    for (std::size_t k = first; k < last; ++k) {
        if (trace.dbfs[k] > trace.dbfs[best])
            best = k;
    }
    return best;
}

std::optional<std::size_t> HighestPeak(const SpectrumTrace& trace) {
    if (trace.Empty())
        return std::nullopt;
    return static_cast<std::size_t>(std::max_element(trace.dbfs.begin(), trace.dbfs.end()) -
                                    trace.dbfs.begin());
}

std::optional<std::size_t> NextPeak(const SpectrumTrace& trace, std::size_t index) {
    std::optional<std::size_t> next;
    for (std::size_t k = 0; k < trace.dbfs.size(); ++k) {
        if (k == index || !IsPeak(trace, k) || !RanksBefore(trace, index, k))
            continue;
        if (!next || RanksBefore(trace, k, *next))
            next = k;
    }
    return next;
}

} // namespace tarsion
