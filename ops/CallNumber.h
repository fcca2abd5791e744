#pragma once

#include <cstdint>

namespace tarsion {

// Integer part of an automation number as a 64-bit pattern: NaN and infinities give 0, values
// beyond the 64-bit range are reduced modulo 2^64 so the low bits stay those of the integer part.
std::uint64_t AutomationInteger(double value);

// Register addresses and byte data use the low 8 bits, register words the low 32 bits.
std::uint8_t AutomationByte(double value);
std::uint32_t AutomationWord(double value);

// A variant argument of the automation object: a number, whatever type it was passed as. From the
// bus every number converts, keeping its low bits. A replayed script must give a whole number in
// the range of what it stands for; any other sets `refused`, so the script is refused before it runs.
class CCallNumber {
public:
    explicit CCallNumber(double value) : value_(value) {}
    CCallNumber(double value, bool& refused) : value_(value), refused_(&refused) {}

    // An address, a register number or a byte.
    std::uint8_t Byte() const;
    // A register word or mask.
    std::uint32_t Word() const;

private:
    // Whether an exact number lies within 0 to `largest`; always true for a bus number.
    bool Within(double largest) const;

    double value_;
    bool* refused_ = nullptr;
};

} // namespace tarsion
