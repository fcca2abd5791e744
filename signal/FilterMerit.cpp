#include "signal/FilterMerit.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <complex>
#include <numbers>

namespace tarsion {

namespace {
// Response grid: 8193 frequencies from 0 to 0.5, each extreme then refined on the exact response.
constexpr std::size_t kGridTransform = 16384;
constexpr int kRefineSteps = 60;
const double kGolden = (std::sqrt(5.0) - 1.0) / 2.0;

double Db(double ratio) {
    return ratio > 0 ? std::max(20.0 * std::log10(ratio), kSilenceDb) : kSilenceDb;
}

// H(f) at one frequency in cycles per sample, by Horner's scheme.
double MagnitudeAt(const std::vector<double>& taps, double f) {
    const std::complex<double> z = std::polar(1.0, -2.0 * std::numbers::pi * f);
    std::complex<double> sum = 0;
    for (auto tap = taps.rbegin(); tap != taps.rend(); ++tap)
        sum = sum * z + *tap;
    return std::abs(sum);
}

// The magnitude response on an evenly spaced grid, the transform of the zero-padded taps.
class ResponseGrid {
public:
    ResponseGrid(const std::vector<double>& taps, IRealFourierTransform& fft)
        : taps_(taps), size_(std::max(kGridTransform, std::bit_ceil(taps.size()))) {
        std::vector<double> padded(size_, 0.0);
        std::vector<double> weighted(size_, 0.0);
        for (std::size_t n = 0; n < taps.size(); ++n) {
            padded[n] = taps[n];
            weighted[n] = static_cast<double>(n) * taps[n];
        }
        response_ = fft.Forward(padded);
        // Group delay: Re(sum n h[n] z^-n / H).
        const std::vector<std::complex<double>> moment = fft.Forward(weighted);
        delay_.resize(response_.size(), FilterMerit::kUndefined);
        magnitude_.resize(response_.size());
        for (std::size_t k = 0; k < response_.size(); ++k) {
            magnitude_[k] = std::abs(response_[k]);
            if (magnitude_[k] > 0)
                delay_[k] = (moment[k] * std::conj(response_[k])).real() / std::norm(response_[k]);
        }
    }

    double Frequency(std::size_t k) const { return static_cast<double>(k) / static_cast<double>(size_); }
    std::size_t FirstAtOrAbove(double f) const {
        return static_cast<std::size_t>(std::ceil(f * static_cast<double>(size_)));
    }
    std::size_t LastAtOrBelow(double f) const {
        return std::min(static_cast<std::size_t>(std::floor(f * static_cast<double>(size_))),
                        magnitude_.size() - 1);
    }

    // Largest (sign 1) or smallest (sign -1) |H| over [low, high]: the best grid point refined by a
    // golden-section search within one grid step, and the band's own edges.
    double Extreme(double low, double high, double sign) const {
        const auto score = [&](double f) { return sign * MagnitudeAt(taps_, f); };
        double best = std::max(score(low), score(high));
        const std::size_t first = FirstAtOrAbove(low);
        const std::size_t last = LastAtOrBelow(high);
        if (first > last)
            return sign * best;
        std::size_t at = first;
        for (std::size_t k = first; k <= last; ++k)
            if (sign * magnitude_[k] > sign * magnitude_[at])
                at = k;
        const double step = 1.0 / static_cast<double>(size_);
        double a = std::max(low, Frequency(at) - step);
        double b = std::min(high, Frequency(at) + step);
        for (int i = 0; i < kRefineSteps; ++i) {
            const double c = b - kGolden * (b - a);
            const double d = a + kGolden * (b - a);
            if (score(c) > score(d))
                b = d;
            else
                a = c;
        }
        best = std::max({best, score(a), score(Frequency(at))});
        return sign * best;
    }

