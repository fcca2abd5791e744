#include "RunMode.h"

#include "ProcessSetup.h"
#include "ProgramOptions.h"

namespace tarsion {

bool RunsHeadless(const ProgramOptions& options) {
    return options.headless || (options.automation && !DisplayUsable());
}

} // namespace tarsion
