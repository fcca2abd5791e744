#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tarsion {

class CBoardOperations;

// Runs the calls of a saved configuration (or a recorded script) on an operation layer, in order,
// exactly as tarsion-script would make them (ReadScriptCalls says which lines it reads). Any other
// line refuses the whole text before anything runs: such a script may do more than its calls say.
class CScriptReplay {
public:
    static constexpr std::size_t kLargestScript = 1024 * 1024;
    // Memory loads a replay makes at most (a saved configuration has four): each may take seconds.
    static constexpr std::size_t kMostMemoryLoads = 8;
    // Asked before each call and after the last with the calls done and their number; false stops
    // the run there.
    using GoOn = std::function<bool(std::size_t done, std::size_t total)>;

    explicit CScriptReplay(CBoardOperations& ops) : ops_(ops) {}

    // False when the text is refused or the run was stopped (`Error()` says where and why); calls
    // that fail on the board do not stop the run, as they would not stop the script, and are listed
    // in `Failures()` with the result lines of the call ("line 8: LoadConstellationRam failed:
    // Could Not Open File ...").
    bool Run(std::string_view text, const GoOn& goOn = {});
    const std::string& Error() const { return error_; }
    // The run was stopped by `goOn`.
    bool Stopped() const { return stopped_; }
    const std::vector<std::string>& Failures() const { return failures_; }

    struct Call;

private:
    CBoardOperations& ops_;
    std::string error_;
    std::vector<std::string> failures_;
    bool stopped_ = false;
};

} // namespace tarsion
