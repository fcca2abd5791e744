#pragma once

#include "signal/SignalAnalysis.h"

#include <complex>
#include <cstddef>
#include <vector>

namespace tarsion {

enum class SpectrumWindow { None, BlackmanHarris7 };
// The window's name as the figures give it: "none" or "Blackman-Harris 7-term".
const char* WindowName(SpectrumWindow window);
// Half the width of a tone's main lobe in bins: the bins that hold its power.
int LobeHalfWidth(SpectrumWindow window);

// The window's weights for n samples; none for no window.
std::vector<double> WindowWeights(SpectrumWindow window, std::size_t n);

// The transform of one channel under a window, with the window's power sum (sum of w^2) and its
// coherent sum (sum of w: a tone on a bin centre reads A / 2 times it there).
struct WindowedTransform {
    std::vector<std::complex<double>> bins; // 0..n/2
    double windowPower = 0;
    double windowSum = 0;
};
// `weights` as WindowWeights gives them: empty for no window, else one per sample.
WindowedTransform TransformUnder(const std::vector<double>& samples, const std::vector<double>& weights,
                                 IRealFourierTransform& fft);

// Two-sided power spectrum of n samples: bin k at k/n cycles per sample, bins above n/2 the negative
// frequencies. Scaled so that noise keeps its mean power and a component's power is the sum of the
// bins of its lobe; a real channel is mirror-symmetric.
class PowerSpectrum {
public:
    static PowerSpectrum OfReal(const WindowedTransform& transform, std::size_t n);
    // I + jQ from the transforms of I and Q under the same window.
    static PowerSpectrum OfComplex(const WindowedTransform& i, const WindowedTransform& q, std::size_t n);

    bool IsReal() const { return real_; }
    std::size_t Size() const { return power_.size(); }
    // Bins searched for components: 0..n/2 of a real channel (the rest mirror them), all of I + jQ.
    std::size_t SearchedBins() const { return real_ ? power_.size() / 2 + 1 : power_.size(); }
    // Bin k, taken around the circle.
    double At(std::ptrdiff_t k) const {
        const auto n = static_cast<std::ptrdiff_t>(power_.size());
        if (k < 0 || k >= n)
            k = ((k % n) + n) % n;
        return power_[static_cast<std::size_t>(k)];
    }
    // Bin position (a fraction where a lobe's centre lies between bins) in cycles per sample:
    // 0 to 0.5 for a real channel, -0.5 to 0.5 for I + jQ.
    double Frequency(double position) const;
    // Power between two frequencies (-0.5 <= low <= high <= 0.5), the edge bins split in proportion.
    double BandPower(double low, double high) const;

private:
    PowerSpectrum(std::vector<double> power, bool real) : power_(std::move(power)), real_(real) {}

    std::vector<double> power_;
    bool real_ = true;
};

} // namespace tarsion
