#pragma once

#include "automation/AutomationMethods.h"

#include <span>

namespace tarsion {

// The versioned interface com.tessaric.Tarsion.Registers1 on the automation object: snapshots, the
// decoded compare, the chip registers and undo of the last register write. A failure is a D-Bus
// error that says why.
std::span<const AutomationMethod> RegisterInterfaceMethods();

} // namespace tarsion
