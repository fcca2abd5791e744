#include "ops/CoefficientTable.h"

#include "base/ReplacementFile.h"
#include "ops/CoefficientFile.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numeric>

namespace tarsion {

namespace {
constexpr int kFieldBits = 18;
constexpr double kFieldModulus = 262144.0; // 2^18
constexpr int kAddressBits = 8;
constexpr int kWordBits = 72;
constexpr int kBlockAddresses = 64;

// Low 18 bits of a whole field value, as two's complement.
std::uint32_t FieldBits(double value) {
    if (!std::isfinite(value))
        return 0;
    double low = std::fmod(value, kFieldModulus);
    if (low < 0)
        low += kFieldModulus;
    return static_cast<std::uint32_t>(low);
}

bool WordBit(const CoefficientWord& word, int bit) {
    return (word[bit / 8] >> (bit % 8)) & 1;
}

} // namespace

FilterGeometry FilterGeometry::For(int selector, bool twoBitMode) {
    FilterGeometry geometry;
    switch (selector) {
    case 0:
        geometry = {4, 6, 96, false};
        break;
    case 1:
        geometry = {8, 5, 160, false};
        break;
    default:
        geometry = {16, 4, 256, false};
        break;
    }
    geometry.twoBitMode = twoBitMode;
    if (twoBitMode)
        geometry.taps /= 2;
    return geometry;
}

CoefficientWord PackFields(const CoefficientFields& fields) {
    CoefficientWord word{};
    for (int field = 0; field < 4; ++field) {
        const std::uint32_t bits = FieldBits(fields[field]);
        for (int bit = 0; bit < kFieldBits; ++bit) {
            if ((bits >> bit) & 1) {
                const int position = field * kFieldBits + bit;
                word[position / 8] = static_cast<std::uint8_t>(word[position / 8] | (1u << (position % 8)));
            }
        }
    }
    return word;
}

bool FieldsInRange(const CoefficientFields& fields) {
    for (double value : fields) {
        if (!(value >= -kFieldUnit && value <= kFieldUnit - 1) || value != std::floor(value))
            return false;
    }
    return true;
}

bool FitsChipFormats(const CoefficientStatistics& s) {
    if (!(s.fieldMax <= kFieldMax && s.fieldSumMax <= kFieldSumMax && s.fieldMin >= -1.0 &&
          s.fieldSumMin >= -8.0))
        return false;
    for (double sum : s.phaseSums) {
        if (!(sum <= kPhaseSumMax))
            return false;
    }
    return true;
}

CoefficientTable::CoefficientTable(CoefficientTableInputs inputs) : inputs_(std::move(inputs)) {}

bool CoefficientTable::Build(double gain) {
    std::vector<double> taps;
    if (!ReadPositions(taps))
        return false;
    gain_ = gain;
    statistics_ = {};
    statistics_.coefficientSum = std::accumulate(taps.begin(), taps.end(), 0.0);
    for (double& tap : taps)
        tap *= gain;

    const FilterGeometry& g = inputs_.geometry;
    statistics_.phaseSums.assign(static_cast<std::size_t>(g.rate), 0.0);
    for (int position = 0; position < g.taps; ++position)
        statistics_.phaseSums[static_cast<std::size_t>(position % g.rate)] += std::abs(taps[position]);

    ComputeWords(taps);
    ComputeStatistics();
    taps_ = std::move(taps);
    listingWritten_ = WriteListing();
    return true;
}

bool CoefficientTable::AllZero() const {
    return std::all_of(words_.begin(), words_.end(), [](const CoefficientFields& fields) {
        return std::all_of(fields.begin(), fields.end(), [](double field) { return field == 0; });
    });
}

bool CoefficientTable::ReadPositions(std::vector<double>& positions) const {
    CoefficientFile file;
    if (file.Read(inputs_.file) != CoefficientFile::Status::Ok || !file.HasColumn(inputs_.column))
        return false;
    positions = file.Taps(inputs_.column);
    if (inputs_.symmetric) {
        // c0..c(n-1) followed by c(n-1)..c0: the centre pair repeats the last listed value.
        const std::size_t listed = positions.size();
        for (std::size_t i = 0; i < listed && positions.size() < CoefficientFile::kMaxPositions; ++i)
            positions.push_back(positions[listed - 1 - i]);
    }
    positions.resize(static_cast<std::size_t>(inputs_.geometry.taps), 0.0);
    return true;
}

void CoefficientTable::ComputeWords(const std::vector<double>& taps) {
    const FilterGeometry& g = inputs_.geometry;
    const int patterns = 1 << g.bits;
    for (int address = 0; address < kCoefficientWords; ++address) {
        const int block = address / kBlockAddresses;
        const int group = (address >> g.bits) & (g.Groups() - 1);
        const int pattern = address & (patterns - 1);
        // In 2-bit mode the upper half of the RAM repeats the lower half at half scale.
        const bool upperHalf = g.twoBitMode && block >= 2;
        const int tapBlock = upperHalf ? block - 2 : block;
        const double divisor = upperHalf ? 2.0 : 1.0;
        for (int field = 1; field <= 4; ++field) {
            const int phase = 4 * group + 4 - field;
            double sum = 0;
            for (int bit = g.bits - 1; bit >= 0; --bit) {
                if ((pattern >> bit) & 1)
                    sum += taps[g.taps - tapBlock * g.BlockSize() - g.rate + phase -
                                (g.bits - 1 - bit) * g.rate];
            }
            words_[address][field - 1] = std::floor(sum * kFieldUnit / divisor + 0.5);
        }
    }
}

void CoefficientTable::ComputeStatistics() {
    const FilterGeometry& g = inputs_.geometry;
    const int patterns = 1 << g.bits;
    double fieldMax = 0;
    double fieldMin = 0;
    double sumMax = 0;
    double sumMin = 0;
    for (int block = 0; block < 4; ++block) {
        for (int group = 0; group < g.Groups(); ++group) {
            const int first = block * kBlockAddresses + group * patterns;
            double maxima = 0;
            double minima = 0;
            for (int field = 0; field < 4; ++field) {
                double largest = 0;
                double smallest = 0;
                for (int pattern = 0; pattern < patterns; ++pattern) {
                    const double value = words_[first + pattern][field];
                    if (value > largest)
                        largest = value;
                    if (value < smallest)
                        smallest = value;
                }
                fieldMax = std::max(fieldMax, largest);
                fieldMin = std::min(fieldMin, smallest);
                maxima += largest;
                minima += smallest;
            }
            sumMax = std::max(sumMax, maxima);
            sumMin = std::min(sumMin, minima);
        }
    }
    statistics_.fieldMax = fieldMax / kFieldUnit;
    statistics_.fieldMin = fieldMin / kFieldUnit;
    statistics_.fieldSumMax = sumMax / kFieldUnit;
    statistics_.fieldSumMin = sumMin / kFieldUnit;
}

bool CoefficientTable::WriteListing() const {
    if (inputs_.listingFile.empty())
        return true;
    std::string text;
    text.reserve(kCoefficientWords * (kAddressBits + kWordBits + 1));
    for (int address = 0; address < kCoefficientWords; ++address) {
        for (int bit = kAddressBits - 1; bit >= 0; --bit)
            text += ((address >> bit) & 1) ? '1' : '0';
        const CoefficientWord word = PackFields(words_[address]);
        for (int bit = kWordBits - 1; bit >= 0; --bit)
            text += WordBit(word, bit) ? '1' : '0';
        text += '\n';
    }
    // A link planted at the name is replaced, never written through.
    return RewriteFile(inputs_.listingFile, text);
}

} // namespace tarsion
