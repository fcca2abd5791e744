#include "ops/MemoryReadBack.h"

#include "base/RegularFile.h"
#include "base/TextHelpers.h"
#include "board/ChipRegisters.h"
#include "ops/BoardOperations.h"
#include "ops/ConstellationRam.h"
#include "ops/FilePaths.h"
#include "ops/PldGuard.h"
#include "ops/WordProgress.h"

#include <algorithm>
#include <ctime>
#include <sstream>

namespace tarsion {

namespace {
constexpr std::uint32_t kReadI = 0x24;
constexpr std::uint32_t kReadQ = 0x28;
constexpr std::uint32_t kNoAccess = 0x00;
constexpr const char* kNoBoard = "Demo Mode: there is no board to read back";

std::uint8_t* Bytes(CoefficientWord& word) {
    return word.data();
}

std::uint8_t* Bytes(std::uint8_t& entry) {
    return &entry;
}

template <class Image>
bool ReadMemory(CBoardOperations& ops, std::uint32_t selection, Image& image, const char* selectFailed,
                const char* readFailed) {
    CBoardLink& link = ops.Link();
    if (!link.WriteChipReg(chipreg::kMemoryControl, selection)) {
        ops.Log(selectFailed, 1);
        return false;
    }
    for (std::size_t address = 0; address < image.size(); ++address) {
        image[address] = {};
        if (!link.AccessChipMemory(static_cast<std::uint8_t>(address), Bytes(image[address]))) {
            ops.Log(readFailed, 1);
            return false;
        }
    }
    // Left selected, MemoryControl would route the next chip memory access to this RAM.
    if (!link.WriteChipReg(chipreg::kMemoryControl, kNoAccess)) {
        ops.Log(selectFailed, 1);
        return false;
    }
    return true;
}

// Bytes 8 down to 0 of a coefficient word, as the RAM image files show them.
std::string WordText(const CoefficientWord& word) {
    std::string text;
    for (int byte = 8; byte >= 0; --byte)
        text += FormatText("%.2x", word[byte]);
    return text;
}

std::string WordText(std::uint8_t entry) {
    return FormatText("%.2x", entry);
}

MemoryWord WordBytes(const CoefficientWord& word) {
    return {word.begin(), word.end()};
}

MemoryWord WordBytes(std::uint8_t entry) {
    return {entry};
}

// A pattern word: 24 bits, least significant byte first.
MemoryWord PatternWordBytes(std::uint32_t word) {
    return {static_cast<std::uint8_t>(word), static_cast<std::uint8_t>(word >> 8),
            static_cast<std::uint8_t>(word >> 16)};
}

template <class Image>
void Compare(const Image& expected, const Image& read, VerifyReport& report) {
    for (std::size_t address = 0; address < expected.size(); ++address) {
        if (read[address] != expected[address])
            report.mismatches.push_back({static_cast<int>(address), WordText(expected[address]),
                                         WordText(read[address]), WordBytes(expected[address]),
                                         WordBytes(read[address])});
    }
}

bool ReadFileText(CBoardOperations& ops, const std::string& file, std::size_t limit, std::string& text) {
    const std::string path = ResolveLoaderPath(ops.Doc().startDirectory, file);
    if (ReadRegularFile(path, limit, text) == FileRead::Ok)
        return true;
    ops.Log(FormatText("Could Not Open File %s", path.c_str()), 1);
    return false;
}

const char* VerifyName(ChipMemory memory) {
    switch (memory) {
    case ChipMemory::CoefficientI:
        return "VerifyCoefficientRam I";
    case ChipMemory::CoefficientQ:
        return "VerifyCoefficientRam Q";
    case ChipMemory::Constellation:
        return "VerifyConstellationRam";
    case ChipMemory::Pattern:
        break;
    }
    return "VerifyExternalMemory";
}
} // namespace

const char* ChipMemoryName(ChipMemory memory) {
    switch (memory) {
    case ChipMemory::CoefficientI:
        return "I Coefficient RAM";
    case ChipMemory::CoefficientQ:
        return "Q Coefficient RAM";
    case ChipMemory::Constellation:
        return "Constellation RAM";
    case ChipMemory::Pattern:
        break;
    }
    return "Pattern Memory";
}

bool ReadCoefficientRam(CBoardOperations& ops, int which, CoefficientRamImage& words) {
    constexpr const char* kAccessFailed = "Couldn't Access Coefficient Memory";
    return ReadMemory(ops, which == 0 ? kReadI : kReadQ, words, kAccessFailed, kAccessFailed);
}

bool ReadConstellationRam(CBoardOperations& ops, ConstellationImage& entries) {
    return ReadMemory(ops, CConstellationRam::kSelectForReading, entries,
                      CConstellationRam::kMemoryControlFailed, CConstellationRam::kRamAccessFailed);
}

bool ReadPatternWords(CBoardOperations& ops, std::uint32_t start, std::size_t count,
                      std::vector<std::uint32_t>& words) {
    PldGuard guard(ops);
    if (!guard.Begin())
        return false;
    words.assign(count, 0);
    bool read = true;
    {
        // A full memory takes about a minute on a real port.
        CWordProgress progress(ops, "Reading the pattern memory", count);
        for (std::size_t k = 0; k < count && read; ++k)
            read = ops.Link().ReadExternalMemory(start + static_cast<std::uint32_t>(k), words[k]) &&
                   progress.Advance(k + 1);
    }
    // DataClk goes back to its source also after a cancel or a failed word.
    return guard.End("Failed ") && read;
}

std::vector<SamplePair> PairsOfWords(const std::vector<std::uint32_t>& words) {
    std::vector<SamplePair> pairs(words.size() / 2);
    for (std::size_t k = 0; k < pairs.size(); ++k)
        pairs[k] = {static_cast<std::int16_t>(words[2 * k] & 0xFFFF),
                    static_cast<std::int16_t>(words[2 * k + 1] & 0xFFFF)};
    return pairs;
}

std::string ReadTimeText() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[16];
    return std::string(text, std::strftime(text, sizeof text, "%H:%M:%S", &local));
}

