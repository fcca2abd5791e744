#pragma once

#include "ops/CallNumber.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <variant>

namespace tarsion {

class CBoardOperations;

// What a call of the automation object answers (true or false, a register byte, a register word
// as a number), and whether its operation succeeded: a read that failed answers 0, as a real 0
// would.
struct CallResult {
    bool succeeded = false;
    std::variant<bool, std::int16_t, double> value;
};

inline CallResult SuccessResult(bool succeeded) {
    return {succeeded, succeeded};
}

// A call whose arguments have been read and converted: runs the operation.
using CallWork = std::function<CallResult()>;

// Reads a call's arguments in order, each as the type its method's description gives it (D-Bus
// type in the comment): from the bus, or from the literals of a replayed script.
class CCallArguments {
public:
    virtual ~CCallArguments() = default;
    virtual CCallNumber Number() = 0; // v
    virtual std::int16_t Short() = 0; // n
    virtual std::int32_t Int() = 0;   // i
    virtual double Double() = 0;      // d
    virtual bool Bool() = 0;          // b
    virtual std::string String() = 0; // s
};

// One method of the interface a script's `Tarsion` variable stands for.
struct CallMethod {
    const char* name;
    std::size_t arguments;
    // Dumps: a replayed script may not call them.
    bool writesFiles;
    // Reads the arguments and returns the call; touches no board.
    CallWork (*bind)(CCallArguments& in, CBoardOperations& ops);
};

// Recorded and saved scripts quote file names with a trailing blank: the file name without it.
inline std::string CallPath(std::string file) {
    file.erase(file.find_last_not_of(' ') + 1);
    return file;
}

} // namespace tarsion
