#include "ops/MemoryRestore.h"

#include "base/ReplacementFile.h"
#include "base/TextHelpers.h"
#include "board/ChipRegisters.h"

namespace tarsion {

namespace {
constexpr std::uint32_t kSelectI = 0x44;
constexpr std::uint32_t kSelectQ = 0x48;
constexpr int kPatternHeaderLines = 7;
constexpr int kChunkBytes = 3;
} // namespace

std::string ConstellationFileText(const std::array<std::uint8_t, 256>& image) {
    std::string text;
    for (std::size_t address = 0; address < image.size(); ++address)
        text += FormatText("%.2zx%.2x\n", address, image[address]);
    return text;
}

std::string PatternFileText(const std::vector<SamplePair>& pairs, const std::string& title) {
    std::string text = title + "\n";
    for (int line = 1; line < kPatternHeaderLines; ++line)
        text += "-\n";
    for (const SamplePair& pair : pairs)
        text += FormatText("0x%.4x 0x%.4x\n", static_cast<unsigned>(pair.i) & 0xFFFFu,
                           static_cast<unsigned>(pair.q) & 0xFFFFu);
    return text;
}

std::optional<std::vector<SamplePair>> PatternFilePairs(const std::vector<std::uint32_t>& words,
                                                        std::uint32_t fifoControl) {
    if (words.size() % 2 != 0)
        return std::nullopt;
    std::vector<SamplePair> pairs(words.size() / 2);
    for (std::size_t index = 0; index < words.size(); ++index) {
        const auto sample = static_cast<std::int32_t>(words[index] & 0xFFFF);
        const bool qWord = index % 2 == 1;
        if ((PatternWordFor(sample, qWord, fifoControl) & kPatternWordBits) !=
            (words[index] & kPatternWordBits))
            return std::nullopt;
        (qWord ? pairs[index / 2].q : pairs[index / 2].i) = sample;
    }
    return pairs;
}

std::vector<std::string> PatternWriteLines(std::uint32_t first, const std::vector<std::uint32_t>& words) {
    std::vector<std::string> lines;
    lines.reserve(6 * words.size());
    for (std::size_t index = 0; index < words.size(); ++index) {
        // Bit 18 of the address would make the write a read.
        const std::uint32_t address = (first + static_cast<std::uint32_t>(index)) & ~pldreg::kReadFlag;
        const std::uint32_t word = words[index];
        for (int byte = 0; byte < 3; ++byte)
            lines.push_back(FormatText("Tarsion.PldWrite ( 0x%.2x,0x%.2x );", pldreg::kWriteData0 + byte,
                                       (word >> (8 * byte)) & 0xFF));
        for (int byte = 0; byte < 3; ++byte)
            lines.push_back(FormatText("Tarsion.PldWrite ( 0x%.2x,0x%.2x );", pldreg::kAddress0 + byte,
                                       (address >> (8 * byte)) & 0xFF));
    }
    return lines;
}

std::vector<std::string> PatternStartLines(std::uint32_t start) {
    std::vector<std::string> lines;
    for (int byte = 0; byte < 3; ++byte)
        lines.push_back(FormatText("Tarsion.PldWrite ( 0x%.2x,0x%.2x );", pldreg::kPatternStart0 + byte,
                                   (start >> (8 * byte)) & 0xFF));
    return lines;
}

std::vector<std::string> CoefficientWriteLines(int which, std::uint32_t first,
                                               const std::vector<CoefficientWord>& words) {
    std::vector<std::string> lines;
    lines.push_back(FormatText("Tarsion.Poke ( 0x%.2x,0x%.8x );", chipreg::kMemoryControl,
                               which == 0 ? kSelectI : kSelectQ));
    for (std::size_t index = 0; index < words.size(); ++index) {
        const unsigned address = (first + static_cast<unsigned>(index)) & 0xFF;
        // Bridge registers 0..2 take the chunk, 3 the RAM address, 4 the MemoryLoadStrobe command.
        for (int chunk = 0; chunk < 3; ++chunk) {
            for (int byte = 0; byte < kChunkBytes; ++byte)
                lines.push_back(
                    FormatText("Tarsion.Write ( 0x%.2x,0x%.2x );", byte,
                               words[index][static_cast<std::size_t>(kChunkBytes * chunk + byte)]));
            lines.push_back(FormatText("Tarsion.Write ( 0x03,0x%.2x );", address));
            lines.push_back(FormatText("Tarsion.Write ( 0x%.2x,0x%.2x );", bridgereg::kChipWriteAddress,
                                       chipreg::kMemoryLoadStrobe));
        }
    }
    lines.push_back(FormatText("Tarsion.Poke ( 0x%.2x,0x%.8x );", chipreg::kMemoryControl, 0u));
    return lines;
}

bool WriteCompanionFile(const std::string& path, const std::string& text, std::string& error) {
    CReplacementFile file(path);
    if (file.Commit(text))
        return true;
    error = file.Error();
    return false;
}

} // namespace tarsion
