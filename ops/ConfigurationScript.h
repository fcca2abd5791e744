#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace tarsion {

class CBoardOperations;
struct CoefficientSettings;

// A file written in full or not at all: the text goes to a new file beside the target, which
// replaces the target only once everything has been written. An uncommitted file is removed.
class CReplacementFile {
public:
    explicit CReplacementFile(std::string target);
    ~CReplacementFile();
    CReplacementFile(const CReplacementFile&) = delete;
    CReplacementFile& operator=(const CReplacementFile&) = delete;

    bool IsOpen() const { return file_ != nullptr; }
    // Writes `text`, closes the file and puts it in place of the target.
    bool Commit(const std::string& text);

private:
    void Discard();

    std::string target_;
    std::string temporary_;
    std::FILE* file_ = nullptr;
};

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
