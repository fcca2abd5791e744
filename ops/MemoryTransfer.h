#pragma once

#include "ops/LoadedMemories.h"
#include "ops/RegisterBatch.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarsion {

class CBoardOperations;

// The memory a caller names: "I" and "Q" (coefficient RAMs, 256 words of 9 bytes, byte 0 first),
// "constellation" (256 words of 1 byte) and "pattern" (the pattern memory, 262144 words of 3 bytes,
// least significant first). Names are matched without regard to case.
std::optional<ChipMemory> ParseMemoryName(std::string_view which);

using MemoryWord = std::vector<std::uint8_t>;

// A difference between what a memory was last given and what it holds.
struct MemoryDifference {
    std::uint32_t address = 0;
    MemoryWord expected;
    MemoryWord read;
};

// Memory contents in and out as words, each call one logged operation. Writes (constellation RAM
// and pattern memory only) are recorded as loads of a companion file written beside the recording,
// or, for pattern words no pattern file can describe, as the PLD writes that repeat them.
class CMemoryTransfer {
public:
    explicit CMemoryTransfer(CBoardOperations& ops) : ops_(ops) {}

    BatchOutcome Read(std::string_view which, std::uint32_t first, std::uint32_t count,
                      std::vector<MemoryWord>& words);
    BatchOutcome Write(std::string_view which, std::uint32_t first, const std::vector<MemoryWord>& words);
    // Reads the memory back and compares it with its last load (and the writes since).
    BatchOutcome Verify(std::string_view which, std::vector<MemoryDifference>& differences);

private:
    std::optional<ChipMemory> Select(std::string_view which, std::uint64_t first, std::uint64_t count);
    bool ReadCoefficients(int which, std::uint32_t first, std::uint32_t count,
                          std::vector<MemoryWord>& words);
    bool ReadConstellation(std::uint32_t first, std::uint32_t count, std::vector<MemoryWord>& words);
    bool ReadPattern(std::uint32_t first, std::uint32_t count, std::vector<MemoryWord>& words);
    bool WriteCoefficients(int which, std::uint32_t first, const std::vector<MemoryWord>& words);
    bool WriteConstellation(std::uint32_t first, const std::vector<MemoryWord>& words);
    bool WritePattern(std::uint32_t first, const std::vector<MemoryWord>& words);
    void RecordConstellation(const std::array<std::uint8_t, 256>& image);
    void NotePatternWords(std::uint32_t first, const std::vector<MemoryWord>& words);
    void RecordPattern(std::uint32_t first, const std::vector<MemoryWord>& words);

    CBoardOperations& ops_;
};

} // namespace tarsion
