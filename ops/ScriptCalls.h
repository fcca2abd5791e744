#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace tarsion {

// An argument of a call as the script passes it: a number or a string.
using ScriptValue = std::variant<double, std::string>;

// One `Tarsion.Method ( arguments );` of a script, with the number of its line as the script host
// counts lines.
struct ScriptCall {
    std::size_t line = 0;
    std::string method;
    std::vector<ScriptValue> arguments;
};

// Reads the calls of a saved configuration or a recording, line by line, as the script host's
// JavaScript reads them: every line terminator JavaScript knows (LF, CR, CRLF, U+2028, U+2029) ends
// a line, and a line may hold a `var` declaration of Tarsion, WshShell or Data (the first created
// with WScript.CreateObject("Trm90627")), one call to Tarsion, optionally assigned to Data, a `//`
// comment or nothing. Numbers must be in the forms these files are written with (12, -3, 1.500000,
// 0x0a), strings in single or double quotes with the escapes they are written with. Anything else,
// which the host might read otherwise, refuses the whole text: false, with `error` naming the line.
bool ReadScriptCalls(std::string_view text, std::vector<ScriptCall>& calls, std::string& error);

} // namespace tarsion
