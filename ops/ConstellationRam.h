#pragma once

#include <array>
#include <cstdint>
#include <istream>
#include <string>
#include <string_view>
#include <vector>

namespace tarsion {

class CWordProgress;

class CBoardOperations;

struct ConstellationEntry {
    std::uint8_t address = 0;
    std::uint8_t value = 0;
};

// A constellation file as read: the entries in file order up to the first line that is not an
// entry, and whether such a line stopped the reading.
struct ConstellationFile {
    std::vector<ConstellationEntry> entries;
    bool formatError = false;
    std::size_t errorLine = 0; // the line (from 1) that stopped the reading
};

// One non-blank line after trimming: four hexadecimal digits (address, value), or "0x" and two
// digits (a value at address 0). Anything else is a format error, since it names no entry.
bool ParseConstellationLine(std::string_view line, ConstellationEntry& entry);
ConstellationFile ReadConstellationFile(std::istream& in);

// The RAM after a load of these entries: every address cleared, then the entries in file order.
std::array<std::uint8_t, 256> ConstellationImageOf(const std::vector<ConstellationEntry>& entries);

// An entry as a point of the I/Q plane: I in bits 7..4, Q in bits 3..0, each a two's complement
// number from -8 to 7.
struct IqPoint {
    int i = 0;
    int q = 0;
    bool operator==(const IqPoint&) const = default;
};
IqPoint ConstellationPoint(std::uint8_t entry);
// The point of every address of an image, in address order.
std::vector<IqPoint> ConstellationPoints(const std::array<std::uint8_t, 256>& image);
// How many addresses hold different entries in the two images.
int DifferingEntries(const std::array<std::uint8_t, 256>& a, const std::array<std::uint8_t, 256>& b);

// The script call that repeats a load; recorded, and written by the configuration script.
std::string LoadConstellationRamCall(const std::string& path);

// Loads the constellation RAM from a file and dumps it into one.
class CConstellationRam {
public:
    static constexpr int kEntries = 256;
    static constexpr std::uint32_t kSelectForWriting = 0x10;
    static constexpr std::uint32_t kSelectForReading = 0x30;
    static constexpr std::uint32_t kNoMemoryAccess = 0x00;
    // Log lines of a failed load, dump or read-back.
    static constexpr const char* kMemoryControlFailed = "Couldn't Setup MemoryControl Register";
    static constexpr const char* kRamAccessFailed = "Couldn't write to Constellation Map RAM";

    explicit CConstellationRam(CBoardOperations& ops) : ops_(ops) {}

    bool Load(const std::string& file);
    bool Dump(const std::string& file);

private:
    bool SelectMemory(std::uint32_t memoryControl);
    bool WriteEntry(std::uint8_t address, std::uint8_t value);
    bool WriteEntries(const std::vector<ConstellationEntry>& entries, CWordProgress& progress);
    void MarkPartlyLoaded(std::string note, bool cancelled);

    CBoardOperations& ops_;
};

} // namespace tarsion
