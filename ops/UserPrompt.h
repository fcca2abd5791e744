#pragma once

#include <cstddef>
#include <string_view>

namespace tarsion {

// How the operations reach the user: message boxes ("Tarsion" caption, OK, no icon), the YES/NO
// question of Save Configuration, and the progress of long loads. The GUI implements it with
// dialogs; tests answer it from a script.
class IUserPrompt {
public:
    virtual ~IUserPrompt() = default;
    virtual void ShowMessage(std::string_view text) = 0;
    // Returns true for "YES"; Escape or closing the dialog counts as "NO".
    virtual bool AskYesNo(std::string_view title, std::string_view text) = 0;
    // Called between the words of a load or dump, never inside a byte cycle. Returns false once the
    // user has asked to cancel. It may let the window paint and move (events are processed); the
    // operation counts as running meanwhile, so no other operation can start.
    virtual bool ReportProgress(std::string_view task, std::size_t done, std::size_t total) {
        (void)task;
        (void)done;
        (void)total;
        return true;
    }
    // The load or dump has ended, however it ended.
    virtual void EndProgress() {}
};

} // namespace tarsion
