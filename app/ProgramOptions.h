#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tarsion {

// The program's command line, read before any Qt object exists so that --help, --version and a
// wrong option need neither a display nor a bus.
struct ProgramOptions {
    enum class Action { Run, Help, Version, ListPorts, SavePort, Refuse };
    Action action = Action::Run;
    // Set by D-Bus activation.
    bool automation = false;
    bool headless = false;
    // Headless: demo mode when the initial read-out fails, instead of ending the program.
    bool demo = false;
    // --port: the board of this run, as TARSION_PORT names it; --save-port: the one to store as the
    // Port setting.
    std::optional<std::string> port;
    // --board-id; empty: derived from the port.
    std::string boardId;
    std::vector<std::string> files;
    // Qt's -platform and -display, which decide where the window opens.
    std::string qtPlatform;
    std::string qtDisplay;
    // Refuse: what was wrong.
    std::string error;
};

// Exit status of a command line the program does not take, and of a window with no display.
inline constexpr int kUsageExitCode = 2;

// `arguments` without the program name. Qt's own switches (-platform NAME, -style NAME, ...) are
// let through for Qt to take.
ProgramOptions ParseProgramOptions(const std::vector<std::string>& arguments);

// The text of `tarsion --help`.
std::string ProgramUsage();
// What a refused command line prints: the reason and where to read more, two lines.
std::string UsageError(const std::string& error);
// "tarsion 1.06".
std::string ProgramVersion();
// `tarsion --version`: the version, copyright and licence.
std::string ProgramVersionText();

} // namespace tarsion
