#pragma once

#include "ops/CoefficientTable.h"
#include "ops/PatternMemory.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tarsion {

// Script lines that put given memory contents back: what the recorder writes for memory writes, Save
// Configuration for memories read from the board, and an import for the pattern it wrote. Where the
// contents fit a loader's file format the lines load a file written beside the script; otherwise they
// are the register writes that repeat the words.

// A whole constellation RAM as a constellation file: "%.2x%.2x" (address, entry) per line.
std::string ConstellationFileText(const std::array<std::uint8_t, 256>& image);
// A hexadecimal pattern file of these pairs (each sample's low 16 bits), its first line `title`.
std::string PatternFileText(const std::vector<SamplePair>& pairs, const std::string& title);
// The pairs whose load from a hexadecimal pattern file gives exactly `words` from the memory's top
// down, with chip register 0x02 at `fifoControl`; empty when no such file exists (a sample with its
// sign above bit 17, marker bits of another polarity).
std::optional<std::vector<SamplePair>> PatternFilePairs(const std::vector<std::uint32_t>& words,
                                                        std::uint32_t fifoControl);
// PldWrite lines writing the words from `first` on, six a word.
std::vector<std::string> PatternWriteLines(std::uint32_t first, const std::vector<std::uint32_t>& words);
// PldWrite lines setting the start address of the played pattern.
std::vector<std::string> PatternStartLines(std::uint32_t start);
// Poke and Write lines writing coefficient words from `first` on into RAM `which` (0 I, 1 Q): the
// RAM selected, three MemoryLoadStrobe commands through the bridge a word, the selection cleared.
std::vector<std::string> CoefficientWriteLines(int which, std::uint32_t first,
                                               const std::vector<CoefficientWord>& words);

// Writes a companion file whole; false with the reason in `error`.
bool WriteCompanionFile(const std::string& path, const std::string& text, std::string& error);

} // namespace tarsion
