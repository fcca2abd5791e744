#pragma once

#include <cstdint>

namespace tarsion {

// Integer part of an automation number as a 64-bit pattern: NaN and infinities give 0, values
// beyond the 64-bit range are reduced modulo 2^64 so the low bits stay those of the integer part.
std::uint64_t AutomationInteger(double value);

// Register addresses and byte data use the low 8 bits, register words the low 32 bits.
std::uint8_t AutomationByte(double value);
std::uint32_t AutomationWord(double value);

} // namespace tarsion
