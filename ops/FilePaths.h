#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tarsion {

// File names of the loaders. A name is absolute when it starts with '/'; a relative name is taken
// against the start directory. Trailing blanks (configuration scripts write one inside the quotes)
// are dropped before the name is used.
std::string ResolveLoaderPath(std::string_view startDirectory, std::string_view file);
// The name kept in the settings: relative to the start directory when the path lies below it (at
// a folder boundary; a trailing '/' on the start directory and a start directory of "/" count).
std::string StoredFileName(std::string_view startDirectory, std::string_view path);
// The name a dump uses: the file's own name when the file lies directly in the start directory.
std::string DumpFileName(std::string_view startDirectory, std::string_view file);
std::string WithForwardSlashes(std::string_view path);
// The last component of a path, as messages name a file.
std::string FileNameOf(std::string_view path);
// "bad.hex, line 2": where a load file stopped being readable.
std::string FileLineText(std::string_view path, std::size_t line);
std::string WithoutTrailingBlanks(std::string_view text);

} // namespace tarsion
