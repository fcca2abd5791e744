#include "signal/PowerSpectrum.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

namespace tarsion {

namespace {
// The 7-term Blackman-Harris window: side lobes below -180 dB, main lobe 7 bins either side.
constexpr std::array<double, 7> kBlackmanHarris7 = {0.27105140069342, 0.43329793923448, 0.21812299954311,
                                                    0.06592544638803, 0.01081174209837, 0.00077658482522,
                                                    0.00001388721735};

// Periodic (DFT-even) window, so a tone on a bin centre keeps its lobe symmetric about it. The
// harmonics of each sample's cosine come from the first by the Chebyshev recurrence.
std::vector<double> BlackmanHarris7(std::size_t n) {
    std::vector<double> window(n);
    for (std::size_t i = 0; i < n; ++i) {
        const double c1 = std::cos(2.0 * std::numbers::pi * static_cast<double>(i) / static_cast<double>(n));
        double previous = 1.0;
        double current = c1;
        double sum = kBlackmanHarris7[0] - kBlackmanHarris7[1] * c1;
        for (std::size_t k = 2; k < kBlackmanHarris7.size(); ++k) {
            const double next = 2.0 * c1 * current - previous;
            previous = current;
            current = next;
            sum += (k % 2 == 0 ? 1.0 : -1.0) * kBlackmanHarris7[k] * current;
        }
        window[i] = sum;
    }
    return window;
}

double Scale(const WindowedTransform& transform, std::size_t n) {
    return 1.0 / (static_cast<double>(n) * transform.windowPower);
}
} // namespace

const char* WindowName(SpectrumWindow window) {
    return window == SpectrumWindow::None ? "none" : "Blackman-Harris 7-term";
}

int LobeHalfWidth(SpectrumWindow window) {
    return window == SpectrumWindow::None ? 0 : static_cast<int>(kBlackmanHarris7.size());
}

std::vector<double> WindowWeights(SpectrumWindow window, std::size_t n) {
    return window == SpectrumWindow::None ? std::vector<double>{} : BlackmanHarris7(n);
}

WindowedTransform TransformUnder(const std::vector<double>& samples, const std::vector<double>& weights,
                                 IRealFourierTransform& fft) {
    WindowedTransform transform;
    if (weights.empty()) {
        transform.bins = fft.Forward(samples);
        transform.windowPower = static_cast<double>(samples.size());
        transform.windowSum = static_cast<double>(samples.size());
        return transform;
    }
    std::vector<double> windowed(samples.size());
    for (std::size_t i = 0; i < samples.size(); ++i) {
        windowed[i] = samples[i] * weights[i];
        transform.windowPower += weights[i] * weights[i];
        transform.windowSum += weights[i];
    }
    transform.bins = fft.Forward(windowed);
    return transform;
}

PowerSpectrum PowerSpectrum::OfReal(const WindowedTransform& transform, std::size_t n) {
    std::vector<double> power(n, 0.0);
    const double scale = Scale(transform, n);
    for (std::size_t k = 0; k < transform.bins.size() && k < n; ++k) {
        power[k] = std::norm(transform.bins[k]) * scale;
        if (k > 0)
            power[n - k] = power[k];
    }
    return {std::move(power), true};
}

PowerSpectrum PowerSpectrum::OfComplex(const WindowedTransform& i, const WindowedTransform& q,
                                       std::size_t n) {
    std::vector<double> power(n, 0.0);
    const double scale = Scale(i, n);
    const std::complex<double> j(0.0, 1.0);
    // Z[k] = I[k] + jQ[k]; the negative frequencies from the conjugate symmetry of real transforms.
    for (std::size_t k = 0; k < i.bins.size() && k < n; ++k) {
        power[k] = std::norm(i.bins[k] + j * q.bins[k]) * scale;
        if (k > 0)
            power[n - k] = std::norm(std::conj(i.bins[k]) + j * std::conj(q.bins[k])) * scale;
    }
    return {std::move(power), false};
}

double PowerSpectrum::Frequency(double position) const {
    const double n = static_cast<double>(power_.size());
    double f = position / n;
    f -= std::floor(f);
    if (real_)
        return f > 0.5 ? 1.0 - f : f;
    return f >= 0.5 ? f - 1.0 : f;
}

double PowerSpectrum::BandPower(double low, double high) const {
    const double n = static_cast<double>(power_.size());
    const double a = low * n;
    const double b = high * n;
    double sum = 0;
    // Bin s covers s - 1/2 to s + 1/2 (in bins); the top bin of an even n is also the bottom one.
    for (auto s = static_cast<std::ptrdiff_t>(std::floor(a - 0.5));
         s <= static_cast<std::ptrdiff_t>(std::ceil(b + 0.5)); ++s) {
        const double centre = static_cast<double>(s);
        const double overlap = std::min(centre + 0.5, b) - std::max(centre - 0.5, a);
        if (overlap > 0)
            sum += overlap * At(s);
    }
    return sum;
}

} // namespace tarsion
