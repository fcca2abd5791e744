#include "app/RunMode.h"

#include "app/ProgramOptions.h"
#include "base/ProcessSetup.h"

namespace tarsion {

bool RunsHeadless(const ProgramOptions& options) {
    return options.headless || (options.automation && !WindowCanOpen(options));
}

bool WindowCanOpen(const ProgramOptions& options) {
    return DisplayUsable(options.qtPlatform, options.qtDisplay);
}

const char* NoDisplayMessage() {
    return "tarsion: there is no display to open the window on; run it in a desktop session, as "
           "xvfb-run -a tarsion for a virtual display, or as tarsion --headless for automation "
           "without a window";
}

} // namespace tarsion
