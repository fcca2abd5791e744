#pragma once

#include "CoefficientRam.h"
#include "DocumentSettings.h"
#include "PatternMemory.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tarsion {

// The chip memories that can be read back and compared with what was loaded.
enum class ChipMemory { CoefficientI = 0, CoefficientQ = 1, Constellation = 2 };

// A coefficient RAM as its last successful load wrote it.
struct LoadedCoefficients {
    CoefficientRamImage words{};
    FilterGeometry geometry;
    bool symmetric = false;
    bool bestFit = true;
    double gain = 0;
    // The file's taps times the gain, N positions: the filter the quantized table stands for.
    std::vector<double> idealTaps;
    std::string fileName;
};

using ConstellationImage = std::array<std::uint8_t, 256>;

// The pattern memory's last load: the sample pairs, and the parameters when it was generated.
struct LoadedPattern {
    std::vector<SamplePair> pairs;
    bool generated = false;
    PatternSettings settings;
};

// One address whose read-back differs from what was loaded; values as hexadecimal text.
struct WordMismatch {
    int address = 0;
    std::string expected;
    std::string read;
};

// The outcome of reading a memory back and comparing it with its last load.
struct VerifyReport {
    int words = 0;
    bool completed = false; // false: nothing loaded, no board, or the read failed
    std::vector<WordMismatch> mismatches;
    std::string summary; // the result line of the log
};

// What the document keeps of the last loads, for the signal views and read-back verification.
// Every change bumps the generation, so views can tell cheaply whether to redraw.
class LoadedMemories {
public:
    const std::optional<LoadedCoefficients>& Coefficients(int which) const {
        return coefficients_[Index(which)];
    }
    const std::optional<ConstellationImage>& Constellation() const { return constellation_; }
    const std::optional<LoadedPattern>& Pattern() const { return pattern_; }
    const std::optional<VerifyReport>& LastVerify(ChipMemory memory) const {
        return verify_[static_cast<std::size_t>(memory)];
    }
    std::uint64_t Generation() const { return generation_; }

    // A new load makes an earlier verification of that memory meaningless.
    void SetCoefficients(int which, LoadedCoefficients loaded);
    void SetConstellation(const ConstellationImage& entries);
    void SetPattern(LoadedPattern loaded);
    void SetVerifyReport(ChipMemory memory, VerifyReport report);

private:
    static std::size_t Index(int which) { return which == 0 ? 0 : 1; }

    std::array<std::optional<LoadedCoefficients>, 2> coefficients_;
    std::optional<ConstellationImage> constellation_;
    std::optional<LoadedPattern> pattern_;
    std::array<std::optional<VerifyReport>, 3> verify_;
    std::uint64_t generation_ = 0;
};

} // namespace tarsion
