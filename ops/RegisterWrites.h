#pragma once

#include <cstdint>
#include <string>

namespace tarsion {

enum class RegisterSpace { Chip, Bridge, Pld };

// Who asked for a write: a register page (or a menu command), the console, or a script.
enum class WriteSource { Page, Console, Script };

// One register write the operation layer made, with the value it replaced.
struct RegisterWrite {
    RegisterSpace space = RegisterSpace::Chip;
    std::uint8_t reg = 0;
    std::uint32_t oldValue = 0;
    std::uint32_t newValue = 0;
    WriteSource source = WriteSource::Page;
    // The operation as its log line names it ("Poke 0a 20000000").
    std::string what;
};

// Told of every successful register write of the operation layer.
class IRegisterWriteObserver {
public:
    virtual ~IRegisterWriteObserver() = default;
    virtual void OnRegisterWrite(const RegisterWrite& write) = 0;
};

} // namespace tarsion
