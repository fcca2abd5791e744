#include "RunMode.h"

#include <cstdlib>
#include <string_view>

namespace tarsion {

namespace {
bool IsSet(const char* name) {
    const char* value = std::getenv(name);
    return value && *value;
}
} // namespace

bool RunsHeadless(int argc, const char* const* argv) {
    bool automation = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "--headless")
            return true;
        automation = automation || argument == "--automation";
    }
    const bool canShowWindow = IsSet("DISPLAY") || IsSet("WAYLAND_DISPLAY") || IsSet("QT_QPA_PLATFORM");
    return automation && !canShowWindow;
}

} // namespace tarsion
