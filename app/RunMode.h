#pragma once

namespace tarsion {

// Decided before any Qt application object exists: the headless server runs when the command line
// asks for it (--headless), and when D-Bus activation (--automation) starts the program where no
// window can be shown (no DISPLAY, no WAYLAND_DISPLAY and no QT_QPA_PLATFORM), which would
// otherwise abort.
bool RunsHeadless(int argc, const char* const* argv);

} // namespace tarsion
