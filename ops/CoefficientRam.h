#pragma once

#include "ops/CoefficientTable.h"

#include <array>
#include <cstdint>
#include <istream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarsion {

class CWordProgress;

class CBoardOperations;

using CoefficientRamImage = std::array<CoefficientWord, kCoefficientWords>;

// Best Fit gives up when a 31st adjustment of the gain was needed.
inline constexpr int kBestFitAdjustments = 31;

enum class GainOutcome { Fitted, BadFile, NoFit };

// One Best Fit step: the first rule that applies to the table just built scales the gain down.
double AdjustedGain(const CoefficientStatistics& statistics, double gain);

// Best Fit: starts at the interpolation rate and adjusts until the table fits. `Table` offers
// Build(gain), Fits(), Gain() and Statistics() as CoefficientTable does.
template <class Table>
GainOutcome FitBestGain(Table& table, double rate) {
    if (!table.Build(rate))
        return GainOutcome::BadFile;
    for (int adjustment = 1; adjustment <= kBestFitAdjustments; ++adjustment) {
        if (table.Fits())
            return GainOutcome::Fitted;
        if (!table.Build(AdjustedGain(table.Statistics(), table.Gain())))
            return GainOutcome::BadFile;
    }
    return GainOutcome::NoFit;
}

// The words of a table; empty when a field does not fit 18 bits.
std::optional<CoefficientRamImage> PackTable(const CoefficientTable& table);

// RAM image files: the coefficient file's path without the extension of its own name, then
// "_I.Ram" or "_Q.Ram".
std::string RamImageBaseName(std::string_view path);
// The two header lines (with line ends) and one data line (without) of a RAM image file.
std::string RamImageHeader(int which);
std::string RamImageLine(int address, const CoefficientWord& word);
// The words of a RAM image file: two header lines, then a line for each of the 256 addresses.
// Empty when a line is malformed or an address is missing.
std::optional<CoefficientRamImage> ReadRamImage(std::istream& in);

// Post-shaping filter DC offset for register 0x11 from the DC gain and the Device Config word:
// trunc(D × 2^17) + 6 × 2^(data bit width), modulo 2^32. Empty when D is not finite.
std::optional<std::uint32_t> DcOffsetRegisterValue(double dcGain, std::uint32_t deviceConfig);

struct CoefficientLoadRequest {
    int which = 0; // 0 I, 1 Q, 2 both
    std::string file;
    bool bestFit = true;
    double scale = 1.0;
    bool loadOffset = true;
    int interpolation = 0;
    bool twoBitMode = false;
    bool symmetric = false;
};

// LoadCoefficientRam: reads a coefficient file, fits and packs its table(s), writes the RAM(s) and
// their image files, stores the channel settings and optionally the DC offset register.
class CoefficientRamLoader {
public:
    explicit CoefficientRamLoader(CBoardOperations& ops) : ops_(ops) {}
    bool Load(const CoefficientLoadRequest& request);

private:
    // One table written to one RAM selection.
    struct RamLoad {
        int column;
        std::uint8_t memoryControl;
        bool toI;
        bool toQ;
    };
    struct LoadedTable {
        double gain;
        double dcGain;
        CoefficientRamImage image;
        std::vector<double> scaledTaps;
    };

    // Fits and packs one table; nothing reaches the board.
    std::optional<LoadedTable> PrepareTable(const CoefficientLoadRequest& request, const RamLoad& load);
    bool WriteRam(const RamLoad& load, const LoadedTable& table);
    bool FitTable(const CoefficientLoadRequest& request, CoefficientTable& table);
    bool WriteWords(const CoefficientRamImage& image, CWordProgress& progress);
    void WriteImageFile(const std::string& path, int which, const CoefficientRamImage& image);
    void StoreSettings(const CoefficientLoadRequest& request, const RamLoad& load, const LoadedTable& table,
                       const std::string& fileName);
    bool LoadDcOffset(double dcGain);
    // `line` 0: the file changed after it was checked; the message names the file alone.
    void ReportBadFormat(std::size_t line);

    CBoardOperations& ops_;
    std::string path_;
    std::string imageBase_;
};

// DumpCoefficientRam: reads the I or Q RAM back into a RAM image file.
class CoefficientRamDumper {
public:
    explicit CoefficientRamDumper(CBoardOperations& ops) : ops_(ops) {}
    bool Dump(int which, const std::string& file);

private:
    CBoardOperations& ops_;
};

} // namespace tarsion
