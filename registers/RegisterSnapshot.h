#pragma once

#include "ops/DocumentSettings.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tarsion {

class CTarsionDoc;

// What the board was set to at one moment: the chip registers that hold a value, the CPLD
// registers that hold board settings (bridge 8..15, PLD 9..15; the others carry transfers), the
// clock pin and the memory-load settings.
struct CRegisterSnapshot {
    static constexpr int kFirstBridge = 8;
    static constexpr int kFirstPld = 9;
    static constexpr int kSpaceRegisters = 16;

    std::string name;
    // UTC, "2026-12-08 21:50:00".
    std::string time;
    double clockPin = 0;
    // Indexed by address; only the value registers are present.
    std::array<std::optional<std::uint32_t>, 32> chip{};
    std::array<std::uint8_t, kSpaceRegisters> bridge{};
    std::array<std::uint8_t, kSpaceRegisters> pld{};
    CoefficientSettings coefficientI;
    CoefficientSettings coefficientQ;
    std::string constellationFile = kUnknownFile;
    PatternSettings pattern;

    // The document's shadow and load settings now.
    static CRegisterSnapshot Take(const CTarsionDoc& doc, std::string name);

    // Same board setting (the name and time aside).
    bool SameSettingsAs(const CRegisterSnapshot& other) const;
};

// The snapshot file: plain text, one register a line, first line the format and its version.
std::string SnapshotText(const CRegisterSnapshot& snapshot);

struct SnapshotReading {
    std::optional<CRegisterSnapshot> snapshot;
    // Why the text was refused: "line 4: ...".
    std::string error;
};
// Room for the longest name and four file names of the longest a system takes, escaped.
inline constexpr std::size_t kLargestSnapshotText = 128 * 1024;
// A snapshot's name as the file writes it, escapes included.
inline constexpr std::size_t kLongestSnapshotName = 1024;
bool SnapshotNameFits(std::string_view name);
SnapshotReading ReadSnapshotText(std::string_view text);
// Whether the text starts as a snapshot file does (rather than as a script).
bool LooksLikeSnapshot(std::string_view text);

// The current UTC time in the snapshot's form.
std::string SnapshotTimeNow();

} // namespace tarsion
