#pragma once

#include <functional>

namespace tarsion {

class CBoardLink;
class CTarsionDoc;

// The text of dialog "Failed to do Initial ReadOut".
inline constexpr const char* kReadOutFailedText = "Couldn't do Initial Read out.\n\nMake sure LPT cable is "
                                                  "connected, JP1 in 'norm' position, and RefClk is "
                                                  "present.";

enum class ReadOutChoice { Retry, EnterDemoMode };
// Asked each time a read of the initial read-out fails.
using ReadOutFailureHandler = std::function<ReadOutChoice()>;

// Reads the chip, bridge and PLD registers the pages show, in two stages, then derives SysClk.
// When the user gives up on a failing read, demo mode starts instead: after a failure in the first
// stage with the demo register image, in the second with the registers not yet read set to zero.
// Returns true when the board was read, false when demo mode was entered.
bool RunInitialReadOut(CBoardLink& link, CTarsionDoc& doc, const ReadOutFailureHandler& onFailure);

} // namespace tarsion
