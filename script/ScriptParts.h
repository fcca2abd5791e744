#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tarsion {

// A script as it is run: a program compiled as a whole, then the plain calls a recording ends with
// (`Tarsion.Poke ( 0x0a,0x20000000 );`, `Data = Tarsion.Read ( 0x03 );`, blank and comment lines),
// which are compiled and run a chunk at a time: a million calls compiled at once took minutes and
// most of a gigabyte before the first one ran. Splitting keeps the meaning of the script: each plain
// line is a whole statement that declares nothing, and the program before them ends with a whole
// statement and declares nothing that a separate piece could not see (no let, const or class, no
// strict mode). Whether the program compiles on its own is left to the engine.
struct ScriptParts {
    std::string_view program;
    std::string_view calls;
    int callsFirstLine = 1;
};

// Fewer plain calls than this run with the program, exactly as they always did.
inline constexpr int kCallChunkLines = 1000;
inline constexpr std::size_t kCallChunkBytes = 1u << 20;

// Where the plain calls at the end of `utf8` begin; none when they are fewer than a chunk or the
// program before them does not allow a split.
ScriptParts SplitScript(std::string_view utf8);

// One line (without its line feed) that is a plain call: an optional `name =`, then
// `object.method(arguments)` with numbers and quoted strings as arguments and an optional `;`.
// Blank lines and `//` comment lines count too.
bool IsPlainCallLine(std::string_view line);

// The first chunk of `calls`: whole lines, at most kCallChunkLines of them or about kCallChunkBytes.
std::string_view NextCallChunk(std::string_view calls, int& lines);

// The script's bytes as UTF-8: a UTF-8 byte-order mark is dropped, UTF-16 or UTF-32 with a
// byte-order mark is converted into `converted`.
std::string_view ScriptUtf8(std::string_view bytes, std::string& converted);

} // namespace tarsion