bool CMemoryReader::Read(ChipMemory memory) {
    if (ops_.IsBusy())
        return false;
    CBoardOperations::Scope scope(ops_);
    ops_.Log(std::string("Read from Board: ") + ChipMemoryName(memory), 0);
    if (ops_.Link().IsDemo()) {
        ops_.Log(kNoBoard, 1);
        return false;
    }
    bool read = false;
    LoadedMemories& loaded = ops_.Doc().loaded;
    switch (memory) {
    case ChipMemory::CoefficientI:
    case ChipMemory::CoefficientQ: {
        const int which = memory == ChipMemory::CoefficientI ? 0 : 1;
        CoefficientRamImage words{};
        read = ReadCoefficientRam(ops_, which, words);
        if (read)
            loaded.SetCoefficientsRead(which, {words, ReadTimeText()});
        break;
    }
    case ChipMemory::Constellation: {
        ConstellationImage entries{};
        read = ReadConstellationRam(ops_, entries);
        if (read)
            loaded.SetConstellationRead({entries, ReadTimeText()});
        break;
    }
    case ChipMemory::Pattern:
        read = ReadPattern();
        break;
    }
    ops_.Log(read ? "Done" : "Failed", 1);
    ops_.Doc().UpdateAllViews();
    return read;
}

bool CMemoryReader::ReadPattern() {
    std::uint32_t start = 0;
    for (int i = 0; i < 3; ++i) {
        std::uint8_t byte = 0;
        if (!ops_.Link().ReadPldReg(static_cast<std::uint8_t>(pldreg::kPatternStart0 + i), byte)) {
            ops_.Log("Couldn't Read the Start Address", 1);
            return false;
        }
        start |= static_cast<std::uint32_t>(byte) << (8 * i);
    }
    // A start beyond the top holds no pattern; an odd one can't start a pair.
    start = std::min(start + (start & 1), kPatternMemoryWords);
    const std::size_t count = kPatternMemoryWords - start;
    ops_.Log(FormatText("Start Address %.5x : %zu words", start, count), 1);
    std::vector<std::uint32_t> words;
    if (!ReadPatternWords(ops_, start, count, words))
        return false;
    ops_.Doc().loaded.SetPatternRead({{start, PairsOfWords(words), words}, ReadTimeText()});
    return true;
}

