#pragma once

#include "ops/PatternMemory.h"
#include "signal/PowerSpectrum.h"

#include <cstddef>
#include <optional>
#include <vector>

namespace tarsion {

// The spectrum the pattern view plots and its markers read: one point a bin, frequencies in cycles
// per sample and ascending (0 to 0.5 for a real channel, -0.5 to 0.5 for I + jQ), levels in dBFS
// calibrated for a tone on a bin centre: a real tone of amplitude A, and a complex tone of modulus A,
// read 20 log10 A at their bin.
struct SpectrumTrace {
    std::vector<double> frequency;
    std::vector<double> dbfs;
    bool Empty() const { return dbfs.empty(); }
};
// The sum of a window's weights over n samples (WindowWeights; none: n), which a tone's bin carries.
double WindowSum(const std::vector<double>& weights, std::size_t n);
SpectrumTrace RealTrace(const WindowedTransform& transform, double windowSum, std::size_t n);
SpectrumTrace ComplexTrace(const WindowedTransform& i, const WindowedTransform& q, double windowSum,
                           std::size_t n);

// The I or Q samples of the pairs as fractions of full scale.
std::vector<double> ChannelSamples(const std::vector<SamplePair>& pairs, bool q);

// Marker searches on a trace; every index is a point of it.
// The point nearest to a frequency.
std::size_t NearestPoint(const SpectrumTrace& trace, double frequency);
// The highest point within `radius` points either side: a click near a peak lands on it.
std::size_t HighestNear(const SpectrumTrace& trace, std::size_t index, std::size_t radius);
// The highest peak (a point no lower than its neighbours); empty for an empty trace.
std::optional<std::size_t> HighestPeak(const SpectrumTrace& trace);
// The peak that comes after `index` when peaks are ranked by level, then by frequency: from one of two
// equal tones to the other, then down the spurs. Empty when none is left.
std::optional<std::size_t> NextPeak(const SpectrumTrace& trace, std::size_t index);

} // namespace tarsion
