#include "ops/MemoryTransfer.h"

#include "base/ReplacementFile.h"
#include "base/TextHelpers.h"
#include "board/ChipRegisters.h"
#include "ops/BoardOperations.h"
#include "ops/ConstellationRam.h"
#include "ops/LogCapture.h"
#include "ops/MemoryReadBack.h"
#include "ops/MemoryRestore.h"
#include "ops/PatternMemory.h"
#include "ops/PldGuard.h"
#include "ops/WordProgress.h"

#include <algorithm>
#include <cctype>

namespace tarsion {

namespace {
constexpr const char* kPldRestoreFailed = "Failed to Stop Sending Memory Pattern";
constexpr std::uint32_t kSelectCoefficientI = 0x44;
constexpr std::uint32_t kSelectCoefficientQ = 0x48;
constexpr std::uint32_t kNoMemoryAccess = 0x00;

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

// Hexadecimal text of the read-back report, most significant byte first, as bytes from byte 0 up.
MemoryWord BytesOfText(const std::string& text) {
    MemoryWord bytes;
    for (std::size_t at = text.size(); at >= 2; at -= 2)
        bytes.push_back(static_cast<std::uint8_t>(HexDigit(text[at - 2]) * 16 + HexDigit(text[at - 1])));
    return bytes;
}

BatchFailure FailureAt(std::size_t index, const CLogCapture& capture) {
    return {index, capture.Text()};
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
    CLogCapture capture(ops_.Doc());
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
        words.clear();
        return FailureAt(0, capture);
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
        if (!progress.Advance(words.size()))
            return false;
    }
    return guard.End(kPldRestoreFailed);
}

BatchOutcome CMemoryTransfer::Write(std::string_view which, std::uint32_t first,
                                    const std::vector<MemoryWord>& words) {
    CBoardOperations::Scope scope(ops_);
    CLogCapture capture(ops_.Doc());
    ops_.Log(FormatText("WriteMemory %s %u %zu", Printable(which).c_str(), first, words.size()), 0);
    const std::optional<ChipMemory> memory = Select(which, first, words.size());
    if (!memory)
        return FailureAt(0, capture);
    const std::size_t wordBytes = ShapeOf(*memory).wordBytes;
    for (std::size_t index = 0; index < words.size(); ++index) {
        if (words[index].size() != wordBytes) {
            ops_.Log(FormatText("Error : Word %zu Has %zu Bytes, the Memory Takes %zu", index,
                                words[index].size(), wordBytes),
                     1);
            return FailureAt(index, capture);
        }
    }
    capture.Clear();
    bool written = false;
    switch (*memory) {
    case ChipMemory::CoefficientI:
    case ChipMemory::CoefficientQ:
        written = WriteCoefficients(*memory == ChipMemory::CoefficientI ? 0 : 1, first, words);
        break;
    case ChipMemory::Constellation:
        written = WriteConstellation(first, words);
        break;
    case ChipMemory::Pattern:
        written = WritePattern(first, words);
        break;
    }
    if (!written)
        return FailureAt(words.size(), capture);
    ops_.Log("Done", 1);
    return std::nullopt;
}

bool CMemoryTransfer::WriteConstellation(std::uint32_t first, const std::vector<MemoryWord>& words) {
    CBoardLink& link = ops_.Link();
    if (!link.WriteChipReg(chipreg::kMemoryControl, CConstellationRam::kSelectForWriting)) {
        ops_.Log(CConstellationRam::kMemoryControlFailed, 1);
        return false;
    }
    for (std::size_t index = 0; index < words.size(); ++index) {
        std::uint8_t entry = words[index][0];
        if (!link.AccessChipMemory(static_cast<std::uint8_t>(first + index), &entry)) {
            ops_.Log(CConstellationRam::kRamAccessFailed, 1);
            ops_.Doc().MarkMemoryChanged(ChipMemory::Constellation, "WriteMemory");
            return false;
        }
    }
    link.WriteChipReg(chipreg::kMemoryControl, CConstellationRam::kNoMemoryAccess);

    // What the RAM holds now: the last load with these words over it. With no whole load to start
    // from, and for the recording's companion file, the RAM is read back.
    CTarsionDoc& doc = ops_.Doc();
    const std::optional<ConstellationImage>& loaded = doc.loaded.Constellation();
    const bool known = loaded && !doc.loaded.Partial(ChipMemory::Constellation);
    ConstellationImage image = known ? *loaded : ConstellationImage{};
    if (!known || doc.IsRecording()) {
        ConstellationImage board{};
        if (!ReadConstellationRam(ops_, board))
            return false;
        if (doc.IsRecording())
            RecordConstellation(board);
        if (!known)
            image = board;
    }
    for (std::size_t index = 0; index < words.size(); ++index)
        image[first + index] = words[index][0];
    // What was written is what Verify compares with; the page says the RAM no longer holds its file.
    doc.loaded.RewriteConstellation(image);
    doc.MarkMemoryChanged(ChipMemory::Constellation, "WriteMemory");
    return true;
}

bool CMemoryTransfer::WriteCoefficients(int which, std::uint32_t first,
                                        const std::vector<MemoryWord>& words) {
    CBoardLink& link = ops_.Link();
    const std::uint32_t select = which == 0 ? kSelectCoefficientI : kSelectCoefficientQ;
    if (!link.WriteChipReg(chipreg::kMemoryControl, select)) {
        ops_.Log(FormatText("Failed to Poke MemoryControlRegister with %X", select), 1);
        return false;
    }
    const ChipMemory memory = which == 0 ? ChipMemory::CoefficientI : ChipMemory::CoefficientQ;
    std::vector<CoefficientWord> written;
    for (std::size_t index = 0; index < words.size(); ++index) {
        CoefficientWord word{};
        std::copy(words[index].begin(), words[index].end(), word.begin());
        written.push_back(word);
        if (!link.AccessChipMemory(static_cast<std::uint8_t>(first + index), word.data())) {
            ops_.Log("Failed to Load Coefficient RAMS", 1);
            ops_.Doc().MarkMemoryChanged(memory, "WriteMemory");
            return false;
        }
    }
    link.WriteChipReg(chipreg::kMemoryControl, kNoMemoryAccess);
    CTarsionDoc& doc = ops_.Doc();
    if (doc.IsRecording()) {
        for (const std::string& line : CoefficientWriteLines(which, first, written))
            ops_.Record(line);
    }
    // A RAM loaded in this run keeps its table with the words over it, for Verify and the views.
    if (std::optional<LoadedCoefficients> loaded = doc.loaded.Coefficients(which)) {
        for (std::size_t index = 0; index < written.size(); ++index)
            loaded->words[first + index] = written[index];
        doc.loaded.RewriteCoefficients(which, std::move(*loaded));
    }
    doc.MarkMemoryChanged(memory, "WriteMemory");
    return true;
}

void CMemoryTransfer::RecordConstellation(const ConstellationImage& image) {
    const std::string path = ops_.Doc().CompanionFileName(".hex");
    std::string error;
    if (!WriteCompanionFile(path, ConstellationFileText(image), error)) {
        ops_.Log("Couldn't write " + path + " for the recording: " + error, 1);
        return;
    }
    ops_.Record(LoadConstellationRamCall(path));
}

bool CMemoryTransfer::WritePattern(std::uint32_t first, const std::vector<MemoryWord>& words) {
    PldGuard guard(ops_);
    if (!guard.Begin())
        return false;
    CWordProgress progress(ops_, "WriteMemory", words.size());
    std::size_t written = 0;
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
    const std::vector<MemoryWord> reached(words.begin(),
                                          words.begin() + static_cast<std::ptrdiff_t>(written));
    RecordPattern(first, reached);
    NotePatternWords(first, reached);
    return whole && guard.End(kPldRestoreFailed);
}

// The words go over the last load for Verify and the views: as samples where a pair can hold them,
// word by word where not.
void CMemoryTransfer::NotePatternWords(std::uint32_t first, const std::vector<MemoryWord>& words) {
    CTarsionDoc& doc = ops_.Doc();
    std::optional<LoadedPattern> pattern = doc.loaded.Pattern();
    if (pattern && !doc.loaded.Partial(ChipMemory::Pattern)) {
        const auto start = kPatternMemoryWords - 2 * static_cast<std::uint32_t>(pattern->pairs.size());
        for (std::size_t index = 0; index < words.size(); ++index) {
            const std::uint32_t address = first + static_cast<std::uint32_t>(index);
            if (address < start)
                continue;
            const std::uint32_t value = PatternWordValue(words[index]);
            const bool qWord = (address - start) % 2 == 1;
            SamplePair& pair = pattern->pairs[(address - start) / 2];
            std::int32_t& sample = qWord ? pair.q : pair.i;
            // A sample of a hexadecimal file has nothing above bit 15; a real one carries its sign.
            const std::int32_t plain = static_cast<std::int32_t>(value & 0xFFFF);
            const std::int32_t withSign = static_cast<std::int16_t>(value & 0xFFFF);
            pattern->writtenWords.erase(address);
            if ((PatternWordFor(plain, qWord, pattern->fifoControl) & kPatternWordBits) == value)
                sample = plain;
            else if ((PatternWordFor(withSign, qWord, pattern->fifoControl) & kPatternWordBits) == value)
                sample = withSign;
            else
                pattern->writtenWords[address] = value;
        }
        doc.loaded.RewritePattern(std::move(*pattern));
    }
    doc.MarkMemoryChanged(ChipMemory::Pattern, "WriteMemory");
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
        if (first >= start && shownStart == start && unsigned16 && loaded->writtenWords.empty()) {
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
    if (!doc.IsRecording())
        return;
    if (pairs) {
        const std::string path = doc.CompanionFileName(".pat");
        std::string error;
        if (WriteCompanionFile(
                path, PatternFileText(*pairs, "Pattern memory contents, written while recording"), error)) {
            ops_.Record(LoadExternalMemoryCall(path));
            return;
        }
        ops_.Log("Couldn't write " + path + " for the recording: " + error, 1);
    }
    std::vector<std::uint32_t> values;
    for (const MemoryWord& word : words)
        values.push_back(PatternWordValue(word));
    for (const std::string& line : PatternWriteLines(first, values))
        ops_.Record(line);
}

BatchOutcome CMemoryTransfer::Verify(std::string_view which, std::vector<MemoryDifference>& differences) {
    CLogCapture capture(ops_.Doc());
    differences.clear();
    const std::optional<ChipMemory> memory = ParseMemoryName(which);
    if (!memory) {
        CBoardOperations::Scope scope(ops_);
        ops_.Log(FormatText("Verify %s", Printable(which).c_str()), 0);
        ops_.Log("Error : Unknown Memory, expected I, Q, constellation or pattern", 1);
        return FailureAt(0, capture);
    }
    // The views' verifier: one comparison, so both report the same words.
    const VerifyReport report = CMemoryVerifier(ops_).Verify(*memory);
    if (!report.completed)
        return FailureAt(0, capture);
    for (const WordMismatch& mismatch : report.mismatches)
        differences.push_back({static_cast<std::uint32_t>(mismatch.address), BytesOfText(mismatch.expected),
                               BytesOfText(mismatch.read)});
    return std::nullopt;
}

} // namespace tarsion
