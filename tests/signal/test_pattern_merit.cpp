#include "signal/FftwTransform.h"
#include "signal/PatternMerit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>

namespace tarsion {
namespace {

const double kPi = std::numbers::pi;

// Memory samples: fractions of full scale rounded to 16 bits.
std::int32_t Word(double fraction) {
    return static_cast<std::int32_t>(std::lround(std::clamp(fraction, -1.0, 32767.0 / 32768.0) * 32768.0));
}

std::vector<SamplePair> Pairs(const std::vector<double>& i, const std::vector<double>& q) {
    std::vector<SamplePair> pairs(i.size());
    for (std::size_t n = 0; n < i.size(); ++n)
        pairs[n] = {Word(i[n]), Word(q[n])};
    return pairs;
}

struct Tone {
    double cycles; // over the whole record
    double amplitude;
    double phase = 0;
};

std::vector<double> Tones(std::size_t n, const std::vector<Tone>& tones) {
    std::vector<double> x(n, 0.0);
    for (std::size_t k = 0; k < n; ++k)
        for (const Tone& t : tones)
            x[k] += t.amplitude * std::cos(2 * kPi * t.cycles * static_cast<double>(k) / n + t.phase);
    return x;
}

double Db(double ratio) {
    return 20.0 * std::log10(ratio);
}

// A full-scale tone completing whole cycles, rounded to b bits: its noise is the rounding alone,
// (A^2 / 2) / (1/12) in steps of the word, 6.02 b + 1.76 dB at full scale.
TEST(PatternMerit, ACoherentTonesSnrIsTheQuantizationLimitOfItsWordWidth) {
    FftwTransform fft;
    constexpr std::size_t kN = 16384;
    constexpr double kCycles = 1001; // odd: every phase of the record is a different one
    for (int bits : {8, 12, 16}) {
        const double steps = std::ldexp(1.0, bits - 1);
        const double amplitude = steps - 1; // in steps of the word, clear of clipping
        std::vector<SamplePair> pairs(kN);
        for (std::size_t k = 0; k < kN; ++k) {
            const double value = std::round(amplitude * std::sin(2 * kPi * kCycles * k / kN));
            pairs[k].i = static_cast<std::int32_t>(value * std::ldexp(1.0, 16 - bits));
        }
        const PatternMerit merit = PatternMeritOf(pairs, PatternChannel::I, {}, fft);
        const double limit = 6.02 * bits + 1.76 + Db(amplitude / steps);
        SCOPED_TRACE(bits);
        EXPECT_EQ(merit.window, SpectrumWindow::None);
        EXPECT_STREQ(WindowName(merit.window), "none");
        EXPECT_DOUBLE_EQ(merit.fundamentalFrequency, kCycles / kN);
        EXPECT_NEAR(merit.fundamentalDbfs, Db(amplitude / steps), 1e-3);
        EXPECT_NEAR(merit.snrDb, 10 * std::log10(amplitude * amplitude / 2 * 12), 0.15);
        EXPECT_NEAR(merit.snrDb, limit, 0.15);
        EXPECT_LE(merit.sinadDb, merit.snrDb);
        EXPECT_NEAR(merit.enob, bits, 0.05);
    }
    // Half scale: 6 dB less signal over the same rounding, still 12 bits at full scale.
    std::vector<SamplePair> half(kN);
    for (std::size_t k = 0; k < kN; ++k)
        half[k].q = static_cast<std::int32_t>(std::round(1023.0 * std::sin(2 * kPi * kCycles * k / kN)) * 16);
    const PatternMerit merit = PatternMeritOf(half, PatternChannel::Q, {}, fft);
    EXPECT_NEAR(merit.fundamentalDbfs, Db(1023.0 / 2048), 1e-3);
    EXPECT_NEAR(merit.snrDb, 6.02 * 12 + 1.76 + Db(1023.0 / 2048), 0.15);
    EXPECT_NEAR(merit.enob, 12, 0.05);
}

TEST(PatternMerit, TwoTonesGiveTheirPeaksAndTheSpuriousFreeRange) {
    FftwTransform fft;
    constexpr std::size_t kN = 16384;
    const std::vector<Tone> tones = {{1200.37, 0.5}, {3000.81, 0.01, 1.0}, {6001.5, 0.001, 2.0}};
    PatternMeritOptions options;
    options.peaks = 3;
    options.sampleRateHz = 2e6;
    const PatternMerit merit = PatternMeritOf(Pairs(Tones(kN, tones), std::vector<double>(kN, 0.0)),
                                              PatternChannel::I, options, fft);
    // Between bins: the tones leak, so a window is needed.
    EXPECT_EQ(merit.window, SpectrumWindow::BlackmanHarris7);
    EXPECT_STREQ(WindowName(merit.window), "Blackman-Harris 7-term");
    ASSERT_EQ(merit.peaks.size(), 3u);
    for (std::size_t p = 0; p < tones.size(); ++p) {
        SCOPED_TRACE(p);
        EXPECT_NEAR(merit.peaks[p].frequency, tones[p].cycles / kN, 0.02 / kN);
        ASSERT_TRUE(merit.peaks[p].frequencyHz.has_value());
        EXPECT_NEAR(*merit.peaks[p].frequencyHz, merit.peaks[p].frequency * 2e6, 1e-6);
        EXPECT_NEAR(merit.peaks[p].dbfs, Db(tones[p].amplitude), 0.01);
    }
    EXPECT_NEAR(merit.sfdrDb, Db(0.5 / 0.01), 0.01);
    EXPECT_NEAR(merit.fundamentalDbfs, Db(0.5), 0.01);
}

TEST(PatternMerit, HarmonicsAliasedBackIntoTheBandAreDistortion) {
    FftwTransform fft;
    constexpr std::size_t kN = 16384;
    // 0.3 of the sample rate: the 2nd harmonic folds to 0.4, the 3rd to 0.1, the 5th to 0.5.
    const double cycles = 4915;
    const std::vector<Tone> tones = {
        {cycles, 0.5}, {2 * cycles, 0.005, 0.3}, {3 * cycles, 0.002, 1.1}, {2500, 0.004, 0.2}};
    const PatternMerit merit =
        PatternMeritOf(Pairs(Tones(kN, tones), std::vector<double>(kN, 0.0)), PatternChannel::I, {}, fft);
    EXPECT_EQ(merit.window, SpectrumWindow::None);
    // A tone that is no harmonic is not distortion, but it is the largest spur.
    EXPECT_NEAR(merit.thdDb, 10 * std::log10((0.005 * 0.005 + 0.002 * 0.002) / (0.5 * 0.5)), 0.01);
    EXPECT_NEAR(merit.sfdrDb, Db(0.5 / 0.005), 0.01);
    EXPECT_NEAR(merit.snrDb, Db(0.5 / 0.004), 0.05);
    EXPECT_NEAR(merit.sinadDb, 10 * std::log10(0.25 / (0.005 * 0.005 + 0.002 * 0.002 + 0.004 * 0.004)), 0.05);

    // The same tone between bins, under the window.
    std::vector<Tone> between = tones;
    for (Tone& t : between)
        t.cycles *= 1.0001;
    const PatternMerit windowed =
        PatternMeritOf(Pairs(Tones(kN, between), std::vector<double>(kN, 0.0)), PatternChannel::I, {}, fft);
    EXPECT_EQ(windowed.window, SpectrumWindow::BlackmanHarris7);
    EXPECT_NEAR(windowed.thdDb, merit.thdDb, 0.02);
    EXPECT_NEAR(windowed.sfdrDb, merit.sfdrDb, 0.02);
    // The whole lobe is the tone's: none of it counts as noise.
    EXPECT_NEAR(windowed.snrDb, merit.snrDb, 0.05);
}

TEST(PatternMerit, IPlusJQSeparatesPositiveFromNegativeFrequencies) {
    FftwTransform fft;
    constexpr std::size_t kN = 8192;
    // A complex tone at -0.1 and a weaker one, its image, at +0.1.
    const double cycles = 819.3;
    std::vector<double> i = Tones(kN, {{cycles, 0.7}, {cycles, 0.007}});
    std::vector<double> q = Tones(kN, {{cycles, -0.7, -kPi / 2}, {cycles, 0.007, -kPi / 2}});
    PatternMeritOptions options;
    options.peaks = 2;
    const PatternMerit merit = PatternMeritOf(Pairs(i, q), PatternChannel::IQ, options, fft);
    ASSERT_EQ(merit.peaks.size(), 2u);
    EXPECT_NEAR(merit.peaks[0].frequency, -cycles / kN, 0.02 / kN);
    EXPECT_NEAR(merit.peaks[0].dbfs, Db(0.7), 0.01);
    EXPECT_NEAR(merit.peaks[1].frequency, cycles / kN, 0.02 / kN);
    EXPECT_NEAR(merit.peaks[1].dbfs, Db(0.007), 0.01);
    EXPECT_NEAR(merit.sfdrDb, 40.0, 0.01);
    // Each channel alone sees one real tone of the sum's amplitude.
    const PatternMeritSet set = PatternMeritsOf(Pairs(i, q), options, fft);
    EXPECT_NEAR(set.i.fundamentalDbfs, Db(0.707), 0.01);
    EXPECT_NEAR(set.q.fundamentalDbfs, Db(0.693), 0.01);
    EXPECT_NEAR(set.iq.sfdrDb, merit.sfdrDb, 1e-12);
}

// A lowpass by the window method, cut off at `cutoff` cycles per sample.
std::vector<double> Lowpass(int taps, double cutoff) {
    std::vector<double> h(static_cast<std::size_t>(taps));
    for (int n = 0; n < taps; ++n) {
        const double t = n - (taps - 1) / 2.0;
        const double sinc = t == 0 ? 2 * cutoff : std::sin(2 * kPi * cutoff * t) / (kPi * t);
        h[static_cast<std::size_t>(n)] = sinc * (0.42 - 0.5 * std::cos(2 * kPi * n / (taps - 1)) +
                                                 0.08 * std::cos(4 * kPi * n / (taps - 1)));
    }
    return h;
}

std::vector<double> Filtered(const std::vector<double>& x, const std::vector<double>& h) {
    std::vector<double> y(x.size(), 0.0);
    for (std::size_t n = 0; n < x.size(); ++n)
        for (std::size_t k = 0; k < h.size() && k <= n; ++k)
            y[n] += h[k] * x[n - k];
    return y;
}

// sum |x w|^2 / sum w^2 with the 7-term Blackman-Harris window: the power a windowed spectrum shows.
double WindowedPower(const std::vector<double>& re, const std::vector<double>& im) {
    constexpr double a[] = {0.27105140069342, 0.43329793923448, 0.21812299954311, 0.06592544638803,
                            0.01081174209837, 0.00077658482522, 0.00001388721735};
    double sum = 0;
    double weight = 0;
    for (std::size_t n = 0; n < re.size(); ++n) {
        double w = 0;
        for (int k = 0; k < 7; ++k)
            w += (k % 2 ? -a[k] : a[k]) * std::cos(2 * kPi * k * n / re.size());
        sum += w * w * (re[n] * re[n] + im[n] * im[n]);
        weight += w * w;
    }
    return sum / weight;
}

// sum of w^2 of the 7-term Blackman-Harris window over n samples: a0^2 + (a1^2 + ... + a6^2) / 2 each.
double WindowedPowerSum(std::size_t n) {
    constexpr double a[] = {0.27105140069342, 0.43329793923448, 0.21812299954311, 0.06592544638803,
                            0.01081174209837, 0.00077658482522, 0.00001388721735};
    double sum = a[0] * a[0];
    for (int k = 1; k < 7; ++k)
        sum += a[k] * a[k] / 2;
    return sum * static_cast<double>(n);
}

TEST(PatternMerit, ATransformUnderTheWindowKnowsItsSums) {
    FftwTransform fft;
    constexpr std::size_t kN = 1000;
    const std::vector<double> tone = Tones(kN, {{37, 0.5}});
    const WindowedTransform plain = TransformUnder(tone, WindowWeights(SpectrumWindow::None, kN), fft);
    EXPECT_EQ(plain.windowSum, 1000.0);
    EXPECT_EQ(plain.windowPower, 1000.0);
    const WindowedTransform windowed =
        TransformUnder(tone, WindowWeights(SpectrumWindow::BlackmanHarris7, kN), fft);
    // The cosine terms of a periodic window sum to nothing over whole periods: only a0 is left.
    EXPECT_NEAR(windowed.windowSum, 0.27105140069342 * kN, 1e-9);
    EXPECT_NEAR(windowed.windowPower, WindowedPowerSum(kN), 1e-9);
    // On its bin centre a tone reads A / 2 times the coherent sum.
    EXPECT_NEAR(std::abs(windowed.bins[37]), 0.25 * windowed.windowSum, 1e-9);
}

TEST(PatternMerit, ChannelPowerOfBandLimitedNoiseAndItsNeighbours) {
    FftwTransform fft;
    constexpr std::size_t kN = 32768;
    std::mt19937 random(27);
    std::normal_distribution<double> gauss(0.0, 0.1);
    const auto noise = [&] {
        std::vector<double> x(kN + 200);
        for (double& v : x)
            v = gauss(random);
        std::vector<double> y = Filtered(x, Lowpass(201, 0.06));
        return std::vector<double>(y.begin() + 200, y.end());
    };
    // The channel: complex noise within +-0.08; a neighbour 20 dB weaker moved up by 0.25.
    const std::vector<double> ai = noise();
    const std::vector<double> aq = noise();
    std::vector<double> bi = noise();
    std::vector<double> bq = noise();
    for (std::size_t n = 0; n < kN; ++n) {
        const std::complex<double> b =
            0.1 * std::complex<double>(bi[n], bq[n]) * std::polar(1.0, 2 * kPi * 0.25 * n);
        bi[n] = b.real();
        bq[n] = b.imag();
    }
    std::vector<double> i(kN);
    std::vector<double> q(kN);
    for (std::size_t n = 0; n < kN; ++n) {
        i[n] = ai[n] + bi[n];
        q[n] = aq[n] + bq[n];
    }
    PatternMeritOptions options;
    options.channelWidth = 0.2;
    options.channelOffsets = {0.25, -0.25};
    const std::vector<SamplePair> pairs = Pairs(i, q);
    const PatternMeritSet set = PatternMeritsOf(pairs, options, fft);
    EXPECT_EQ(set.iq.window, SpectrumWindow::BlackmanHarris7);
    const std::vector<double> none(kN, 0.0);
    const double channel = WindowedPower(ai, aq);
    ASSERT_TRUE(set.iq.channelPowerDbfs.has_value());
    EXPECT_NEAR(*set.iq.channelPowerDbfs, 10 * std::log10(channel), 0.01);
    ASSERT_EQ(set.iq.aclrDb.size(), 2u);
    EXPECT_NEAR(set.iq.aclrDb[0], 10 * std::log10(WindowedPower(bi, bq) / channel), 0.01);
    // Nothing was sent at -0.25 but the rounding's noise.
    EXPECT_LT(set.iq.aclrDb[1], -60);

    // I alone: the real parts, in |f|; both offsets reach the same neighbour. Full scale of a real
    // channel is a sine's power, 1/2.
    const double realChannel = WindowedPower(ai, none);
    ASSERT_TRUE(set.i.channelPowerDbfs.has_value());
    EXPECT_NEAR(*set.i.channelPowerDbfs, 10 * std::log10(realChannel / 0.5), 0.01);
    ASSERT_EQ(set.i.aclrDb.size(), 2u);
    EXPECT_NEAR(set.i.aclrDb[0], 10 * std::log10(WindowedPower(bi, none) / realChannel), 0.01);
    EXPECT_DOUBLE_EQ(set.i.aclrDb[1], set.i.aclrDb[0]);

    // Without offsets, one channel width either side.
    options.channelOffsets.clear();
    options.channelWidth = 0.16;
    const PatternMerit defaults = PatternMeritOf(pairs, PatternChannel::IQ, options, fft);
    EXPECT_EQ(defaults.aclrDb.size(), 2u);
    EXPECT_LT(defaults.aclrDb[0], -40);
    EXPECT_GT(defaults.aclrDb[1], -30);
}

TEST(PatternMerit, WordsWrittenOverALoadCarryTheirSamplesInTheirLow16Bits) {
    LoadedPattern pattern;
    pattern.pairs = {{1, 2}, {3, 4}};
    const std::uint32_t start = kPatternMemoryWords - 4;
    // Q of pair 0 with other marker bits, I of pair 1, and a word below the pattern.
    pattern.writtenWords = {{start + 1, 0x2FFFF}, {start + 2, 0x10005}, {start - 1, 0x7}};
    const std::vector<SamplePair> pairs = PairsAsWritten(pattern);
    ASSERT_EQ(pairs.size(), 2u);
    EXPECT_EQ(pairs[0].i, 1);
    EXPECT_EQ(pairs[0].q, 0xFFFF);
    EXPECT_EQ(pairs[1].i, 5);
    EXPECT_EQ(pairs[1].q, 4);
}

TEST(PatternMerit, PatternsWithoutATone) {
    FftwTransform fft;
    const PatternMerit empty = PatternMeritOf({}, PatternChannel::IQ, {}, fft);
    EXPECT_TRUE(empty.peaks.empty());
    EXPECT_TRUE(std::isnan(empty.snrDb));
    // Half scale DC: a line on bin 0 that needs no window; DC of full scale is a sine's power twice.
    const std::vector<SamplePair> dc(4096, SamplePair{16384, 0});
    const PatternMerit flat = PatternMeritOf(dc, PatternChannel::I, {}, fft);
    EXPECT_EQ(flat.window, SpectrumWindow::None);
    ASSERT_FALSE(flat.peaks.empty());
    EXPECT_EQ(flat.peaks[0].frequency, 0.0);
    EXPECT_NEAR(flat.peaks[0].dbfs, Db(0.5) + 10 * std::log10(2.0), 1e-9);
    for (double figure : {flat.fundamentalFrequency, flat.sfdrDb, flat.snrDb, flat.thdDb, flat.enob})
        EXPECT_TRUE(std::isnan(figure));
    const PatternMerit silent = PatternMeritOf(std::vector<SamplePair>(64), PatternChannel::Q, {}, fft);
    EXPECT_TRUE(silent.peaks.empty());
    EXPECT_TRUE(std::isnan(silent.sinadDb));
}

} // namespace
} // namespace tarsion
