#include "SignalRig.h"
#include "signal/FftwTransform.h"
#include "signal/FilterMerit.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>
#include <numeric>

namespace tarsion {
namespace {

const double kPi = std::numbers::pi;

// |sum h[n] e^(-j 2 pi f n)|, f in cycles per sample, straight from the definition.
double Magnitude(const std::vector<double>& h, double f) {
    std::complex<double> sum = 0;
    for (std::size_t n = 0; n < h.size(); ++n)
        sum += h[n] * std::polar(1.0, -2.0 * kPi * f * static_cast<double>(n));
    return std::abs(sum);
}

// Largest and smallest |H| on a dense grid over [low, high].
std::pair<double, double> DenseExtremes(const std::vector<double>& h, double low, double high) {
    constexpr int kPoints = 40001;
    double top = 0;
    double bottom = 1e300;
    for (int k = 0; k < kPoints; ++k) {
        const double m = Magnitude(h, low + (high - low) * k / (kPoints - 1));
        top = std::max(top, m);
        bottom = std::min(bottom, m);
    }
    return {top, bottom};
}

// First frequency where |H| / |H(0)| falls to `db`, by a dense scan and linear interpolation.
double DenseCrossing(const std::vector<double>& h, double db) {
    const double level = Magnitude(h, 0) * std::pow(10.0, db / 20.0);
    constexpr double kStep = 1e-5;
    for (double f = kStep; f <= 0.5; f += kStep) {
        const double before = Magnitude(h, f - kStep);
        const double after = Magnitude(h, f);
        if (after < level)
            return f - kStep + kStep * (before - level) / (before - after);
    }
    return -1;
}

// Lowpass by the window method: an ideal sinc cut off at `cutoff`, under a Hamming window.
std::vector<double> WindowedSinc(int taps, double cutoff) {
    std::vector<double> h(static_cast<std::size_t>(taps));
    for (int n = 0; n < taps; ++n) {
        const double t = n - (taps - 1) / 2.0;
        const double sinc = t == 0 ? 2 * cutoff : std::sin(2 * kPi * cutoff * t) / (kPi * t);
        h[static_cast<std::size_t>(n)] = sinc * (0.54 - 0.46 * std::cos(2 * kPi * n / (taps - 1)));
    }
    return h;
}

double Db(double ratio) {
    return 20.0 * std::log10(ratio);
}

TEST(FilterMerit, WindowedSincMeetsItsDenseResponse) {
    FftwTransform fft;
    const int rate = 4;
    std::vector<double> h = WindowedSinc(97, 0.125);
    for (double& tap : h)
        tap *= rate; // unity gain after interpolation by 4
    const FilterBandEdges edges{0.09, 0.16};
    const FilterMerit merit = FilterMeritOf(h, rate, edges, fft);

    double sum = 0;
    for (double tap : h)
        sum += tap;
    EXPECT_NEAR(merit.dcGainDb, Db(sum / rate), 1e-9);
    const double dc = Magnitude(h, 0);
    const auto [passTop, passBottom] = DenseExtremes(h, 0, edges.passband);
    EXPECT_NEAR(merit.rippleDb, Db(passTop / passBottom), 1e-4);
    const auto stop = DenseExtremes(h, edges.stopband, 0.5);
    EXPECT_NEAR(merit.stopbandDb, Db(stop.first / dc), 1e-3);
    // A Hamming-windowed sinc stops about 53 dB down: the figure is neither silence nor the passband.
    EXPECT_LT(merit.stopbandDb, -45);
    EXPECT_GT(merit.stopbandDb, -65);
    EXPECT_NEAR(merit.f3db, DenseCrossing(h, -3), 1e-6);
    EXPECT_NEAR(merit.f6db, DenseCrossing(h, -6), 1e-6);
    // Linear phase: half the length, the same over the passband.
    EXPECT_NEAR(merit.groupDelay, 48.0, 1e-9);
    EXPECT_NEAR(merit.groupDelayVariation, 0.0, 1e-6);
}

TEST(FilterMerit, BandEdgesFollowTheRollOffAndABandPastNyquistHasNoFigure) {
    const FilterBandEdges edges = BandEdgesFor(0.35, 8);
    EXPECT_DOUBLE_EQ(edges.passband, 0.65 / 16);
    EXPECT_DOUBLE_EQ(edges.stopband, 1.35 / 16);
    FftwTransform fft;
    const FilterMerit merit = FilterMeritOf(WindowedSinc(33, 0.2), 1, {0.1, 0.6}, fft);
    EXPECT_TRUE(std::isnan(merit.stopbandDb));
    EXPECT_FALSE(std::isnan(merit.rippleDb));
}

TEST(FilterMerit, GroupDelayOfAnUnevenFilterIsTheSlopeOfItsPhase) {
    FftwTransform fft;
    const std::vector<double> h = {1.0, 0.6, -0.2, 0.05};
    const FilterMerit merit = FilterMeritOf(h, 1, {0.2, 0.4}, fft);
    // -d(phase)/d(omega) at DC, by a central difference of the phase.
    const auto phase = [&](double f) {
        std::complex<double> sum = 0;
        for (std::size_t n = 0; n < h.size(); ++n)
            sum += h[n] * std::polar(1.0, -2.0 * kPi * f * static_cast<double>(n));
        return std::arg(sum);
    };
    const double df = 1e-6;
    EXPECT_NEAR(merit.groupDelay, -(phase(df) - phase(-df)) / (2 * kPi * 2 * df), 1e-6);
    EXPECT_GT(merit.groupDelayVariation, 0.05);
}

// The full cascade h * reverse(h), sampled every `rate` from its centre: rms of the others over the centre.
double CascadeIsi(const std::vector<double>& h, int rate) {
    const std::size_t n = h.size();
    std::vector<double> cascade(2 * n - 1, 0.0);
    for (std::size_t a = 0; a < n; ++a)
        for (std::size_t b = 0; b < n; ++b)
            cascade[a + b] += h[a] * h[n - 1 - b];
    double leak = 0;
    for (std::size_t m = 0; m < cascade.size(); ++m) {
        const auto offset = static_cast<long>(m) - static_cast<long>(n - 1);
        if (offset != 0 && offset % rate == 0)
            leak += cascade[m] * cascade[m];
    }
    return std::sqrt(leak) / cascade[n - 1];
}

TEST(FilterMerit, IsiOfATruncatedRootRaisedCosineIsThatOfItsCascade) {
    FftwTransform fft;
    // Four symbols either side: truncation leaves interference well above the rounding's.
    const std::vector<double> shortPulse = test::RootRaisedCosine(33, 4, 0.25);
    const FilterMerit merit = FilterMeritOf(shortPulse, 4, BandEdgesFor(0.25, 4), fft);
    const double isi = CascadeIsi(shortPulse, 4);
    EXPECT_NEAR(merit.isiEvmPercent, 100 * isi, 1e-9);
    EXPECT_NEAR(merit.isiEvmDb, Db(isi), 1e-9);
    EXPECT_GT(merit.isiEvmPercent, 0.2);
    // The pulse is about 3 dB down at half the symbol rate.
    EXPECT_NEAR(merit.f3db, 0.125, 0.005);
    // A long pulse interferes far less.
    const FilterMerit longer = FilterMeritOf(test::RootRaisedCosine(257, 4, 0.25), 4, {}, fft);
    EXPECT_LT(longer.isiEvmPercent, merit.isiEvmPercent / 4);
}

class QuantizedFilterMerit : public test::SignalRig {};

TEST_F(QuantizedFilterMerit, TheRamsFiguresAreThoseOfTheRoundedTapsAndTheFilesThoseOfItsOwn) {
    const std::vector<double> file = test::RootRaisedCosine(96, 4, 0.35);
    test::WriteText(folder / "rrc.coe", test::CoefficientText(file));
    ASSERT_TRUE(rig.ops.LoadCoefficientRam(0, "rrc.coe", true, 1.0, false, 0, false, false)) << rig.log.text;
    const auto& loaded = rig.doc.loaded.Coefficients(0);
    ASSERT_TRUE(loaded.has_value());
    const double gain = rig.doc.coefficientI.scale;
    std::vector<double> rounded(file.size());
    std::vector<double> scaled(file.size());
    for (std::size_t n = 0; n < file.size(); ++n) {
        scaled[n] = file[n] * gain;
        rounded[n] = test::FieldOf(scaled[n]) / 131072.0;
    }
    FftwTransform fft;
    const FilterBandEdges edges = BandEdgesFor(0.35, 4);
    const FilterMerit ram = FilterMeritOf(loaded->words, loaded->geometry, edges, fft);
    const FilterMerit ideal = FilterMeritOf(loaded->idealTaps, 4, edges, fft);
    EXPECT_NEAR(ram.isiEvmPercent, 100 * CascadeIsi(rounded, 4), 1e-9);
    EXPECT_NEAR(ideal.isiEvmPercent, 100 * CascadeIsi(scaled, 4), 1e-9);
    EXPECT_NEAR(ram.dcGainDb, Db(std::abs(std::accumulate(rounded.begin(), rounded.end(), 0.0)) / 4), 1e-9);
    EXPECT_NEAR(ram.stopbandDb, Db(DenseExtremes(rounded, edges.stopband, 0.5).first / Magnitude(rounded, 0)),
                1e-3);
    // Rounding to 17 fractional bits shows in the stop band, not in the passband.
    EXPECT_NE(ram.stopbandDb, ideal.stopbandDb);
    EXPECT_NEAR(ram.rippleDb, ideal.rippleDb, 0.01);
}

TEST(FilterMerit, AFilterThatPassesNothingHasNoFiguresButItsGain) {
    FftwTransform fft;
    const FilterMerit merit = FilterMeritOf(std::vector<double>(96, 0.0), 4, BandEdgesFor(0.35, 4), fft);
    EXPECT_EQ(merit.dcGainDb, kSilenceDb);
    for (double figure : {merit.rippleDb, merit.stopbandDb, merit.f3db, merit.f6db, merit.groupDelay,
                          merit.isiEvmPercent, merit.isiEvmDb})
        EXPECT_TRUE(std::isnan(figure));
    // A highpass has no DC gain to refer to either, but its interference is defined.
    const FilterMerit highpass = FilterMeritOf({1.0, -1.0}, 1, {0.1, 0.3}, fft);
    EXPECT_TRUE(std::isnan(highpass.stopbandDb));
    EXPECT_NEAR(highpass.isiEvmPercent, 100 * std::sqrt(2.0) / 2.0, 1e-12);
}

} // namespace
} // namespace tarsion
