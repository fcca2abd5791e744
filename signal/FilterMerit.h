#pragma once

#include "ops/CoefficientRam.h"
#include "signal/SignalAnalysis.h"

#include <limits>
#include <vector>

namespace tarsion {

// Figures of merit of a shaping filter, as a data sheet gives them. Frequencies are in cycles per
// output sample (the taps run at R times the symbol rate, so the symbol rate is 1/R). A figure
// without a defined value (no DC gain, never falls 3 dB) is NaN.

inline constexpr double kDefaultRolloff = 0.35;

// Band edges in cycles per output sample, 0 to 0.5.
struct FilterBandEdges {
    double passband = 0; // ripple is taken over [0, passband]
    double stopband = 0; // attenuation over [stopband, 0.5]
};
// The edges of a root-raised-cosine pair of roll-off a: (1 - a) / 2R and (1 + a) / 2R.
FilterBandEdges BandEdgesFor(double rolloff, int rate);

struct FilterMerit {
    static constexpr double kUndefined = std::numeric_limits<double>::quiet_NaN();
    double dcGainDb = kUndefined;            // 20 log10(|H(0)| / R), the Filter page's DC gain in dB
    double rippleDb = kUndefined;            // peak to peak of 20 log10 |H| over the passband
    double stopbandDb = kUndefined;          // largest |H| over the stopband relative to |H(0)|
    double f3db = kUndefined;                // first frequency where |H| falls 3 dB below |H(0)|
    double f6db = kUndefined;                // the same for 6 dB
    double groupDelay = kUndefined;          // at DC, in output samples
    double groupDelayVariation = kUndefined; // largest minus smallest group delay over the passband
    // Residual inter-symbol interference of the filter cascaded with its time reverse, at the symbol
    // instants: rms of the interfering symbols' taps over the main tap, the EVM floor of a matched pair.
    double isiEvmPercent = kUndefined;
    double isiEvmDb = kUndefined;
};

// Figures of taps running at `rate` times the symbol rate.
FilterMerit FilterMeritOf(const std::vector<double>& taps, int rate, const FilterBandEdges& edges,
                          IRealFourierTransform& fft);
// Figures of the taps a coefficient RAM holds.
FilterMerit FilterMeritOf(const CoefficientRamImage& words, const FilterGeometry& geometry,
                          const FilterBandEdges& edges, IRealFourierTransform& fft);

} // namespace tarsion
