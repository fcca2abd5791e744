#pragma once

namespace tarsion {

struct ProgramOptions;

// Decided before any Qt application object exists: the headless server runs when the command line
// asks for it (--headless), and when D-Bus activation (--automation) starts the program where no
// window can be shown (no display server that accepts a connection), which would otherwise abort
// or wait in a dialog nobody sees.
bool RunsHeadless(const ProgramOptions& options);

// Whether the window can open where the environment and Qt's options say.
bool WindowCanOpen(const ProgramOptions& options);

// The line a windowed start with no display gives on standard error, instead of an abort in Qt.
const char* NoDisplayMessage();

} // namespace tarsion
