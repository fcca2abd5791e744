#pragma once

#include <cstddef>
#include <cstdint>
#include <istream>
#include <string>
#include <vector>

namespace tarsion {

class CBoardOperations;
class PldGuard;
struct ImportPreview;

// Both samples of one pair as signed 32-bit integers; bits 15..0 go to Din[15:0].
struct SamplePair {
    std::int32_t i = 0;
    std::int32_t q = 0;
};

// A pattern file as read. Reading stops at the first line that can't be a pair line, and once
// more pairs than the memory holds have been seen.
struct PatternFile {
    std::vector<SamplePair> pairs;
    bool formatError = false;
    bool tooLarge = false;
    std::size_t errorLine = 0; // the line (from 1) that stopped the reading
};

inline constexpr std::uint32_t kPatternMemoryWords = 0x40000;
// The memory holds 24 bits a word: the sample with its sign above bit 17 and the two marker bits.
inline constexpr std::uint32_t kPatternWordBits = 0xFFFFFF;
// The value generated patterns take for pi: one cycle spans a little more than samplesPerCycle pairs.
inline constexpr double kGeneratedPatternPi = 3.1416;
inline constexpr std::size_t kMaxPatternPairs = kPatternMemoryWords / 2;

// Seven header lines, then one pair line per non-blank line: two hexadecimal numbers when the
// line holds "0x" or "0X" (each keeps its low 16 bits), else two real numbers (full scale 1.0).
// The first pair line sets the form of the whole file; a line of the other form, or one whose
// two numbers can't be read in that form, is a format error.
PatternFile ReadPatternFile(std::istream& in, std::size_t maxPairs = kMaxPatternPairs);

// The 16-bit two's complement sample of a real value; full scale is +-1.0, clipped at +-32767.
std::int32_t SampleFromReal(double value);
// The memory word of a sample: bit 17 TxEnable, bit 16 iStrobe, at the levels that the polarity
// bits 5 and 4 of chip register 0x02 ask for (TxEnable on every word, iStrobe on the Q word).
std::uint32_t PatternWordFor(std::int32_t sample, bool qWord, std::uint32_t fifoControl);

// Script calls that repeat a load; recorded, and written by the configuration script.
std::string LoadExternalMemoryCall(const std::string& path);
std::string LoadExternalMemCall(std::int32_t iKind, std::int32_t qKind, double iAmplitude, double qAmplitude,
                                double samplesPerCycle, double numberOfSamples);

// Loads the external pattern memory from a pattern file or from a generated DC, sine or cosine
// pattern. The pattern fills the top of the memory and ends at its last word.
class CPatternMemory {
public:
    explicit CPatternMemory(CBoardOperations& ops) : ops_(ops) {}

    bool LoadFile(const std::string& file);
    // Writes an imported pattern as a pattern file is loaded; a refused import writes nothing.
    bool LoadImport(const ImportPreview& preview);
    bool Generate(std::int32_t iKind, std::int32_t qKind, double iAmplitude, double qAmplitude,
                  double samplesPerCycle, double numberOfSamples);

private:
    // Reasons a generated pattern is refused before anything is written; empty when it's sound.
    static const char* GenerateRefusal(std::int32_t iKind, std::int32_t qKind, double iAmplitude,
                                       double qAmplitude, double samplesPerCycle, double numberOfSamples);
    // Writes the pairs between the guard's start and end. A cancel stops the sender and restores
    // DataClk; a failure or a cancel marks the memory as partly loaded from `source`.
    bool WritePattern(const std::vector<SamplePair>& pairs, PldGuard& guard, const std::string& source);
    void MarkPartlyLoaded(std::string note);
    // Records an import as the load of a pattern file of its words, written beside the recording.
    void RecordImport(const std::vector<SamplePair>& pairs, const std::string& file);
    bool WriteStart(std::uint32_t start);
    bool WriteSample(const char* logFormat, std::int32_t sample, bool qWord, std::uint32_t address,
                     bool logSample);

    CBoardOperations& ops_;
    std::uint32_t fifoControl_ = 0;
};

} // namespace tarsion
