#include "ops/MemoryTransfer.h"

#include "base/ReplacementFile.h"
#include "base/TextHelpers.h"
#include "board/ChipRegisters.h"
#include "ops/BoardOperations.h"
#include "ops/ConstellationRam.h"
#include "ops/MemoryReadBack.h"
#include "ops/PatternMemory.h"
#include "ops/PldGuard.h"
#include "ops/WordProgress.h"

#include <algorithm>
#include <cctype>

namespace tarsion {

namespace {
constexpr const char* kPldRestoreFailed = "Failed to Stop Sending Memory Pattern";

struct MemoryShape {
    const char* name;
    std::uint32_t words;
    std::size_t wordBytes;
};

MemoryShape ShapeOf(ChipMemory memory) {
    switch (memory) {
    case ChipMemory::CoefficientI:
        return {"I", kCoefficientWords, 9};
    case ChipMemory::CoefficientQ:
        return {"Q", kCoefficientWords, 9};
    case ChipMemory::Constellation:
        return {"constellation", CConstellationRam::kEntries, 1};
    case ChipMemory::Pattern:
        break;
    }
    return {"pattern", kPatternMemoryWords, 3};
}

// A caller's name for the log: short, and printable.
std::string Printable(std::string_view text) {
    std::string shown(text.substr(0, 32));
    for (char& c : shown)
        if (!std::isprint(static_cast<unsigned char>(c)))
            c = '?';
    return shown;
}

std::uint32_t PatternWordValue(const MemoryWord& word) {
    return word[0] | (word[1] << 8) | (static_cast<std::uint32_t>(word[2]) << 16);
}

MemoryWord PatternWord(std::uint32_t value) {
    return {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
            static_cast<std::uint8_t>(value >> 16)};
}

// Where a memory call stopped, with the result lines of the call as the reason.
BatchFailure FailureAt(CBoardOperations& ops, std::size_t index) {
    return {index, ops.Outcome().StepResult()};
}
} // namespace

std::optional<ChipMemory> ParseMemoryName(std::string_view which) {
    const auto same = [which](std::string_view name) {
        return std::equal(which.begin(), which.end(), name.begin(), name.end(), [](char a, char b) {
            return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
        });
    };
    for (ChipMemory memory :
         {ChipMemory::CoefficientI, ChipMemory::CoefficientQ, ChipMemory::Constellation, ChipMemory::Pattern})
        if (same(ShapeOf(memory).name))
            return memory;
    return std::nullopt;
}

std::optional<ChipMemory> CMemoryTransfer::Select(std::string_view which, std::uint64_t first,
                                                  std::uint64_t count) {
    const std::optional<ChipMemory> memory = ParseMemoryName(which);
    if (!memory) {
        ops_.Log("Error : Unknown Memory, expected I, Q, constellation or pattern", 1);
        return std::nullopt;
    }
    const MemoryShape shape = ShapeOf(*memory);
    if (first + count > shape.words) {
        ops_.Log(FormatText("Error : Words Outside the Memory of %u Words", shape.words), 1);
        return std::nullopt;
    }
    return memory;
}

BatchOutcome CMemoryTransfer::Read(std::string_view which, std::uint32_t first, std::uint32_t count,
                                   std::vector<MemoryWord>& words) {
    CBoardOperations::Scope scope(ops_);
    words.clear();
    ops_.Log(FormatText("ReadMemory %s %u %u", Printable(which).c_str(), first, count), 0);
    const std::optional<ChipMemory> memory = Select(which, first, count);
    bool read = false;
    if (memory == ChipMemory::CoefficientI || memory == ChipMemory::CoefficientQ)
        read = ReadCoefficients(memory == ChipMemory::CoefficientI ? 0 : 1, first, count, words);
    else if (memory == ChipMemory::Constellation)
        read = ReadConstellation(first, count, words);
    else if (memory == ChipMemory::Pattern)
        read = ReadPattern(first, count, words);
    if (!read) {
        // The first word not read: a pattern read stops at its word, the RAMs are read whole.
        const std::size_t index = words.size();
        words.clear();
        return FailureAt(ops_, index);
    }
    ops_.Log("Done", 1);
    return std::nullopt;
}

bool CMemoryTransfer::ReadCoefficients(int which, std::uint32_t first, std::uint32_t count,
                                       std::vector<MemoryWord>& words) {
    CoefficientRamImage image{};
    if (!ReadCoefficientRam(ops_, which, image))
        return false;
    for (std::uint32_t address = first; address < first + count; ++address)
        words.emplace_back(image[address].begin(), image[address].end());
    return true;
}

bool CMemoryTransfer::ReadConstellation(std::uint32_t first, std::uint32_t count,
                                        std::vector<MemoryWord>& words) {
    ConstellationImage image{};
    if (!ReadConstellationRam(ops_, image))
        return false;
    for (std::uint32_t address = first; address < first + count; ++address)
        words.push_back({image[address]});
    return true;
}

bool CMemoryTransfer::ReadPattern(std::uint32_t first, std::uint32_t count, std::vector<MemoryWord>& words) {
    PldGuard guard(ops_);
    if (!guard.Begin())
        return false;
    words.reserve(count);
    CWordProgress progress(ops_, "ReadMemory", count);
    for (std::uint32_t address = first; address < first + count; ++address) {
        std::uint32_t value = 0;
        if (!ops_.Link().ReadExternalMemory(address, value))
            return false;
        words.push_back(PatternWord(value));
        if (!progress.Advance(words.size())) {
            // The word in hand was read: the reply names the first one that was not.
            return false;
        }
    }
    return guard.End(kPldRestoreFailed);
}

BatchOutcome CMemoryTransfer::Write(std::string_view which, std::uint32_t first,
                                    const std::vector<MemoryWord>& words) {
    CBoardOperations::Scope scope(ops_);
    ops_.Log(FormatText("WriteMemory %s %u %zu", Printable(which).c_str(), first, words.size()), 0);
    std::optional<ChipMemory> memory = Select(which, first, words.size());
    if (memory == ChipMemory::CoefficientI || memory == ChipMemory::CoefficientQ) {
        ops_.Log("Error : Coefficient RAMs are written by LoadCoefficientRam only", 1);
        memory.reset();
    }
    if (!memory)
        return FailureAt(ops_, 0);
    const std::size_t wordBytes = ShapeOf(*memory).wordBytes;
    for (std::size_t index = 0; index < words.size(); ++index) {
        if (words[index].size() != wordBytes) {
            ops_.Log(FormatText("Error : Word %zu Has %zu Bytes, the Memory Takes %zu", index,
                                words[index].size(), wordBytes),
                     1);
            // Checked before the first write: no word was written.
            return FailureAt(ops_, 0);
        }
    }
    std::size_t written = 0;
    const bool whole = *memory == ChipMemory::Constellation ? WriteConstellation(first, words, written)
                                                            : WritePattern(first, words, written);
    if (!whole)
        return FailureAt(ops_, written);
    ops_.Log("Done", 1);
    return std::nullopt;
}

bool CMemoryTransfer::WriteConstellation(std::uint32_t first, const std::vector<MemoryWord>& words,
                                         std::size_t& written) {
    CBoardLink& link = ops_.Link();
    if (!link.WriteChipReg(chipreg::kMemoryControl, CConstellationRam::kSelectForWriting)) {
        ops_.Log(CConstellationRam::kMemoryControlFailed, 1);
        return false;
    }
    for (; written < words.size(); ++written) {
        std::uint8_t entry = words[written][0];
        if (!link.AccessChipMemory(static_cast<std::uint8_t>(first + written), &entry)) {
            ops_.Log(CConstellationRam::kRamAccessFailed, 1);
            return false;
        }
    }
    // Left selected, MemoryControl would route the next chip memory access to this RAM.
    if (!link.WriteChipReg(chipreg::kMemoryControl, CConstellationRam::kNoMemoryAccess)) {
        ops_.Log(CConstellationRam::kMemoryControlFailed, 1);
        return false;
    }

    // What the RAM holds now: the last load with these words over it. With no load to start from,
    // and for the recording's companion file, the RAM is read back.
    CTarsionDoc& doc = ops_.Doc();
    const std::optional<ConstellationImage>& loaded = doc.loaded.Constellation();
    ConstellationImage image = loaded ? *loaded : ConstellationImage{};
    if (!loaded || doc.IsRecording()) {
        ConstellationImage board{};
        if (!ReadConstellationRam(ops_, board))
            return false;
        if (doc.IsRecording())
            RecordConstellation({board.begin(), board.end()});
        if (!loaded)
            image = board;
    }
    for (std::size_t index = 0; index < words.size(); ++index)
        image[first + index] = words[index][0];
    doc.loaded.SetConstellation(image);
    return true;
}

void CMemoryTransfer::RecordConstellation(const std::vector<std::uint8_t>& image) {
    std::string text;
    for (std::size_t address = 0; address < image.size(); ++address)
        text += FormatText("%.2zx%.2x\n", address, image[address]);
    const std::string path = ops_.Doc().CompanionFileName(".hex");
    CReplacementFile file(path);
    if (!file.Commit(text)) {
        ops_.Log("Couldn't write " + path + " for the recording: " + file.Error(), 1);
        return;
    }
    ops_.Record(LoadConstellationRamCall(path));
}

bool CMemoryTransfer::WritePattern(std::uint32_t first, const std::vector<MemoryWord>& words,
                                   std::size_t& written) {
    PldGuard guard(ops_);
    if (!guard.Begin())
        return false;
    CWordProgress progress(ops_, "WriteMemory", words.size());
    bool whole = true;
    for (const MemoryWord& word : words) {
        if (!ops_.Link().WriteExternalMemory(first + static_cast<std::uint32_t>(written),
                                             PatternWordValue(word))) {
            whole = false;
            break;
        }
        if (!progress.Advance(++written)) {
            whole = false;
            break;
        }
    }
    // The words that reached the board are recorded also when a failure or the user stopped the write.
    RecordPattern(first, {words.begin(), words.begin() + static_cast<std::ptrdiff_t>(written)});
    if (!whole)
        return false;
    return guard.End(kPldRestoreFailed);
}

// A write inside the last loaded pattern, of words a pattern load would write, is recorded as the
// load of the changed pattern; any other write as the PLD writes that repeat it word by word.
void CMemoryTransfer::RecordPattern(std::uint32_t first, const std::vector<MemoryWord>& words) {
    CTarsionDoc& doc = ops_.Doc();
    const std::optional<LoadedPattern>& loaded = doc.loaded.Pattern();
    const RegisterShadow& shadow = doc.Shadow();
    const std::uint32_t fifoControl = shadow.FetchChipReg(chipreg::kFifoControl);
    std::optional<std::vector<SamplePair>> pairs;
    if (loaded) {
        const std::uint32_t start =
            kPatternMemoryWords - 2 * static_cast<std::uint32_t>(loaded->pairs.size());
        std::uint32_t shownStart = 0;
        for (int i = 0; i < 3; ++i)
            shownStart |= static_cast<std::uint32_t>(shadow.FetchPldReg(pldreg::kPatternStart0 + i))
                          << (8 * i);
        // A hexadecimal pattern file gives samples of 16 bits without sign: a pattern with negative
        // samples, whose words carry the sign above bit 17, can't be written as one.
        const bool unsigned16 =
            std::all_of(loaded->pairs.begin(), loaded->pairs.end(), [](const SamplePair& pair) {
                return pair.i >= 0 && pair.i <= 0xFFFF && pair.q >= 0 && pair.q <= 0xFFFF;
            });
        // Words of a load with other marker levels would not be what a load writes now.
        if (first >= start && shownStart == start && unsigned16 && fifoControl == loaded->fifoControl) {
            pairs = loaded->pairs;
            for (std::size_t index = 0; index < words.size() && pairs; ++index) {
                const std::uint32_t offset = first + static_cast<std::uint32_t>(index) - start;
                const std::uint32_t value = PatternWordValue(words[index]);
                const std::int32_t sample = static_cast<std::int32_t>(value & 0xFFFF);
                const bool qWord = offset % 2 == 1;
                if (PatternWordFor(sample, qWord, fifoControl) != value)
                    pairs.reset();
                else
                    (qWord ? (*pairs)[offset / 2].q : (*pairs)[offset / 2].i) = sample;
            }
        }
    }
    if (pairs)
        doc.loaded.SetPattern({*pairs, false, doc.pattern, loaded->fifoControl, loaded->writtenSince});
    // Verify compares with the load and every word written since, exactly as written.
    std::vector<std::uint32_t> values;
    values.reserve(words.size());
    for (const MemoryWord& word : words)
        values.push_back(PatternWordValue(word));
    doc.loaded.NotePatternWords(first, values);
    if (!doc.IsRecording())
        return;
    if (pairs) {
        std::string text = "Pattern memory contents, written while recording\n";
        for (int line = 1; line < 7; ++line)
            text += "-\n";
        for (const SamplePair& pair : *pairs)
            text += FormatText("0x%.4x 0x%.4x\n", static_cast<unsigned>(pair.i) & 0xFFFFu,
                               static_cast<unsigned>(pair.q) & 0xFFFFu);
        const std::string path = doc.CompanionFileName(".pat");
        CReplacementFile file(path);
        if (file.Commit(text)) {
            ops_.Record(LoadExternalMemoryCall(path));
            return;
        }
        ops_.Log("Couldn't write " + path + " for the recording: " + file.Error(), 1);
    }
    for (std::size_t index = 0; index < words.size(); ++index) {
        const MemoryWord address = PatternWord((first + static_cast<std::uint32_t>(index)) & ~(1u << 18));
        const std::uint8_t lines[6][2] = {{0, words[index][0]}, {1, words[index][1]}, {2, words[index][2]},
                                          {6, address[0]},      {7, address[1]},      {8, address[2]}};
        for (const auto& line : lines)
            ops_.Record(FormatText("Tarsion.PldWrite ( 0x%.2x,0x%.2x );", line[0], line[1]));
    }
}

BatchOutcome CMemoryTransfer::Verify(std::string_view which, std::vector<MemoryDifference>& differences) {
    differences.clear();
    const std::optional<ChipMemory> memory = ParseMemoryName(which);
    if (!memory) {
        CBoardOperations::Scope scope(ops_);
        ops_.Log(FormatText("Verify %s", Printable(which).c_str()), 0);
        ops_.Log("Error : Unknown Memory, expected I, Q, constellation or pattern", 1);
        return FailureAt(ops_, 0);
    }
    // The views' verifier: one comparison, so both report the same words.
    const VerifyReport report = CMemoryVerifier(ops_).Verify(*memory);
    if (!report.completed)
        return FailureAt(ops_, 0);
    for (const WordMismatch& mismatch : report.mismatches)
        differences.push_back(
            {static_cast<std::uint32_t>(mismatch.address), mismatch.expectedWord, mismatch.readWord});
    return std::nullopt;
}

} // namespace tarsion
