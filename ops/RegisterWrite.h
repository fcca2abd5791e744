#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tarsion {

enum class RegisterSpace { Chip, Bridge, Pld };

// Who asked for a write: a register page (or a menu command), the console, or a script.
enum class WriteSource { Page, Console, Script };

// One register write: the register, the value it held before and the value written. A batch is
// handed its writes with the old values still unknown; it fills them in as it writes.
struct RegisterWrite {
    RegisterSpace space = RegisterSpace::Chip;
    std::uint8_t reg = 0;
    std::uint32_t oldValue = 0;
    std::uint32_t newValue = 0;

    static RegisterWrite Chip(std::uint8_t address, std::uint32_t value) {
        return {RegisterSpace::Chip, address, 0, value};
    }
    static RegisterWrite Pld(std::uint8_t reg, std::uint8_t value) {
        return {RegisterSpace::Pld, reg, 0, value};
    }
};

// What one operation wrote: the single write of a Poke, Write or PldWrite (also of ModifyBits and
// its kind), or every write a batch made before it ended.
struct WrittenRegisters {
    WriteSource source = WriteSource::Page;
    // The operation as its log line names it ("Poke 0a 20000000", "PokeMany: 10,000 writes").
    std::string what;
    bool batch = false;
    std::vector<RegisterWrite> writes;
};

// Told of the writes of every operation that wrote registers.
class IRegisterWriteObserver {
public:
    virtual ~IRegisterWriteObserver() = default;
    virtual void OnRegisterWrites(const WrittenRegisters& written) = 0;
};

} // namespace tarsion
