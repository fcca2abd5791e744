#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tarsion {

// Reading the files a user names (loader inputs, scripts, the virtual board's state): only regular
// files are read, never a FIFO or a device that would block or never end, and never more than a
// limit far above any real file of that kind.
enum class FileRead { Ok, CannotOpen, TooLarge };

// True when the system would refuse the name anyway (longer than PATH_MAX, or a component longer
// than NAME_MAX); checked before anything is opened.
bool FileNameTooLong(std::string_view path);

// Not empty, no NUL character (the system would see a shorter name), not too long.
bool UsableFileName(std::string_view path);

// Reads the whole of `path` into `contents`. Links are followed; what they lead to must be a regular
// file. A FIFO is opened without waiting for a writer and then refused.
FileRead ReadRegularFile(const std::string& path, std::size_t limit, std::string& contents);

// Read limits, stated in the help manual.
inline constexpr std::size_t kLoaderFileLimit = 64u << 20;   // coefficient and constellation files
inline constexpr std::size_t kPatternFileLimit = 256u << 20; // 131072 pairs leave room for long lines
inline constexpr std::size_t kStateFileLimit = 256u << 20;   // a full pattern memory is about 6 MB
inline constexpr std::size_t kScriptFileLimit = 64u << 20;   // scripts run by tarsion-script

} // namespace tarsion
