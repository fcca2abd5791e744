#pragma once

#include "ops/CoefficientRam.h"
#include "ops/DocumentSettings.h"
#include "ops/PatternMemory.h"

#include <complex>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace tarsion {

class RegisterShadow;

// Numerics behind the signal views: what the coefficient tables and the pattern memory stand for.

// Field k (1..4) of a coefficient word as the signed 18-bit number it holds.
std::int32_t FieldValue(const CoefficientWord& word, int field);

// The taps a distributed-arithmetic table holds, as real numbers (field / 2^17). Each tap stands
// alone in its field at the address whose input pattern has exactly that tap's bit set.
std::vector<double> TapsFromTable(const CoefficientRamImage& words, const FilterGeometry& geometry);

// H(f) = sum of h[n] e^(-j 2 pi f n / R) at `points` frequencies evenly spaced from 0 to R/2, f in
// multiples of the symbol rate (the taps run at R times the symbol rate).
std::vector<std::complex<double>> FrequencyResponse(const std::vector<double>& taps, int rate, int points);
// Frequency of response point `index`, in multiples of the symbol rate.
double ResponseFrequency(int index, int rate, int points);
// 20 log10(|h| / divisor) for each point, with silence shown as kSilenceDb.
std::vector<double> MagnitudeDb(const std::vector<std::complex<double>>& response, double divisor);
inline constexpr double kSilenceDb = -200.0;

struct FilterFigures {
    double dcGain = 0; // H(0) / R, as the Filter page shows it
    double idealDcGain = 0;
    double stopBandDb = kSilenceDb; // worst level at or beyond the symbol rate, relative to DC
    double largestDifference = 0;   // largest |Hq - Hi| / R over the band
};
FilterFigures FilterFiguresOf(const std::vector<std::complex<double>>& quantized,
                              const std::vector<std::complex<double>>& ideal, int rate);

// Smallest and largest sample of one pixel column.
struct ColumnRange {
    double min = 0;
    double max = 0;
};
// Min and max of samples [first, last) in `columns` equal slices; fewer when there are fewer samples.
std::vector<ColumnRange> MinMaxColumns(const std::vector<double>& samples, std::size_t first,
                                       std::size_t last, std::size_t columns);

// Bins 0..n/2 of the discrete Fourier transform of n real values.
class IRealFourierTransform {
public:
    virtual ~IRealFourierTransform() = default;
    virtual std::vector<std::complex<double>> Forward(const std::vector<double>& input) = 0;
};

// Single-sided amplitude spectrum under a periodic Hann window, in dB relative to full scale: a
// whole number k of cycles of amplitude A over the n samples reads 20 log10(A) at bin k.
std::vector<double> AmplitudeSpectrumDbfs(const std::vector<double>& samples, IRealFourierTransform& fft);

// A sample of the pattern memory as a fraction of full scale (its low 16 bits, two's complement).
double SampleFraction(std::int32_t sample);

// The pattern view's data: both channels against sample number and their spectra.
struct PatternAnalysis {
    std::vector<double> i;
    std::vector<double> q;
    std::vector<double> iSpectrumDbfs;
    std::vector<double> qSpectrumDbfs;
};
PatternAnalysis AnalysePattern(const std::vector<SamplePair>& pairs, IRealFourierTransform& fft);

// Frequency of a generated sine or cosine pattern in multiples of DataClk (one pair per DataClk
// cycle); empty for DC on both channels.
std::optional<double> GeneratedPatternFrequency(const PatternSettings& settings);

// Symbol rate in Hz from register 0x0B and SysClk; empty while either is 0.
std::optional<double> SymbolRateHz(const RegisterShadow& shadow);
// DataClk in Hz from the source bits of bridge register 9: RefClk (the clock pin), 2xSymbolClk or
// SysClk/2; empty when tristated (an external generator drives it) or not known.
std::optional<double> DataClkHz(const RegisterShadow& shadow);

} // namespace tarsion
