#pragma once

#include "registers/RegisterSnapshot.h"

#include <string>

namespace tarsion {

// The board's registers as a C header: an array of address/value pairs of the chip registers,
// each with its fields in the page's units as a comment.
std::string RegistersAsCHeader(const CRegisterSnapshot& snapshot);
// One register a line: "0a 20000000 CarrierFrequency", then the CPLD registers.
std::string RegistersAsHexListing(const CRegisterSnapshot& snapshot);

} // namespace tarsion
