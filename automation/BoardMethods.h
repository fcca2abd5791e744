#pragma once

#include "automation/AutomationMethods.h"

#include <span>

namespace tarsion {

// The versioned interface com.tessaric.Tarsion.Board1 on the automation object: batch register
// transfers, memory contents in replies, a register wait and the program's status. A failure is a
// D-Bus error that names the item and the log's reason.
std::span<const AutomationMethod> BoardInterfaceMethods();

} // namespace tarsion