VerifyReport CMemoryVerifier::Verify(ChipMemory memory) {
    // A click that arrives while an operation waits in a dialog must not cut into its transfers.
    if (ops_.IsBusy())
        return {};
    CBoardOperations::Scope scope(ops_);
    ops_.Log(VerifyName(memory), 0);
    const LoadedMemories& loaded = ops_.Doc().loaded;
    VerifyReport report;
    switch (memory) {
    case ChipMemory::CoefficientI:
    case ChipMemory::CoefficientQ: {
        const int which = memory == ChipMemory::CoefficientI ? 0 : 1;
        const std::optional<LoadedCoefficients>& last = loaded.Coefficients(which);
        report = VerifyCoefficients(which, last ? &last->words : nullptr);
        break;
    }
    case ChipMemory::Constellation: {
        const std::optional<ConstellationImage>& last = loaded.Constellation();
        report = VerifyConstellation(last ? &*last : nullptr);
        break;
    }
    case ChipMemory::Pattern: {
        const std::optional<LoadedPattern>& last = loaded.Pattern();
        report = VerifyPattern(last ? &last->pairs : nullptr, last ? last->fifoControl : 0,
                               last ? &last->writtenWords : nullptr);
        break;
    }
    }
    // Words that differ from what was written were changed behind the program's back.
    if (report.completed && !report.mismatches.empty())
        ops_.Doc().MarkMemoryChanged(memory, "Verify", true);
    return Finish(memory, report);
}

VerifyReport CMemoryVerifier::Verify(ChipMemory memory, const std::string& file) {
    if (ops_.IsBusy())
        return {};
    CBoardOperations::Scope scope(ops_);
    ops_.Log(std::string(VerifyName(memory)) + "   " + file, 0);
    std::string text;
    VerifyReport report;
    if (!ReadFileText(ops_, file, memory == ChipMemory::Pattern ? kPatternFileLimit : kLoaderFileLimit, text))
        return Finish(memory, report);
    std::istringstream in(std::move(text));
    switch (memory) {
    case ChipMemory::CoefficientI:
    case ChipMemory::CoefficientQ: {
        const std::optional<CoefficientRamImage> image = ReadRamImage(in);
        if (!image)
            ops_.Log("Not a RAM image file: expected two header lines and 256 words", 1);
        report = VerifyCoefficients(memory == ChipMemory::CoefficientI ? 0 : 1, image ? &*image : nullptr);
        break;
    }
    case ChipMemory::Constellation: {
        const ConstellationFile contents = ReadConstellationFile(in);
        const ConstellationImage image = ConstellationImageOf(contents.entries);
        if (contents.formatError)
            ops_.Log("Incorrect Constellation file format", 1);
        report = VerifyConstellation(contents.formatError ? nullptr : &image);
        break;
    }
    case ChipMemory::Pattern: {
        const PatternFile contents = ReadPatternFile(in);
        if (contents.formatError || contents.tooLarge)
            ops_.Log("Incorrect File Format; File must be either Hex or Floating Point", 1);
        report = VerifyPattern(contents.formatError || contents.tooLarge ? nullptr : &contents.pairs,
                               ops_.Doc().Shadow().FetchChipReg(chipreg::kFifoControl));
        break;
    }
    }
    return Finish(memory, report);
}

bool CMemoryVerifier::CanVerify(bool loaded) {
    if (!loaded) {
        ops_.Log("Nothing loaded into this memory yet: nothing to compare with", 1);
        return false;
    }
    // In demo mode no word is read: the comparison would only show zeros.
    if (ops_.Link().IsDemo()) {
        ops_.Log(kNoBoard, 1);
        return false;
    }
    return true;
}

