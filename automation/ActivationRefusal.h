#pragma once

#include <string>

namespace tarsion {

// The D-Bus error of the calls a program answers when it could not start.
inline constexpr const char* kUnavailableError = "com.tessaric.Tarsion.Error.Unavailable";

// A program started by D-Bus activation that can't serve (no board, a port it can't open):
// takes the service name for a moment and answers the calls waiting for it, the one that started
// it among them, with kUnavailableError and `reason`, so that the caller learns why instead of the
// bus's "disconnected without replying". Runs the event loop for at most a second.
void RefuseWaitingCalls(const std::string& reason);

} // namespace tarsion
