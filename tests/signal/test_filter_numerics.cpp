#include "SignalRig.h"
#include "signal/SignalAnalysis.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>
#include <random>

namespace tarsion {
namespace {

struct FilterCase {
    int selector;
    int rate;
    int taps; // N of the geometry
    bool twoBitMode;
    bool symmetric;
};

// Tap positions 0..N-1 of the file as the load reads them: mirrored when symmetric, zero-padded.
std::vector<double> Positions(const std::vector<double>& listed, bool symmetric, int taps) {
    std::vector<double> positions = listed;
    if (symmetric)
        positions.insert(positions.end(), listed.rbegin(), listed.rend());
    positions.resize(static_cast<std::size_t>(taps), 0.0);
    return positions;
}

// Sum of h[n] e^(-j 2 pi f n / R), f in multiples of the symbol rate, straight from the definition.
std::complex<double> Response(const std::vector<double>& h, double f, int rate) {
    std::complex<double> sum = 0;
    for (std::size_t n = 0; n < h.size(); ++n)
        sum += h[n] * std::polar(1.0, -2.0 * std::numbers::pi * f * static_cast<double>(n) / rate);
    return sum;
}

class FilterNumerics : public test::SignalRig, public ::testing::WithParamInterface<FilterCase> {};

TEST_P(FilterNumerics, TapsOfTheLoadedTableAreTheFileTapsTimesTheGainRounded) {
    const FilterCase c = GetParam();
    const int n = c.twoBitMode ? c.taps / 2 : c.taps;
    // A symmetric file lists the first half of the filter, centre included.
    std::vector<double> listed = test::RootRaisedCosine(n, c.rate, 0.35);
    if (c.symmetric)
        listed.resize(static_cast<std::size_t>(n / 2));
    test::WriteText(folder / "rrc.coe", test::CoefficientText(listed));
    ASSERT_TRUE(rig.ops.LoadCoefficientRam(0, "rrc.coe", true, 1.0, false,
                                           static_cast<std::int16_t>(c.selector), c.twoBitMode, c.symmetric))
        << rig.log.text << (rig.prompt.messages.empty() ? "" : rig.prompt.messages.back());
    const double gain = rig.doc.coefficientI.scale;
    const std::vector<double> file = Positions(listed, c.symmetric, n);

    const auto& loaded = rig.doc.loaded.Coefficients(0);
    ASSERT_TRUE(loaded.has_value());
    CoefficientRamImage board;
    for (int address = 0; address < kCoefficientWords; ++address)
        board[address] = rig.board.CoefficientRam(0, static_cast<std::uint8_t>(address));
    EXPECT_EQ(board, loaded->words);

    const std::vector<double> taps = TapsFromTable(board, loaded->geometry);
    ASSERT_EQ(taps.size(), file.size());
    // A gain that rounds every tap to a few steps of 2^-17 would make the comparison say little.
    EXPECT_GT(*std::max_element(taps.begin(), taps.end()), 1e-3);
    for (int i = 0; i < n; ++i) {
        EXPECT_EQ(taps[i], test::FieldOf(file[i] * gain) / 131072.0) << "tap " << i;
        EXPECT_DOUBLE_EQ(loaded->idealTaps[i], file[i] * gain) << "tap " << i;
    }

    // The ideal response at DC is the sum of the taps times the gain; the quantized one differs
    // from the ideal by at most half a step of 2^-17 per tap at any frequency.
    constexpr int kPoints = 257;
    const auto ideal = FrequencyResponse(loaded->idealTaps, c.rate, kPoints);
    const auto quantized = FrequencyResponse(taps, c.rate, kPoints);
    double sum = 0;
    for (double tap : file)
        sum += tap * gain;
    EXPECT_NEAR(ideal[0].real(), sum, 1e-12);
    EXPECT_NEAR(ideal[0].imag(), 0.0, 1e-12);
    const double bound = n * 0.5 / 131072.0;
    for (int k = 0; k < kPoints; k += 16) {
        const double f = k * (c.rate / 2.0) / (kPoints - 1);
        EXPECT_NEAR(std::abs(ideal[k] - Response(file, f, c.rate) * gain), 0.0, 1e-9) << "f " << f;
        EXPECT_LE(std::abs(quantized[k] - ideal[k]), bound) << "f " << f;
    }
    const FilterFigures figures = FilterFiguresOf(quantized, ideal, c.rate);
    EXPECT_NEAR(figures.idealDcGain, rig.doc.coefficientI.dcGain, 1e-12);
    EXPECT_LE(figures.largestDifference, bound / c.rate);
    // A root-raised-cosine filter with roll-off 0.35 has stopped well before twice its edge.
    EXPECT_LT(figures.stopBandDb, -20.0);
}

INSTANTIATE_TEST_SUITE_P(
    RootRaisedCosine, FilterNumerics,
    ::testing::Values(FilterCase{0, 4, 96, false, false}, FilterCase{1, 8, 160, false, false},
                      FilterCase{2, 16, 256, false, false}, FilterCase{0, 4, 96, false, true},
                      FilterCase{2, 16, 256, false, true}, FilterCase{0, 4, 96, true, false},
                      FilterCase{1, 8, 160, true, true}, FilterCase{2, 16, 256, true, false}),
    [](const ::testing::TestParamInfo<FilterCase>& param) {
        return "Rate" + std::to_string(param.param.rate) + (param.param.twoBitMode ? "TwoBit" : "") +
               (param.param.symmetric ? "Symmetric" : "");
    });

TEST(MinMaxColumns, EverySampleLandsInOneColumn) {
    std::mt19937 random(7);
    std::uniform_real_distribution<double> value(-1.0, 1.0);
    std::vector<double> samples(1003);
    for (double& sample : samples)
        sample = value(random);
    const std::size_t first = 17;
    const std::size_t last = 990;
    const std::size_t columns = 100;
    const auto ranges = MinMaxColumns(samples, first, last, columns);
    ASSERT_EQ(ranges.size(), columns);
    double low = 2;
    double high = -2;
    for (const ColumnRange& range : ranges) {
        low = std::min(low, range.min);
        high = std::max(high, range.max);
    }
    EXPECT_EQ(low, *std::min_element(samples.begin() + first, samples.begin() + last));
    EXPECT_EQ(high, *std::max_element(samples.begin() + first, samples.begin() + last));
    // Column c covers samples [first + c*973/100, first + (c+1)*973/100).
    const auto column = [&](std::size_t c) {
        return std::minmax_element(samples.begin() + static_cast<std::ptrdiff_t>(first + c * 973 / 100),
                                   samples.begin() +
                                       static_cast<std::ptrdiff_t>(first + (c + 1) * 973 / 100));
    };
    for (std::size_t c : {0u, 42u, 99u}) {
        EXPECT_EQ(ranges[c].min, *column(c).first);
        EXPECT_EQ(ranges[c].max, *column(c).second);
    }
    // Fewer samples than columns: one column per sample.
    EXPECT_EQ(MinMaxColumns(samples, 0, 5, 100).size(), 5u);
    EXPECT_TRUE(MinMaxColumns(samples, 10, 10, 100).empty());
}

} // namespace
} // namespace tarsion
