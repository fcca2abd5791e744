#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <variant>
#include <vector>

struct DBusMessage;

namespace tarsion {

class CBoardOperations;
class CCallArguments;
class CRegisterSession;

// One differing field of a compare: address, field, before and after in the page's units, raw words.
struct ComparedField {
    std::uint8_t address = 0;
    std::string field;
    std::string before;
    std::string after;
    std::uint32_t rawBefore = 0;
    std::uint32_t rawAfter = 0;
};

// What a call answers: nothing (Create), success, a register byte, or a register word; for the
// register interface also a text, the differing fields, or the chip registers by address.
using AutomationResult = std::variant<std::monostate, bool, std::int16_t, double, std::string,
                                      std::vector<ComparedField>, std::map<std::uint8_t, std::uint32_t>>;
using AutomationWork = std::function<AutomationResult()>;

// What the methods act on: the board operations, and the new-document step with the views'
// initial update that a creation request performs.
struct AutomationTarget {
    CBoardOperations& ops;
    std::function<void()> newDocument;
    // Snapshots and undo; the register interface answers with failures without it.
    CRegisterSession* registers = nullptr;
};

// One method of the automation object. Failures are results (false, 0, 0.0), never bus errors.
struct AutomationMethod {
    const char* interface;
    const char* name;
    const char* signature;     // the arguments' D-Bus types
    const char* argumentNames; // blank-separated, for the introspection data
    const char* result;        // the result's D-Bus type, empty for none
    // Reads the arguments (the call's signature is the method's) and returns the work to run.
    AutomationWork (*bind)(CCallArguments& arguments, AutomationTarget& target);
    // The result's name in the introspection data (a success flag is "success").
    const char* resultName = "value";
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
