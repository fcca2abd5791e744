#pragma once

#include <cstdint>
#include <string>

namespace tarsion {

class CBoardOperations;

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

// Told of every successful register write of an operation layer.
class IRegisterWriteObserver {
public:
    virtual ~IRegisterWriteObserver() = default;
    virtual void OnRegisterWrite(const RegisterWrite& write) = 0;
};

// The observer of the writes `ops` makes; nullptr for none.
void SetRegisterWriteObserver(const CBoardOperations& ops, IRegisterWriteObserver* observer);

// Names the source of the writes `ops` makes while it lives (scripts run from the program).
class CWriteSourceScope {
public:
    CWriteSourceScope(const CBoardOperations& ops, WriteSource source);
    ~CWriteSourceScope();
    CWriteSourceScope(const CWriteSourceScope&) = delete;
    CWriteSourceScope& operator=(const CWriteSourceScope&) = delete;

private:
    const CBoardOperations& ops_;
    WriteSource saved_;
};

// Called by the operation layer after each successful write; a console write counts as the
// console's, any other as the source in force.
void NoteRegisterWrite(const CBoardOperations& ops, bool console, RegisterWrite write);

} // namespace tarsion
