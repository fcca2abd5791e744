#pragma once

#include "ops/CallArguments.h"

#include <cstdint>
#include <functional>
#include <string>
#include <variant>

struct DBusMessage;

namespace tarsion {

class CBoardOperations;
class CBusArguments;

// A reply that the method composes itself (container types), or a D-Bus error when `errorName` is set.
struct AutomationReply {
    std::function<void(DBusMessage* reply)> append;
    std::string errorName;
    std::string errorText;
};

// What a call answers: nothing (Create), success, a register byte, a register word, or a reply of
// its own.
using AutomationResult = std::variant<std::monostate, bool, std::int16_t, double, AutomationReply>;
using AutomationWork = std::function<AutomationResult()>;

// The work of a call of the script's interface, answering as the bus does.
AutomationWork FromCall(CallWork work);

// What the methods act on: the board operations, and the new-document step with the views'
// initial update that a creation request performs.
struct AutomationTarget {
    CBoardOperations& ops;
    std::function<void()> newDocument;
    // The result lines of the last operation that ran.
    std::function<std::string()> lastResult;
};

// One method served on the automation object, as its interface description gives it. Failures of
// the board methods are results (false, 0, 0.0), never bus errors; the versioned interfaces answer
// a failure with an error.
struct AutomationMethod {
    const char* interface;
    const char* name;
    const char* signature; // the in-arguments' D-Bus types
    // Reads the arguments (the call's signature is the method's) and returns the work to run.
    AutomationWork (*bind)(CBusArguments& in, AutomationTarget& target);
    // Answered at once, even while an operation runs: the method reads state and touches no board.
    bool immediate;
};

// The method of that name in `interface`, or in any of ours when the call names no interface.
const AutomationMethod* FindAutomationMethod(const char* interface, const char* name);

// Whether `interface` is one of the automation object's own.
bool IsAutomationInterface(const char* interface);

// Appends a result to a method reply.
void AppendAutomationResult(DBusMessage* reply, const AutomationResult& result);

// Introspection data of the automation object, and of the root object that lists it.
const std::string& AutomationIntrospection();
const std::string& RootIntrospection();

} // namespace tarsion
