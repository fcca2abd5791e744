#pragma once

#include "AutomationMethods.h"

#include <span>

struct DBusMessage;

namespace tarsion {

inline constexpr const char* kRegistersInterface = "com.tessaric.Tarsion.Registers1";

// The methods of com.tessaric.Tarsion.Registers1: snapshots, the decoded compare, the chip
// registers and undo of the last register write.
std::span<const AutomationMethod> RegisterMethods();

// Appends a text, a compare or a register map to a method reply.
void AppendRegisterResult(DBusMessage* reply, const AutomationResult& result);

} // namespace tarsion
