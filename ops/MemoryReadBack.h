#pragma once

#include "ops/LoadedMemories.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace tarsion {

class CBoardOperations;

// Read a RAM back the way the dumps do: MemoryControl selects it for reading (0x24 I, 0x28 Q,
// 0x30 constellation), every address is read in order, and MemoryControl is cleared once all were.
// False when a step failed; the failure is logged at indent 1.
bool ReadCoefficientRam(CBoardOperations& ops, int which, CoefficientRamImage& words);
bool ReadConstellationRam(CBoardOperations& ops, ConstellationImage& entries);
// Words [start, start + count) of the pattern memory under the PLD guard, word by word with Cancel.
bool ReadPatternWords(CBoardOperations& ops, std::uint32_t start, std::size_t count,
                      std::vector<std::uint32_t>& words);
// The pairs of words read from an even start: bits 15..0 of each word are the sample.
std::vector<SamplePair> PairsOfWords(const std::vector<std::uint32_t>& words);

// "I Coefficient RAM", "Constellation RAM", "Pattern Memory".
const char* ChipMemoryName(ChipMemory memory);

// The local time of a read, as the views label it.
std::string ReadTimeText();

// Reads a memory back into the document for the views, with the time of the read. The pattern
// memory is read from the start address its PLD registers hold to its top.
class CMemoryReader {
public:
    explicit CMemoryReader(CBoardOperations& ops) : ops_(ops) {}
    bool Read(ChipMemory memory);

private:
    bool ReadPattern();

    CBoardOperations& ops_;
};

// Reads a memory back and compares it with its last load, or with a file (a RAM image file as the
// loads and dumps write it, a constellation file or a pattern file), in the log and in the document.
class CMemoryVerifier {
public:
    explicit CMemoryVerifier(CBoardOperations& ops) : ops_(ops) {}
    VerifyReport Verify(ChipMemory memory);
    VerifyReport Verify(ChipMemory memory, const std::string& file);

private:
    bool CanVerify(bool loaded);
    VerifyReport VerifyCoefficients(int which, const CoefficientRamImage* expected);
    VerifyReport VerifyConstellation(const ConstellationImage* expected);
    VerifyReport VerifyPattern(const std::vector<SamplePair>* pairs, std::uint32_t fifoControl,
                               const std::map<std::uint32_t, std::uint32_t>* writtenWords = nullptr);
    VerifyReport Finish(ChipMemory memory, VerifyReport report);

    CBoardOperations& ops_;
};

} // namespace tarsion
