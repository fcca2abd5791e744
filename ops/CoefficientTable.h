#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace tarsion {

// Filter geometry of an interpolation selector: 0 gives rate 4, 1 rate 8, anything else rate 16.
struct FilterGeometry {
    int rate = 4;  // R: interpolation rate and number of phases
    int bits = 6;  // B: address bits of the input pattern
    int taps = 96; // N: halved in 2-bit mode
    bool twoBitMode = false;

    static FilterGeometry For(int selector, bool twoBitMode);
    int Groups() const { return rate / 4; }
    int BlockSize() const { return bits * rate; }
};

// 72-bit coefficient RAM word as nine bytes, byte 0 = bits 7..0.
using CoefficientWord = std::array<std::uint8_t, 9>;
// The four fields of a word; index 0 is field 1 (bits 17..0), index 3 field 4 (bits 71..54).
using CoefficientFields = std::array<double, 4>;

inline constexpr int kCoefficientWords = 256;
inline constexpr double kFieldUnit = 131072.0; // 17 fractional bits
inline constexpr double kFieldMax = 0.9999923706055;
inline constexpr double kFieldSumMax = 7.999938964844;
inline constexpr double kPhaseSumMax = 0.9999856948853;

// Assembles a word from its fields, each taken as 18-bit two's complement (its low 18 bits).
CoefficientWord PackFields(const CoefficientFields& fields);
// True when every field value is a whole number in -131072..131071.
bool FieldsInRange(const CoefficientFields& fields);

struct CoefficientStatistics {
    double coefficientSum = 0;     // Ssum, before scaling
    double fieldMax = 0;           // Fmax
    double fieldMin = 0;           // Fmin
    double fieldSumMax = 0;        // Smax
    double fieldSumMin = 0;        // Smin
    std::vector<double> phaseSums; // A(p), on the scaled taps
};

// The acceptance test of the chip's number formats, limits included.
bool FitsChipFormats(const CoefficientStatistics& statistics);

struct CoefficientTableInputs {
    std::string file;
    int column = 1;
    FilterGeometry geometry;
    bool symmetric = false;
    // Empty: no bit listing is written.
    std::string listingFile = "temp.ram";
};

// The distributed-arithmetic table of one channel: 256 words of four precomputed tap sums. Each
// build re-reads the coefficient file and rewrites the bit listing.
class CoefficientTable {
public:
    explicit CoefficientTable(CoefficientTableInputs inputs);

    // False when the file can't be read or a tap is missing; the table is then unchanged.
    bool Build(double gain);
    bool Fits() const { return FitsChipFormats(statistics_); }
    // True when every field quantized to 0: the filter would pass nothing.
    bool AllZero() const;

    double Gain() const { return gain_; }
    const FilterGeometry& Geometry() const { return inputs_.geometry; }
    const CoefficientStatistics& Statistics() const { return statistics_; }
    // Field values, in address order.
    const std::array<CoefficientFields, kCoefficientWords>& Words() const { return words_; }
    // Positions 0..N-1 times the gain, as the last build used them.
    const std::vector<double>& ScaledTaps() const { return taps_; }
    // False when the last build could not write the bit listing it was asked for.
    bool ListingWritten() const { return listingWritten_; }

private:
    bool ReadPositions(std::vector<double>& positions) const;
    void ComputeWords(const std::vector<double>& taps);
    void ComputeStatistics();
    bool WriteListing() const;

    CoefficientTableInputs inputs_;
    double gain_ = 0;
    CoefficientStatistics statistics_;
    std::array<CoefficientFields, kCoefficientWords> words_{};
    std::vector<double> taps_;
    bool listingWritten_ = false;
};

} // namespace tarsion
