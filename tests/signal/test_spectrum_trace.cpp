#include "signal/FftwTransform.h"
#include "signal/SpectrumTrace.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <numbers>

namespace tarsion {
namespace {

constexpr std::size_t kN = 256;

std::vector<double> Cosine(double amplitude, double cycles, double phase = 0.0) {
    std::vector<double> x(kN);
    for (std::size_t n = 0; n < kN; ++n)
        x[n] = amplitude * std::cos(2.0 * std::numbers::pi * cycles * static_cast<double>(n) / kN + phase);
    return x;
}

std::vector<double> Plus(std::vector<double> a, const std::vector<double>& b) {
    for (std::size_t n = 0; n < a.size(); ++n)
        a[n] += b[n];
    return a;
}

double Db(double amplitude) {
    return 20.0 * std::log10(amplitude);
}

// A tone on a bin centre reads its amplitude at its bin under either window, and so does DC; the sum
// of the weights is what a constant 1 gives.
TEST(SpectrumTrace, RealToneOnABinReadsItsAmplitude) {
    FftwTransform fft;
    const std::vector<double> x =
        Plus(Plus(Cosine(0.5, 20), Cosine(0.01, 77, 1.0)), std::vector<double>(kN, -0.25));
    for (const SpectrumWindow window : {SpectrumWindow::None, SpectrumWindow::BlackmanHarris7}) {
        const std::vector<double> weights = WindowWeights(window, kN);
        double sum = 0;
        for (std::size_t n = 0; n < kN; ++n)
            sum += weights.empty() ? 1.0 : weights[n];
        EXPECT_NEAR(WindowSum(weights, kN), sum, 1e-9);
        const SpectrumTrace trace = RealTrace(TransformUnder(x, weights, fft), WindowSum(weights, kN), kN);
        ASSERT_EQ(trace.dbfs.size(), kN / 2 + 1);
        EXPECT_DOUBLE_EQ(trace.frequency.front(), 0.0);
        EXPECT_DOUBLE_EQ(trace.frequency.back(), 0.5);
        EXPECT_NEAR(trace.dbfs[20], Db(0.5), 1e-9) << WindowName(window);
        EXPECT_NEAR(trace.dbfs[77], Db(0.01), 1e-9) << WindowName(window);
        EXPECT_NEAR(trace.dbfs[0], Db(0.25), 1e-9) << WindowName(window);
        EXPECT_DOUBLE_EQ(trace.frequency[20], 20.0 / kN);
    }
    // At n/2 a cosine is not split between two frequencies.
    std::vector<double> nyquist(kN);
    for (std::size_t n = 0; n < kN; ++n)
        nyquist[n] = n % 2 == 0 ? 0.3 : -0.3;
    EXPECT_NEAR(RealTrace(TransformUnder(nyquist, {}, fft), kN, kN).dbfs.back(), Db(0.3), 1e-9);
}

// I + jQ runs from -0.5 to 0.5: a tone turning backwards stands at its negative frequency only.
TEST(SpectrumTrace, ComplexToneStandsAtItsSignedFrequency) {
    FftwTransform fft;
    const std::vector<double> i = Cosine(0.7, 30);
    const std::vector<double> q = Cosine(0.7, 30, std::numbers::pi / 2); // -sin: e^-jwt
    const std::vector<double> weights = WindowWeights(SpectrumWindow::BlackmanHarris7, kN);
    const SpectrumTrace trace = ComplexTrace(TransformUnder(i, weights, fft), TransformUnder(q, weights, fft),
                                             WindowSum(weights, kN), kN);
    ASSERT_EQ(trace.dbfs.size(), kN);
    EXPECT_DOUBLE_EQ(trace.frequency.front(), -0.5);
    EXPECT_DOUBLE_EQ(trace.frequency.back(), 0.5 - 1.0 / kN);
    const std::size_t negative = NearestPoint(trace, -30.0 / kN);
    const std::size_t positive = NearestPoint(trace, 30.0 / kN);
    EXPECT_DOUBLE_EQ(trace.frequency[negative], -30.0 / kN);
    EXPECT_NEAR(trace.dbfs[negative], Db(0.7), 1e-9);
    EXPECT_LT(trace.dbfs[positive], -150.0);
    EXPECT_EQ(*HighestPeak(trace), negative);
}

SpectrumTrace Trace(std::vector<double> dbfs) {
    SpectrumTrace trace;
    for (std::size_t k = 0; k < dbfs.size(); ++k)
        trace.frequency.push_back(static_cast<double>(k) / 20.0);
    trace.dbfs = std::move(dbfs);
    return trace;
}

// The searches behind the markers: nearest point, a click's neighbourhood, the highest peak, and
// the peaks in turn from the highest down, two equal ones both visited.
TEST(SpectrumTrace, MarkerSearches) {
    //                               0    1    2    3    4    5    6    7    8    9
    const SpectrumTrace trace = Trace({-90, -20, -80, -60, -85, -20, -97, -75, -95, -93});
    EXPECT_EQ(NearestPoint(trace, -1.0), 0u);
    EXPECT_EQ(NearestPoint(trace, 0.124), 2u);
    EXPECT_EQ(NearestPoint(trace, 0.126), 3u);
    EXPECT_EQ(NearestPoint(trace, 9.0), 9u);
    EXPECT_EQ(HighestNear(trace, 3, 1), 3u);
    EXPECT_EQ(HighestNear(trace, 3, 2), 1u);
    EXPECT_EQ(HighestNear(trace, 9, 2), 7u);
    EXPECT_EQ(HighestNear(trace, 0, 0), 0u);
    EXPECT_EQ(HighestPeak(trace), 1u);
    std::vector<std::size_t> visited;
    for (std::optional<std::size_t> k = HighestPeak(trace); k; k = NextPeak(trace, *k))
        visited.push_back(*k);
    EXPECT_EQ(visited, (std::vector<std::size_t>{1, 5, 3, 7, 9}));
    // From a point that is no peak, the next peak below its level.
    EXPECT_EQ(NextPeak(trace, 4), 9u);
    EXPECT_FALSE(HighestPeak(SpectrumTrace{}));
}

} // namespace
} // namespace tarsion
