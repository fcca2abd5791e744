#pragma once

#include <cstdint>
#include <string>

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
    std::string PatternLines(std::uint8_t dataClkSource);
    std::string MemoryLoadLines();
    static std::string CoefficientLine(int which, CoefficientSettings& settings);
    bool AppendChipRegisters(std::string& text);
    static std::string DataClkLines(std::uint8_t boardControl, std::uint8_t sender);

    CBoardOperations& ops_;
};

} // namespace tarsion