VerifyReport CMemoryVerifier::VerifyCoefficients(int which, const CoefficientRamImage* expected) {
    VerifyReport report;
    report.words = kCoefficientWords;
    if (!CanVerify(expected != nullptr))
        return report;
    CoefficientRamImage read{};
    if (!ReadCoefficientRam(ops_, which, read))
        return report;
    ops_.Doc().loaded.SetCoefficientsRead(which, {read, ReadTimeText()});
    Compare(*expected, read, report);
    report.completed = true;
    return report;
}

VerifyReport CMemoryVerifier::VerifyConstellation(const ConstellationImage* expected) {
    VerifyReport report;
    report.words = static_cast<int>(ConstellationImage().size());
    if (!CanVerify(expected != nullptr))
        return report;
    ConstellationImage read{};
    if (!ReadConstellationRam(ops_, read))
        return report;
    ops_.Doc().loaded.SetConstellationRead({read, ReadTimeText()});
    Compare(*expected, read, report);
    report.completed = true;
    return report;
}

VerifyReport CMemoryVerifier::VerifyPattern(const std::vector<SamplePair>* pairs, std::uint32_t fifoControl,
                                            const std::map<std::uint32_t, std::uint32_t>* writtenWords) {
    VerifyReport report;
    if (!CanVerify(pairs != nullptr))
        return report;
    // A word expected nowhere: the memory holds 24 bits a word.
    constexpr std::uint32_t kNone = 0xFFFFFFFF;
    const auto start = static_cast<std::uint32_t>(kPatternMemoryWords - 2 * pairs->size());
    // Words written below the pattern count too: the read starts at the lowest of them.
    const std::uint32_t first =
        writtenWords && !writtenWords->empty() ? std::min(start, writtenWords->begin()->first) : start;
    std::vector<std::uint32_t> expected(kPatternMemoryWords - first, kNone);
    for (std::size_t k = 0; k < pairs->size(); ++k) {
        expected[start - first + 2 * k] =
            PatternWordFor((*pairs)[k].i, false, fifoControl) & kPatternWordBits;
        expected[start - first + 2 * k + 1] =
            PatternWordFor((*pairs)[k].q, true, fifoControl) & kPatternWordBits;
    }
    if (writtenWords) {
        for (const auto& [address, value] : *writtenWords)
            expected[address - first] = value & kPatternWordBits;
    }
    report.words = static_cast<int>(
        std::count_if(expected.begin(), expected.end(), [](std::uint32_t word) { return word != kNone; }));
    std::vector<std::uint32_t> read;
    if (!ReadPatternWords(ops_, first, expected.size(), read))
        return report;
    std::vector<std::uint32_t> pattern(read.begin() + (start - first), read.end());
    std::vector<SamplePair> readPairs = PairsOfWords(pattern);
    ops_.Doc().loaded.SetPatternRead({{start, std::move(readPairs), std::move(pattern)}, ReadTimeText()});
    for (std::size_t k = 0; k < expected.size(); ++k) {
        const std::uint32_t word = read[k] & kPatternWordBits;
        if (expected[k] != kNone && word != expected[k])
            report.mismatches.push_back({static_cast<int>(first + k), FormatText("%.6x", expected[k]),
                                         FormatText("%.6x", word), PatternWordBytes(expected[k]),
                                         PatternWordBytes(word)});
    }
    report.completed = true;
    return report;
}

VerifyReport CMemoryVerifier::Finish(ChipMemory memory, VerifyReport report) {
    if (!report.completed) {
        report.summary = "Not verified";
        ops_.Log("Failed", 1);
    } else {
        for (const WordMismatch& mismatch : report.mismatches)
            ops_.Log(FormatText("Address %.2x : expected %s read %s", mismatch.address,
                                mismatch.expected.c_str(), mismatch.read.c_str()),
                     1);
        report.summary = report.mismatches.empty()
                             ? FormatText("all %d words match", report.words)
                             : FormatText("%zu of %d words differ", report.mismatches.size(), report.words);
        ops_.Log(report.summary, 1);
    }
    ops_.Doc().loaded.SetVerifyReport(memory, report);
    // The views show the report; nothing else notifies them after the last log line.
    ops_.Doc().UpdateAllViews();
    return report;
}

} // namespace tarsion
