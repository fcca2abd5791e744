#pragma once

#include "registers/RegisterFieldTable.h"
#include "registers/RegisterSnapshot.h"
#include "registers/SettingCompare.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tarsion {

class CBoardOperations;

// One field of two board settings side by side, in the page's units and as raw register words.
struct CompareRow {
    const RegisterField* field = nullptr;
    // The bits the row stands for: the field's, or for a whole register the bits no field covers.
    std::uint32_t mask = 0;
    std::string registerName;
    std::string before;
    std::string after;
    std::uint32_t rawBefore = 0;
    std::uint32_t rawAfter = 0;
    bool differs = false;
};

// A row per field of every register the two hold, in page order; equal fields only when asked.
// A field shown on two pages counts once.
std::vector<CompareRow> CompareSnapshots(const CRegisterSnapshot& before, const CRegisterSnapshot& after,
                                         bool includeEqual);

// What the Compare view lists: the register fields, then the memory-load settings.
struct BoardComparison {
    std::vector<CompareRow> registers;
    std::vector<SettingRow> settings;
    std::size_t Differing() const;
};
BoardComparison CompareBoards(const CRegisterSnapshot& before, const CRegisterSnapshot& after,
                              bool includeEqual);

// The register word a snapshot holds, none for a register it does not keep.
std::optional<std::uint32_t> SnapshotWord(const CRegisterSnapshot& snapshot, RegisterSpace space,
                                          std::uint8_t reg);

// Writes `value`'s bits of the row into the board's register: one Poke, Write or PldWrite.
bool ApplyCompareRow(CBoardOperations& ops, const CompareRow& row, std::uint32_t value);

} // namespace tarsion
