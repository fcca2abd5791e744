#pragma once

namespace tarsion {

struct ProgramOptions;

// Decided before any Qt application object exists: the headless server runs when the command line
// asks for it (--headless), and when D-Bus activation (--automation) starts the program where no
// window can be shown (no display server that accepts a connection), which would otherwise abort
// or wait in a dialog nobody sees.
bool RunsHeadless(const ProgramOptions& options);

} // namespace tarsion
