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
    // Called while a coefficient or pattern load runs; must not process other events.
    virtual void ReportProgress(std::string_view task, std::size_t done, std::size_t total) {
        (void)task;
        (void)done;
        (void)total;
    }
};

} // namespace tarsion
