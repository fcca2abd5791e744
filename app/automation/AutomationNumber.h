#pragma once

#include <QDBusVariant>

#include <cstdint>

namespace tarsion {

// Integer part of an automation number as a 64-bit pattern: NaN and infinities give 0, values
// beyond the 64-bit range are reduced modulo 2^64 so the low bits stay those of the integer part.
std::uint64_t AutomationInteger(double value);

// Number carried by a variant argument, judged by the variant's own type: int16, int32 and double
// give their value, anything else 0. Nothing is parsed, so a string holding digits counts as 0.
double AutomationNumber(const QDBusVariant& argument);

// Register addresses and byte data use the low 8 bits, register words the low 32 bits.
std::uint8_t AutomationByte(const QDBusVariant& argument);
std::uint32_t AutomationWord(const QDBusVariant& argument);

} // namespace tarsion
