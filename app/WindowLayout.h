#pragma once

class QMainWindow;
class QSplitter;

namespace tarsion {

class CAppSettings;

// The window's layout across runs: geometry with the maximised state, the splitter between the
// register page and the log, and the views open beside them (the dock state).
class CWindowLayout {
public:
    static void Save(CAppSettings& settings, const QMainWindow& window, const QSplitter& splitter);
    // Before the window shows. Each part that is missing or unusable (an edited or foreign
    // settings file) is left as it is; returns whether the splitter position was restored.
    static bool Restore(CAppSettings& settings, QMainWindow& window, QSplitter& splitter);
};

} // namespace tarsion
