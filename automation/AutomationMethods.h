#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <variant>

struct DBusMessage;

namespace tarsion {

class CBoardOperations;
class CCallArguments;

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

// What the methods act on: the board operations, and the new-document step with the views'
// initial update that a creation request performs.
struct AutomationTarget {
    CBoardOperations& ops;
    std::function<void()> newDocument;
    // The result lines of the last operation that ran.
    std::function<std::string()> lastResult;
};

// One method of the automation object. Failures of the board methods are results (false, 0, 0.0),
// never bus errors; the versioned interfaces answer a failure with an error.
struct AutomationMethod {
    const char* interface;
    const char* name;
    const char* signature;     // the arguments' D-Bus types
    const char* argumentNames; // blank-separated, for the introspection data
    const char* result;        // the result's D-Bus type, empty for none
    // Reads the arguments (the call's signature is the method's) and returns the work to run.
    AutomationWork (*bind)(CCallArguments& arguments, AutomationTarget& target);
    // Blank-separated names of the results when there are several or `result` is a container.
    const char* resultNames = nullptr;
    // Answered at once, even while an operation runs: the method reads state and touches no board.
    bool immediate = false;
};

// The method of that name in `interface`, or in any of ours when the call names no interface.
const AutomationMethod* FindAutomationMethod(const char* interface, const char* name);

// Whether `interface` is one of the automation object's own.
bool IsAutomationInterface(const char* interface);

// Reads a call whose signature is the method's and returns its work.
AutomationWork BindAutomationCall(const AutomationMethod& method, DBusMessage* call,
                                  AutomationTarget& target);

// Appends a result to a method reply.
void AppendAutomationResult(DBusMessage* reply, const AutomationResult& result);

// Introspection data of the automation object, and of the root object that lists it.
const std::string& AutomationIntrospection();
const std::string& RootIntrospection();

} // namespace tarsion