    // First frequency where |H| falls below `level`, found on the grid and bisected on the exact
    // response; undefined when it never does.
    double FirstBelow(double level) const {
        for (std::size_t k = 1; k < magnitude_.size(); ++k) {
            if (magnitude_[k] >= level)
                continue;
            double a = Frequency(k - 1);
            double b = Frequency(k);
            for (int i = 0; i < kRefineSteps; ++i) {
                const double middle = (a + b) / 2;
                (MagnitudeAt(taps_, middle) >= level ? a : b) = middle;
            }
            return (a + b) / 2;
        }
        return FilterMerit::kUndefined;
    }

    // Largest minus smallest group delay over [0, high], on the grid.
    double DelayVariation(double high) const {
        double low = delay_.front();
        double top = delay_.front();
        for (std::size_t k = 0; k <= LastAtOrBelow(high); ++k) {
            if (std::isnan(delay_[k]))
                continue;
            low = std::min(low, delay_[k]);
            top = std::max(top, delay_[k]);
        }
        return top - low;
    }

    double Dc() const { return magnitude_.front(); }
    double DcDelay() const { return delay_.front(); }

private:
    const std::vector<double>& taps_;
    std::size_t size_;
    std::vector<std::complex<double>> response_;
    std::vector<double> magnitude_;
    std::vector<double> delay_;
};

// The cascade with the time reverse is the taps' autocorrelation; its lags kR (k != 0) are what
// the neighbouring symbols leak into each symbol instant.
void FillIsi(const std::vector<double>& taps, int rate, FilterMerit& merit) {
    const auto autocorrelation = [&](std::size_t lag) {
        double sum = 0;
        for (std::size_t n = 0; n + lag < taps.size(); ++n)
            sum += taps[n] * taps[n + lag];
        return sum;
    };
    const double main = autocorrelation(0);
    if (!(main > 0))
        return;
    double leak = 0;
    for (std::size_t lag = static_cast<std::size_t>(rate); lag < taps.size();
         lag += static_cast<std::size_t>(rate))
        leak += 2.0 * autocorrelation(lag) * autocorrelation(lag);
    const double ratio = std::sqrt(leak) / main;
    merit.isiEvmPercent = 100.0 * ratio;
    merit.isiEvmDb = Db(ratio);
}
} // namespace

FilterBandEdges BandEdgesFor(double rolloff, int rate) {
    const double symbolNyquist = 0.5 / std::max(rate, 1);
    return {std::clamp((1.0 - rolloff) * symbolNyquist, 0.0, 0.5),
            std::clamp((1.0 + rolloff) * symbolNyquist, 0.0, 0.5)};
}

FilterMerit FilterMeritOf(const std::vector<double>& taps, int rate, const FilterBandEdges& edges,
                          IRealFourierTransform& fft) {
    FilterMerit merit;
    if (taps.empty() || rate <= 0)
        return merit;
    FillIsi(taps, rate, merit);
    const ResponseGrid grid(taps, fft);
    const double dc = grid.Dc();
    merit.dcGainDb = Db(dc / rate);
    if (!(dc > 0))
        return merit;
    const double passband = std::clamp(edges.passband, 0.0, 0.5);
    merit.rippleDb = Db(grid.Extreme(0.0, passband, 1.0) / dc) - Db(grid.Extreme(0.0, passband, -1.0) / dc);
    if (edges.stopband <= 0.5)
        merit.stopbandDb = Db(grid.Extreme(std::max(edges.stopband, 0.0), 0.5, 1.0) / dc);
    merit.f3db = grid.FirstBelow(dc * std::pow(10.0, -3.0 / 20.0));
    merit.f6db = grid.FirstBelow(dc * std::pow(10.0, -6.0 / 20.0));
    merit.groupDelay = grid.DcDelay();
    merit.groupDelayVariation = grid.DelayVariation(passband);
    return merit;
}

FilterMerit FilterMeritOf(const CoefficientRamImage& words, const FilterGeometry& geometry,
                          const FilterBandEdges& edges, IRealFourierTransform& fft) {
    return FilterMeritOf(TapsFromTable(words, geometry), geometry.rate, edges, fft);
}

} // namespace tarsion
