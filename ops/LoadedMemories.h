#pragma once

#include "ops/CoefficientRam.h"
#include "ops/DocumentSettings.h"
#include "ops/PatternMemory.h"

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tarsion {

// The memories of the chip and the board: loaded, read and written, read back and compared with
// what was loaded.
enum class ChipMemory { CoefficientI = 0, CoefficientQ = 1, Constellation = 2, Pattern = 3 };
inline constexpr std::size_t kChipMemories = 4;

// One word of a memory as bytes, byte 0 (the least significant) first.
using MemoryWord = std::vector<std::uint8_t>;

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
    // Chip register 0x02 at the load: the marker bits of every word.
    std::uint32_t fifoControl = 0;
    // Words written after the load that no sample pair describes (address, 24 bits), inside the
    // pattern or below it.
    std::map<std::uint32_t, std::uint32_t> writtenWords;
    // Imported from a CSV, NumPy or WAV file: restored from a pattern file of its pairs.
    bool imported = false;
};

// What a memory held when it was read back, and the local time of the read ("14:03:27").
template <class Contents>
struct ReadBack {
    Contents contents;
    std::string readAt;
};
// The used region of the pattern memory: from the start address in PLD registers 9..11 to the top.
struct PatternReadBack {
    std::uint32_t start = kPatternMemoryWords;
    std::vector<SamplePair> pairs;
    // The words as read, all 24 bits.
    std::vector<std::uint32_t> words;
};

// How a load that stopped part way left its memory; it matches no file until a load succeeds.
struct PartialLoad {
    std::string note; // "partly loaded from bad.hex, line 2"
    bool cancelled = false;
};

// A memory changed after its last load by something other than a load: a WriteMemory, a console
// write, or a difference Verify found. Like a partial load, it matches no file until a load succeeds.
struct MemoryChange {
    std::string since; // "since qam16.hex was loaded"
    std::string how;   // "WriteMemory"
    std::string at;    // local time, "12:03:10"
    // "changed since qam16.hex was loaded (WriteMemory 12:03:10)"
    std::string Note() const { return "changed " + since + " (" + how + " " + at + ")"; }
};

// One address whose read-back differs from what was loaded: the words, and as the log shows them
// (hexadecimal, most significant byte first).
struct WordMismatch {
    int address = 0;
    std::string expected;
    std::string read;
    MemoryWord expectedWord;
    MemoryWord readWord;
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
    const std::optional<VerifyReport>& LastVerify(ChipMemory memory) const { return verify_[Slot(memory)]; }
    const std::optional<PartialLoad>& Partial(ChipMemory memory) const { return partial_[Slot(memory)]; }
    const std::optional<MemoryChange>& Change(ChipMemory memory) const { return change_[Slot(memory)]; }
    // Why the memory matches no file (a partial load or a change), for the page and the views;
    // empty while it holds its last load.
    std::optional<std::string> MismatchNote(ChipMemory memory) const;
    // Whether the memory holds what a load of this run put there: a configuration can restore it.
    bool HoldsItsLoad(ChipMemory memory) const;
    const std::optional<ReadBack<CoefficientRamImage>>& CoefficientsRead(int which) const {
        return coefficientsRead_[Index(which)];
    }
    const std::optional<ReadBack<ConstellationImage>>& ConstellationRead() const {
        return constellationRead_;
    }
    const std::optional<ReadBack<PatternReadBack>>& PatternRead() const { return patternRead_; }
    std::uint64_t Generation() const { return generation_; }

    // A new load makes an earlier verification, read-back or partial load of that memory meaningless.
    void SetCoefficients(int which, LoadedCoefficients loaded);
    void SetConstellation(const ConstellationImage& entries);
    void SetPattern(LoadedPattern loaded);
    // Words written over a load: the expected contents change, the marks stay.
    void RewriteCoefficients(int which, LoadedCoefficients written);
    void RewriteConstellation(const ConstellationImage& entries);
    void RewritePattern(LoadedPattern written);
    void SetVerifyReport(ChipMemory memory, VerifyReport report);
    void SetPartial(ChipMemory memory, PartialLoad partial);
    // Marks a change made now by `how` ("WriteMemory", "console", "Verify"); `loadedFile` is the name
    // of the memory's last load ("" when it had none in this run). Keeps what was written; an earlier
    // read-back no longer shows the memory unless `readStillHolds` (Verify's own read).
    void MarkChanged(ChipMemory memory, const std::string& loadedFile, const std::string& how,
                     bool readStillHolds = false);
    void SetCoefficientsRead(int which, ReadBack<CoefficientRamImage> read);
    void SetConstellationRead(ReadBack<ConstellationImage> read);
    void SetPatternRead(ReadBack<PatternReadBack> read);

private:
    static std::size_t Index(int which) { return which == 0 ? 0 : 1; }
    static std::size_t Slot(ChipMemory memory) { return static_cast<std::size_t>(memory); }
    void Loaded(ChipMemory memory);
    void Rewritten(ChipMemory memory);
    void ForgetRead(ChipMemory memory);

    std::array<std::optional<LoadedCoefficients>, 2> coefficients_;
    std::optional<ConstellationImage> constellation_;
    std::optional<LoadedPattern> pattern_;
    std::array<std::optional<VerifyReport>, kChipMemories> verify_;
    std::array<std::optional<PartialLoad>, kChipMemories> partial_;
    std::array<std::optional<MemoryChange>, kChipMemories> change_;
    std::array<std::optional<ReadBack<CoefficientRamImage>>, 2> coefficientsRead_;
    std::optional<ReadBack<ConstellationImage>> constellationRead_;
    std::optional<ReadBack<PatternReadBack>> patternRead_;
    std::uint64_t generation_ = 0;
};

} // namespace tarsion
