#pragma once

#include "ops/LoadedMemories.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tarsion {

class CBoardOperations;
struct CoefficientSettings;

// Save Configuration: a script that resets the board and replays the pattern, constellation and
// coefficient loads, the writable chip registers and the board's data-source registers.
class CConfigurationScript {
public:
    explicit CConfigurationScript(CBoardOperations& ops) : ops_(ops) {}

    bool Save(const std::string& path);

private:
    // Names each memory the configuration would not restore; one read from the board in this run
    // is offered as a file beside the configuration (or as the writes that repeat its words).
    void ChooseRestores(const std::string& path);
    std::optional<std::vector<std::string>> RestoreFromRead(ChipMemory memory, const std::string& path);
    // Empty when the pattern file of an imported pattern could not be written beside `path`.
    std::optional<std::string> PatternLines(std::uint8_t dataClkSource, const std::string& path);
    std::string MemoryLoadLines();
    static std::string CoefficientLine(int which, CoefficientSettings& settings);
    bool AppendChipRegisters(std::string& text);
    static std::string DataClkLines(std::uint8_t boardControl, std::uint8_t sender);

    CBoardOperations& ops_;
    // The lines that restore a memory from its read-back, in place of its load line.
    std::array<std::optional<std::vector<std::string>>, kChipMemories> restores_;
};

} // namespace tarsion
