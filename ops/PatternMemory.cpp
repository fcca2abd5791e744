#include "ops/PatternMemory.h"

#include "base/RegularFile.h"
#include "base/TextHelpers.h"
#include "base/TextLines.h"
#include "board/ChipRegisters.h"
#include "ops/BoardOperations.h"
#include "ops/FilePaths.h"
#include "ops/MemoryRestore.h"
#include "ops/PatternImport.h"
#include "ops/PldGuard.h"
#include "ops/ScriptText.h"
#include "ops/WordProgress.h"

#include <charconv>
#include <cmath>
#include <sstream>

namespace tarsion {

namespace {
constexpr int kHeaderLines = 7;
// Pair counts below this log every sample.
constexpr std::size_t kLoggedPairs = 64;

constexpr const char* kCouldNotOpen = "Could Not Open File %s";
constexpr const char* kFormatMessage = "Incorrect file format !";
constexpr const char* kFormatError = "Incorrect File Format; File must be either Hex or Floating Point";
constexpr const char* kStartFailed = "Couldn't Load the Start Address";
constexpr const char* kWordFailed = "Couldn't Load the Data File";
constexpr const char* kRestoreFailed = "Failed to Stop Sending Memory Pattern";
constexpr const char* kTooManyPairs = "Error : Pattern File holds more than 131072 Sample Pairs";
constexpr const char* kBadKind = "Error : Pattern Kind must be 0 (DC), 1 (Sine Wave) or 2 (Cos Wave)";
constexpr const char* kBadSamplesPerCycle = "Error : Samples per Cycle must be above 0";
constexpr const char* kBadNumberOfSamples =
    "Error : Number of Samples must be a whole number from 0 to 131072";
constexpr const char* kBadAmplitude = "Error : Amplitude must be a finite number";

enum class Form { Unknown, Hex, Real };

std::size_t SkipBlanks(std::string_view text, std::size_t at) {
    while (at < text.size() && (text[at] == ' ' || text[at] == '\t'))
        ++at;
    return at;
}

// One number as "%x" reads it: a sign, an optional 0x and hexadecimal digits; the sample keeps the
// low 16 bits.
bool ReadHexSample(std::string_view text, std::size_t& at, std::int32_t& sample) {
    at = SkipBlanks(text, at);
    bool negative = false;
    if (at < text.size() && (text[at] == '+' || text[at] == '-'))
        negative = text[at++] == '-';
    if (at + 2 < text.size() && text[at] == '0' && (text[at + 1] == 'x' || text[at + 1] == 'X') &&
        HexDigit(text[at + 2]) >= 0)
        at += 2;
    std::uint32_t number = 0;
    const std::size_t first = at;
    for (; at < text.size() && HexDigit(text[at]) >= 0; ++at)
        number = number * 16 + static_cast<std::uint32_t>(HexDigit(text[at]));
    if (at == first)
        return false;
    if (negative)
        number = 0u - number;
    sample = static_cast<std::int32_t>(number & 0xFFFF);
    return true;
}

// One finite real number, read the same way whatever the user's locale.
bool ReadRealSample(std::string_view text, std::size_t& at, std::int32_t& sample) {
    at = SkipBlanks(text, at);
    if (at + 1 < text.size() && text[at] == '+' && text[at + 1] != '-' && text[at + 1] != '+')
        ++at;
    double value = 0;
    const auto result = std::from_chars(text.data() + at, text.data() + text.size(), value);
    if (result.ec != std::errc() || !std::isfinite(value))
        return false;
    at = static_cast<std::size_t>(result.ptr - text.data());
    sample = SampleFromReal(value);
    return true;
}

bool ReadPair(std::string_view line, Form form, SamplePair& pair) {
    const auto read = form == Form::Hex ? ReadHexSample : ReadRealSample;
    std::size_t at = 0;
    return read(line, at, pair.i) && read(line, at, pair.q);
}

double Wave(std::int32_t kind, double amplitude, double angle) {
    switch (kind) {
    case 1:
        return amplitude * std::sin(angle);
    case 2:
        return amplitude * std::cos(angle);
    default:
        return amplitude;
    }
}
} // namespace

std::string LoadExternalMemoryCall(const std::string& path) {
    return "Tarsion.LoadExternalMemory ('" + ScriptStringText(path) + " ' );";
}

std::string LoadExternalMemCall(std::int32_t iKind, std::int32_t qKind, double iAmplitude, double qAmplitude,
                                double samplesPerCycle, double numberOfSamples) {
    return "Tarsion.LoadExternalMem(" + std::to_string(iKind) + "," + std::to_string(qKind) + "," +
           FixedSix(iAmplitude) + "," + FixedSix(qAmplitude) + "," + FixedSix(samplesPerCycle) + "," +
           FixedSix(numberOfSamples) + ");";
}

PatternFile ReadPatternFile(std::istream& in, std::size_t maxPairs) {
    PatternFile file;
    CTextLines lines(in);
    std::string line;
    for (int header = 0; header < kHeaderLines && lines.Next(line); ++header) {
    }
    Form form = Form::Unknown;
    std::size_t number = kHeaderLines;
    while (lines.Next(line)) {
        ++number;
        const std::string_view text = TrimmedText(line);
        if (text.empty())
            continue;
        const bool hex =
            text.find("0x") != std::string_view::npos || text.find("0X") != std::string_view::npos;
        const Form lineForm = hex ? Form::Hex : Form::Real;
        if (form == Form::Unknown)
            form = lineForm;
        SamplePair pair;
        if (lineForm != form || !ReadPair(text, form, pair)) {
            file.formatError = true;
            file.errorLine = number;
            break;
        }
        if (file.pairs.size() == maxPairs) {
            file.tooLarge = true;
            file.errorLine = number;
            break;
        }
        file.pairs.push_back(pair);
    }
    return file;
}

std::int32_t SampleFromReal(double value) {
    double x = value * 32768.0 + 0.5;
    if (!(x < 32768.0))
        x = 32767.0;
    if (x <= -32768.0)
        x = -32767.0;
    return static_cast<std::int32_t>(std::floor(x));
}

std::uint32_t PatternWordFor(std::int32_t sample, bool qWord, std::uint32_t fifoControl) {
    const bool txEnableActiveLow = fifoControl & 0x20;
    const bool iStrobeActiveHigh = fifoControl & 0x10;
    const bool iStrobeLevel = qWord == iStrobeActiveHigh;
    std::uint32_t word = static_cast<std::uint32_t>(sample) & ~0x30000u;
    if (!txEnableActiveLow)
        word |= 0x20000;
    if (iStrobeLevel)
        word |= 0x10000;
    return word;
}

bool CPatternMemory::WriteStart(std::uint32_t start) {
    CBoardLink& link = ops_.Link();
    for (int i = 0; i < 3; ++i) {
        if (!link.WritePldReg(static_cast<std::uint8_t>(pldreg::kPatternStart0 + i),
                              static_cast<std::uint8_t>(start >> (8 * i)))) {
            ops_.Log(kStartFailed, 1);
            return false;
        }
    }
    return true;
}

bool CPatternMemory::WriteSample(const char* logFormat, std::int32_t sample, bool qWord,
                                 std::uint32_t address, bool logSample) {
    if (logSample)
        ops_.Log(FormatText(logFormat, static_cast<unsigned>(sample) & 0xFFFFu), 1);
    if (ops_.Link().WriteExternalMemory(address, PatternWordFor(sample, qWord, fifoControl_)))
        return true;
    ops_.Log(kWordFailed, 1);
    return false;
}

bool CPatternMemory::WritePattern(const std::vector<SamplePair>& pairs, PldGuard& guard,
                                  const std::string& source) {
    ops_.Log("Loading RAM....", 1);
    const std::size_t words = 2 * pairs.size();
    const std::uint32_t start = kPatternMemoryWords - static_cast<std::uint32_t>(words);
    if (!WriteStart(start)) {
        MarkPartlyLoaded(FormatText("partly loaded from %s: start address not written", source.c_str()));
        return false;
    }
    fifoControl_ = ops_.Doc().Shadow().FetchChipReg(chipreg::kFifoControl);
    const bool logSamples = pairs.size() < kLoggedPairs;
    CWordProgress progress(ops_, "Loading RAM", words);
    std::size_t written = 0;
    bool complete = true;
    for (std::size_t k = 0; k < pairs.size() && complete; ++k) {
        const std::uint32_t address = start + static_cast<std::uint32_t>(2 * k);
        complete = WriteSample(" I = %.4x", pairs[k].i, false, address, logSamples) &&
                   progress.Advance(++written) &&
                   WriteSample(" Q = %.4x", pairs[k].q, true, address + 1, logSamples) &&
                   progress.Advance(++written);
    }
    if (complete)
        return true;
    if (!progress.Cancelled()) {
        MarkPartlyLoaded(
            FormatText("partly loaded from %s: %zu of %zu words", source.c_str(), written, words));
        return false;
    }
    // The user stopped it: the board must not go on playing a memory that is half old, half new.
    const std::string cancelled =
        FormatText("Cancelled: the pattern memory holds %zu of %zu words", written, words);
    if (ops_.Link().WritePldReg(pldreg::kPatternSender, 0))
        ops_.Log("Sending stopped", 1);
    else
        ops_.Log(kRestoreFailed, 1);
    if (guard.End(kRestoreFailed))
        ops_.Log(FormatText("DataClk source restored to %s", guard.SavedSourceName()), 1);
    ops_.Log(cancelled, 1);
    ops_.Doc().loaded.SetPartial(ChipMemory::Pattern, {cancelled, true});
    return false;
}

void CPatternMemory::MarkPartlyLoaded(std::string note) {
    ops_.Doc().loaded.SetPartial(ChipMemory::Pattern, {std::move(note), false});
}

bool CPatternMemory::LoadFile(const std::string& file) {
    CTarsionDoc& doc = ops_.Doc();
    const std::string path = ResolveLoaderPath(doc.startDirectory, file);
    ops_.Log("LoadExternalMemory   " + path, 0);
    ops_.Record(LoadExternalMemoryCall(WithForwardSlashes(path)));

    // Read before the guard, so that a pattern too large for the memory is refused with nothing written.
    std::string text;
    const bool opened = ReadRegularFile(path, kPatternFileLimit, text) == FileRead::Ok;
    std::istringstream in(std::move(text));
    const PatternFile contents = ReadPatternFile(in);
    if (contents.tooLarge) {
        ops_.Log(kTooManyPairs, 1);
        return false;
    }
    PldGuard guard(ops_);
    if (!guard.Begin())
        return false;
    if (!opened) {
        ops_.Log(FormatText(kCouldNotOpen, path.c_str()), 1);
        return false;
    }
    ops_.Log("Counting vectors....", 1);
    if (contents.formatError) {
        // Nothing has been written: the memory still holds what it held.
        ops_.Prompt().ShowMessage(std::string(kFormatMessage) + "\n" +
                                  FileLineText(path, contents.errorLine) +
                                  "\nThe pattern memory is unchanged.");
        ops_.Log(kFormatError, 1);
        return false;
    }
    const long words = static_cast<long>(2 * contents.pairs.size());
    ops_.Log(FormatText("%li Vectors Found", words), 1);
    if (!WritePattern(contents.pairs, guard, FileNameOf(path)) || !guard.End(kRestoreFailed))
        return false;
    doc.pattern.fileName = StoredFileName(doc.startDirectory, path);
    doc.loaded.SetPattern({contents.pairs, false, doc.pattern, fifoControl_, {}});
    ops_.Log(FormatText("Loaded  %li  vectors", words), 1);
    return true;
}

void CPatternMemory::RecordImport(const std::vector<SamplePair>& pairs, const std::string& file) {
    CTarsionDoc& doc = ops_.Doc();
    if (!doc.IsRecording())
        return;
    const std::string path = doc.CompanionFileName(".pat");
    std::string error;
    if (WriteCompanionFile(path, PatternFileText(pairs, "Pattern imported from " + file), error))
        ops_.Record(LoadExternalMemoryCall(path));
    else
        ops_.Log("Couldn't write " + path + " for the recording: " + error, 1);
}

bool CPatternMemory::LoadImport(const ImportPreview& preview) {
    ops_.Log("ImportPattern   " + preview.path, 0);
    if (!preview.prepared) {
        ops_.Log(preview.refusal, 1);
        return false;
    }
    const PreparedImport& prepared = *preview.prepared;
    const ImportReport& report = prepared.report;
    RecordImport(prepared.pairs, report.file);
    PldGuard guard(ops_);
    if (!guard.Begin())
        return false;
    const long words = static_cast<long>(2 * prepared.pairs.size());
    ops_.Log(FormatText("%li Vectors Found", words), 1);
    ops_.Log(FormatText("%s, %s, scale %.6g, %zu samples clipped", report.layout.c_str(),
                        ImportScalingName(report.scaling), report.scale, report.clipped),
             1);
    if (!WritePattern(prepared.pairs, guard, report.file) || !guard.End(kRestoreFailed))
        return false;
    CTarsionDoc& doc = ops_.Doc();
    doc.pattern.fileName = StoredFileName(doc.startDirectory, preview.path);
    doc.loaded.SetPattern({prepared.pairs, false, doc.pattern, fifoControl_, {}, true});
    ops_.Log(FormatText("Loaded  %li  vectors", words), 1);
    return true;
}

const char* CPatternMemory::GenerateRefusal(std::int32_t iKind, std::int32_t qKind, double iAmplitude,
                                            double qAmplitude, double samplesPerCycle,
                                            double numberOfSamples) {
    const auto validKind = [](std::int32_t kind) { return kind >= 0 && kind <= 2; };
    if (!validKind(iKind) || !validKind(qKind))
        return kBadKind;
    if (!(samplesPerCycle > 0))
        return kBadSamplesPerCycle;
    if (!(numberOfSamples >= 0 && numberOfSamples <= static_cast<double>(kMaxPatternPairs) &&
          numberOfSamples == std::floor(numberOfSamples)))
        return kBadNumberOfSamples;
    if (!std::isfinite(iAmplitude) || !std::isfinite(qAmplitude))
        return kBadAmplitude;
    return nullptr;
}

bool CPatternMemory::Generate(std::int32_t iKind, std::int32_t qKind, double iAmplitude, double qAmplitude,
                              double samplesPerCycle, double numberOfSamples) {
    ops_.Log("LoadExternalMemory   ", 0);
    ops_.Record(LoadExternalMemCall(iKind, qKind, iAmplitude, qAmplitude, samplesPerCycle, numberOfSamples));
    if (const char* refusal =
            GenerateRefusal(iKind, qKind, iAmplitude, qAmplitude, samplesPerCycle, numberOfSamples)) {
        ops_.Log(refusal, 1);
        return false;
    }
    PldGuard guard(ops_);
    if (!guard.Begin())
        return false;
    std::vector<SamplePair> pairs(static_cast<std::size_t>(numberOfSamples));
    for (std::size_t k = 0; k < pairs.size(); ++k) {
        const double angle = static_cast<double>(2 * k) * kGeneratedPatternPi / samplesPerCycle;
        pairs[k] = {SampleFromReal(Wave(iKind, iAmplitude, angle)),
                    SampleFromReal(Wave(qKind, qAmplitude, angle))};
    }
    if (!WritePattern(pairs, guard, "the generated pattern") || !guard.End(kRestoreFailed))
        return false;
    PatternSettings& settings = ops_.Doc().pattern;
    settings = {iKind, qKind, iAmplitude, qAmplitude, samplesPerCycle, numberOfSamples, kGeneratedPattern};
    const long words = static_cast<long>(2 * pairs.size());
    ops_.Doc().loaded.SetPattern({std::move(pairs), true, settings, fifoControl_, {}});
    ops_.Log(FormatText("Loaded %li  vectors", words), 1);
    return true;
}

bool CBoardOperations::LoadExternalMemory(const std::string& file) {
    Scope scope(*this);
    return CPatternMemory(*this).LoadFile(file);
}

bool CBoardOperations::ImportPattern(const ImportPreview& preview) {
    Scope scope(*this);
    return CPatternMemory(*this).LoadImport(preview);
}

bool CBoardOperations::LoadExternalMem(std::int32_t iKind, std::int32_t qKind, double iAmplitude,
                                       double qAmplitude, double samplesPerCycle, double numberOfSamples) {
    Scope scope(*this);
    return CPatternMemory(*this).Generate(iKind, qKind, iAmplitude, qAmplitude, samplesPerCycle,
                                          numberOfSamples);
}

} // namespace tarsion
