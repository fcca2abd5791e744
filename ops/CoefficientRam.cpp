#include "ops/CoefficientRam.h"

#include "base/ReplacementFile.h"
#include "base/TextHelpers.h"
#include "base/TextLines.h"
#include "board/ChipRegisters.h"
#include "ops/BoardOperations.h"
#include "ops/CoefficientFile.h"
#include "ops/FilePaths.h"
#include "ops/MemoryReadBack.h"
#include "ops/ScriptText.h"
#include "ops/WordProgress.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <limits>
#include <optional>
#include <sstream>
#include <vector>

namespace tarsion {

namespace {
// Steps of 2^-16 below the linear estimate absorb the rounding of the fields.
constexpr int kLargestGainSteps = 64;
constexpr double kLargestGainStep = 1.0 / 65536.0;

// The largest gain at which `table` fits the chip's formats: the statistics scale with the gain, so
// the tightest limit gives it, less what the rounding of the fields needs. Leaves the table built
// at some gain; empty when no gain fits.
std::optional<double> LargestFittingGain(CoefficientTable& table) {
    const CoefficientStatistics& s = table.Statistics();
    double ratio = std::numeric_limits<double>::infinity();
    const auto limit = [&ratio](double value, double bound) {
        if (value * bound > 0)
            ratio = std::min(ratio, bound / value);
    };
    limit(s.fieldMax, kFieldMax);
    limit(s.fieldMin, -1.0);
    limit(s.fieldSumMax, kFieldSumMax);
    limit(s.fieldSumMin, -8.0);
    for (const double sum : s.phaseSums)
        limit(sum, kPhaseSumMax);
    if (!std::isfinite(ratio))
        return std::nullopt;
    double gain = table.Gain() * ratio;
    // A negative forced gain has no "largest" to name.
    if (!(gain > 0))
        return std::nullopt;
    for (int step = 0; step < kLargestGainSteps; ++step) {
        if (!table.Build(gain))
            return std::nullopt;
        if (table.Fits()) {
            // Shown with nine digits, rounded down: the number shown must fit too.
            const double unit = std::pow(10.0, std::floor(std::log10(gain)) - 8);
            return std::floor(gain / unit) * unit;
        }
        gain *= 1.0 - kLargestGainStep;
    }
    return std::nullopt;
}
constexpr std::uint8_t kSelectI = 0x44;
constexpr std::uint8_t kSelectQ = 0x48;
constexpr std::uint8_t kSelectBoth = 0x4C;
constexpr std::uint8_t kNoAccess = 0x00;
constexpr double kTwoTo32 = 4294967296.0;
constexpr const char* kListingFile = "temp.ram";
constexpr const char* kDone = "Done";
constexpr const char* kAllZero = "Error : Every Coefficient Quantizes to 0, Nothing Loaded";

} // namespace

double AdjustedGain(const CoefficientStatistics& s, double gain) {
    if (s.fieldMax > kFieldMax)
        return gain * kFieldMax / s.fieldMax;
    if (s.fieldMin < -1.0)
        return gain * -1.0 / s.fieldMin;
    for (double sum : s.phaseSums) {
        if (sum > kPhaseSumMax)
            gain = gain * kPhaseSumMax / sum;
    }
    return gain;
}

std::optional<CoefficientRamImage> PackTable(const CoefficientTable& table) {
    CoefficientRamImage image;
    for (int address = 0; address < kCoefficientWords; ++address) {
        const CoefficientFields& fields = table.Words()[address];
        if (!FieldsInRange(fields))
            return std::nullopt;
        image[address] = PackFields(fields);
    }
    return image;
}

std::string RamImageBaseName(std::string_view path) {
    const auto slash = path.find_last_of('/');
    const auto nameStart = slash == std::string_view::npos ? 0 : slash + 1;
    const auto dot = path.find_last_of('.');
    if (dot == std::string_view::npos || dot < nameStart)
        return std::string(path);
    return std::string(path.substr(0, dot));
}

std::string RamImageHeader(int which) {
    return std::string(which == 0 ? "I" : "Q") + " Coefficient Memory :\nAddress\tMSB\t\t\tLSB\n";
}

std::string RamImageLine(int address, const CoefficientWord& word) {
    std::string line = FormatText("%.2x\t", address);
    for (int byte = 8; byte >= 0; --byte)
        line += FormatText("%.2x ", word[byte]);
    return line;
}

std::optional<CoefficientRamImage> ReadRamImage(std::istream& in) {
    CTextLines lines(in);
    std::string line;
    for (int header = 0; header < 2; ++header) {
        if (!lines.Next(line))
            return std::nullopt;
    }
    CoefficientRamImage image{};
    std::array<bool, kCoefficientWords> seen{};
    while (lines.Next(line)) {
        std::istringstream fields(line);
        unsigned address = 0;
        if (!(fields >> std::hex >> address)) {
            if (TrimmedText(line).empty())
                continue;
            return std::nullopt;
        }
        if (address >= kCoefficientWords)
            return std::nullopt;
        for (int byte = 8; byte >= 0; --byte) {
            unsigned value = 0;
            if (!(fields >> std::hex >> value) || value > 0xFF)
                return std::nullopt;
            image[address][static_cast<std::size_t>(byte)] = static_cast<std::uint8_t>(value);
        }
        seen[address] = true;
    }
    for (const bool present : seen) {
        if (!present)
            return std::nullopt;
    }
    return image;
}

std::optional<std::uint32_t> DcOffsetRegisterValue(double dcGain, std::uint32_t deviceConfig) {
    const int dataBitWidth = static_cast<int>((deviceConfig >> 6) & 0xF);
    const double value = std::trunc(dcGain * kFieldUnit) + 6.0 * std::ldexp(1.0, dataBitWidth);
    if (!std::isfinite(value))
        return std::nullopt;
    double wrapped = std::fmod(value, kTwoTo32);
    if (wrapped < 0)
        wrapped += kTwoTo32;
    return static_cast<std::uint32_t>(wrapped);
}

bool CoefficientRamLoader::Load(const CoefficientLoadRequest& request) {
    // No RAM selection exists for other values: refuse before anything is written.
    if (request.which < 0 || request.which > 2) {
        ops_.Log(
            FormatText("Error : Invalid Coefficient RAM %d, use 0 (I), 1 (Q) or 2 (I + Q)", request.which),
            1);
        return false;
    }
    CTarsionDoc& doc = ops_.Doc();
    path_ = ResolveLoaderPath(doc.startDirectory, request.file);
    CoefficientFile file;
    const CoefficientFile::Status status = file.Read(path_);
    if (status == CoefficientFile::Status::CannotOpen) {
        ops_.Prompt().ShowMessage("Please Enter a Valid File Name");
        return false;
    }
    const bool twoColumns = status == CoefficientFile::Status::Ok && file.Columns() == 2;
    const bool splitChannels = request.which == 2 && twoColumns;
    const int firstColumn = request.which == 1 && twoColumns ? 2 : 1;
    if (status != CoefficientFile::Status::Ok || !file.HasColumn(firstColumn) ||
        (splitChannels && !file.HasColumn(2))) {
        ReportBadFormat(file.BadLine());
        return false;
    }

    ops_.Log("LoadCoefficientRam", 0);
    ops_.Record(FormatText("Tarsion.LoadCoefficientRam( %d,'%s ',%d,%s,%d,%d,%d,%d ); ", request.which,
                           ScriptStringText(WithForwardSlashes(path_)).c_str(), request.bestFit,
                           FixedSix(request.scale).c_str(), request.loadOffset, request.interpolation,
                           request.twoBitMode, request.symmetric));
    imageBase_ = RamImageBaseName(path_);

    std::vector<RamLoad> loads;
    if (splitChannels)
        loads = {{1, kSelectI, true, false}, {2, kSelectQ, false, true}};
    else if (request.which == 0)
        loads = {{1, kSelectI, true, false}};
    else if (request.which == 1)
        loads = {{firstColumn, kSelectQ, false, true}};
    else
        loads = {{1, kSelectBoth, true, true}};

    // Every table is checked before the first write: a second table that fails leaves both RAMs as
    // they were.
    std::vector<LoadedTable> loaded;
    for (const RamLoad& load : loads) {
        std::optional<LoadedTable> table = PrepareTable(request, load);
        if (!table)
            return false;
        loaded.push_back(std::move(*table));
    }
    for (std::size_t i = 0; i < loads.size(); ++i) {
        if (!WriteRam(loads[i], loaded[i]))
            return false;
    }
    // Each channel keeps the gain and DC gain of its own table.
    const std::string storedName = StoredFileName(doc.startDirectory, path_);
    for (std::size_t i = 0; i < loads.size(); ++i)
        StoreSettings(request, loads[i], loaded[i], storedName);
    const bool offsetLoaded = !request.loadOffset || LoadDcOffset(loaded.back().dcGain);
    doc.UpdateAllViews();
    if (!offsetLoaded) {
        ops_.Prompt().ShowMessage("Failed to Load PostShapingFilterOffset ");
        return false;
    }
    ops_.Log(kDone, 1);
    return true;
}

std::optional<CoefficientRamLoader::LoadedTable>
CoefficientRamLoader::PrepareTable(const CoefficientLoadRequest& request, const RamLoad& load) {
    const FilterGeometry geometry = FilterGeometry::For(request.interpolation, request.twoBitMode);
    CoefficientTable table({path_, load.column, geometry, request.symmetric, kListingFile});
    if (!FitTable(request, table))
        return std::nullopt;
    // Taps too large to scale (1e308) or too small to quantize would load a filter that passes nothing.
    if (table.AllZero()) {
        ops_.Log(kAllZero, 1);
        return std::nullopt;
    }
    if (!table.ListingWritten())
        ops_.Log(FormatText("Couldn't write %s", kListingFile), 1);
    const std::optional<CoefficientRamImage> image = PackTable(table);
    if (!image) {
        ops_.Log("Internal Error : Invalid Coefficient RAM Image", 1);
        return std::nullopt;
    }
    return LoadedTable{table.Gain(), table.Statistics().coefficientSum * table.Gain() / geometry.rate, *image,
                       table.ScaledTaps()};
}

bool CoefficientRamLoader::WriteRam(const RamLoad& load, const LoadedTable& table) {
    CBoardLink& link = ops_.Link();
    if (!link.WriteChipReg(chipreg::kMemoryControl, load.memoryControl)) {
        ops_.Log(FormatText("Failed to Poke MemoryControlRegister with %X", load.memoryControl), 1);
        return false;
    }
    if (load.toI)
        WriteImageFile(imageBase_ + "_I.Ram", 0, table.image);
    if (load.toQ)
        WriteImageFile(imageBase_ + "_Q.Ram", 1, table.image);
    CWordProgress progress(ops_, "LoadCoefficientRam", kCoefficientWords);
    if (!WriteWords(table.image, progress)) {
        if (!progress.Cancelled())
            ops_.Log("Failed to Load Coefficient RAMS", 1);
        const std::string note = "partly loaded from " + FileNameOf(path_);
        for (const auto& [selected, memory] :
             {std::pair{load.toI, ChipMemory::CoefficientI}, std::pair{load.toQ, ChipMemory::CoefficientQ}}) {
            if (selected)
                ops_.Doc().loaded.SetPartial(memory, {note, progress.Cancelled()});
        }
        return false;
    }
    link.WriteChipReg(chipreg::kMemoryControl, kNoAccess);
    return true;
}

bool CoefficientRamLoader::FitTable(const CoefficientLoadRequest& request, CoefficientTable& table) {
    if (request.bestFit) {
        switch (FitBestGain(table, table.Geometry().rate)) {
        case GainOutcome::Fitted:
            return true;
        case GainOutcome::NoFit:
            ops_.Prompt().ShowMessage(
                "Couldn't do Best Fit, please either select a differant filter or force the scale value");
            return false;
        case GainOutcome::BadFile:
            break;
        }
        ReportBadFormat(0);
        return false;
    }
    // The file was checked before; it can only fail here if it changed since.
    if (!table.Build(request.scale)) {
        ReportBadFormat(0);
        return false;
    }
    if (!table.Fits()) {
        ops_.Log("Failed", 1);
        std::string message =
            "Coefficients are out of range\nPlease change your gain, or use Best Fit option";
        if (const std::optional<double> largest = LargestFittingGain(table))
            message += FormatText("\nThe largest gain that fits is %.9g", *largest);
        // The bit listing shows the table of the gain asked for.
        table.Build(request.scale);
        ops_.Prompt().ShowMessage(message);
        return false;
    }
    return true;
}

bool CoefficientRamLoader::WriteWords(const CoefficientRamImage& image, CWordProgress& progress) {
    for (int address = 0; address < kCoefficientWords; ++address) {
        CoefficientWord word = image[address];
        if (!ops_.Link().AccessChipMemory(static_cast<std::uint8_t>(address), word.data()) ||
            !progress.Advance(static_cast<std::size_t>(address) + 1))
            return false;
    }
    return true;
}

// The image files are for inspection: a folder without write access costs them, not the load.
void CoefficientRamLoader::WriteImageFile(const std::string& path, int which,
                                          const CoefficientRamImage& image) {
    std::string text = RamImageHeader(which);
    for (int address = 0; address < kCoefficientWords; ++address)
        text += RamImageLine(address, image[address]) + '\n';
    // A new file in place of the name: a link planted there is replaced, never written through.
    CReplacementFile out(path);
    if (!out.Commit(text))
        ops_.Log("Couldn't write " + path, 1);
}

void CoefficientRamLoader::StoreSettings(const CoefficientLoadRequest& request, const RamLoad& load,
                                         const LoadedTable& table, const std::string& fileName) {
    CTarsionDoc& doc = ops_.Doc();
    for (CoefficientSettings* settings :
         {load.toI ? &doc.coefficientI : nullptr, load.toQ ? &doc.coefficientQ : nullptr}) {
        if (!settings)
            continue;
        settings->interpolation = request.interpolation;
        settings->scale = table.gain;
        settings->bestFit = request.bestFit;
        settings->twoBitMode = request.twoBitMode;
        settings->symmetric = request.symmetric;
        settings->fileName = fileName;
        settings->dcGain = table.dcGain;
        settings->loadOffset = request.loadOffset;
    }
    const LoadedCoefficients loaded{
        table.image,       FilterGeometry::For(request.interpolation, request.twoBitMode),
        request.symmetric, request.bestFit,
        table.gain,        table.scaledTaps,
        fileName};
    for (int which : {0, 1}) {
        if (which == 0 ? load.toI : load.toQ)
            doc.loaded.SetCoefficients(which, loaded);
    }
}

bool CoefficientRamLoader::LoadDcOffset(double dcGain) {
    const std::uint32_t deviceConfig = ops_.Doc().Shadow().FetchChipReg(chipreg::kDeviceConfig);
    const std::optional<std::uint32_t> value = DcOffsetRegisterValue(dcGain, deviceConfig);
    return value && ops_.Link().WriteChipReg(chipreg::kCoefRamPreload, *value);
}

void CoefficientRamLoader::ReportBadFormat(std::size_t line) {
    ops_.Log("Incorrect Coefficient File Format", 1);
    // Every table is checked before the first write, so the RAMs still hold what they held.
    ops_.Prompt().ShowMessage("Incorrect File Format\n" +
                              (line != 0 ? FileLineText(path_, line) : FileNameOf(path_)) +
                              "\nThe coefficient RAMs are unchanged.");
}

bool CoefficientRamDumper::Dump(int which, const std::string& file) {
    const std::string name = DumpFileName(ops_.Doc().startDirectory, WithoutTrailingBlanks(file));
    if (which != 0 && which != 1)
        return false;
    ops_.Log((which == 0 ? "DumpCoefficientRam I  " : "DumpCoefficientRam Q  ") + name, 0);
    const std::string target = WithForwardSlashes(name);
    ops_.Record(
        FormatText("Tarsion.DumpCoefficientRam ( %d,'%s ' );", which, ScriptStringText(target).c_str()));
    // A name without a folder lies in the start directory, as for every other loader file. The dump
    // is written in full or not at all, and only to a regular file (a FIFO would block the program).
    CReplacementFile out(ResolveLoaderPath(ops_.Doc().startDirectory, target),
                         CReplacementFile::Links::WriteThrough);
    if (!out.IsOpen()) {
        ops_.Log("Couldn't open " + target, 1);
        return false;
    }
    std::string text = RamImageHeader(which);
    // Reading with the old selection would dump whatever memory it selects, or nothing at all.
    CoefficientRamImage words{};
    if (!ReadCoefficientRam(ops_, which, words))
        return false;
    for (int address = 0; address < kCoefficientWords; ++address)
        text += RamImageLine(address, words[address]) + '\n';
    if (!out.Commit(text)) {
        ops_.Log("Couldn't write " + target, 1);
        return false;
    }
    ops_.Log(kDone, 1);
    return true;
}

bool CBoardOperations::LoadCoefficientRam(std::int16_t which, const std::string& file, bool bestFit,
                                          double scale, bool loadOffset, std::int16_t interpolation,
                                          bool twoBitMode, bool symmetric) {
    Scope scope(*this);
    return CoefficientRamLoader(*this).Load(
        {which, file, bestFit, scale, loadOffset, interpolation, twoBitMode, symmetric});
}

bool CBoardOperations::DumpCoefficientRam(std::int16_t which, const std::string& file) {
    Scope scope(*this);
    return CoefficientRamDumper(*this).Dump(which, file);
}

} // namespace tarsion
