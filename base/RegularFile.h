#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tarsion {

// Reading the files a user names (loader inputs, scripts, the virtual board's state): only regular
// files are read, never a FIFO or a device that would block or never end, and never more than a
// limit far above any real file of that kind.
enum class FileRead { Ok, CannotOpen, TooLarge };
// Whether a link as the last component of a name is followed.
enum class FileLinks { Follow, Refuse };

// True when the system would refuse the name anyway (longer than PATH_MAX, or a component longer
// than NAME_MAX); checked before anything is opened.
bool FileNameTooLong(std::string_view path);

// Not empty, no NUL character (the system would see a shorter name), not too long.
bool UsableFileName(std::string_view path);

// Reads the whole of `path` into `contents`. Links are followed unless `links` refuses a link as the
// last component; what they lead to must be a regular file. A FIFO is opened without waiting for a
// writer and then refused.
FileRead ReadRegularFile(const std::string& path, std::size_t limit, std::string& contents,
                         FileLinks links = FileLinks::Follow);

// Why ReadRegularFile gave `result` for `path` with `limit`: "it is a FIFO", "it is a device",
// "it is a symbolic link" (when `links` refuses them), "it is larger than the limit of 1 MB", or the
// system's reason ("No such file or directory").
std::string WhyNotRead(const std::string& path, FileRead result, std::size_t limit,
                       FileLinks links = FileLinks::Follow);

// Where a chain of links starting at `path` ends: the first name that is no link, whether or not it
// exists; `path` itself when it is no link. Empty for a loop (or a chain too long to follow).
std::string FinalLinkTarget(const std::string& path);

// Opens `path` for writing from its start, creating it (0666 less the umask) when absent. Links are
// followed; what they lead to must be a regular file, which is emptied. A FIFO is refused without
// waiting for a reader. Returns the descriptor, or -1 with the reason in `error`.
int OpenRegularFileForWriting(const std::string& path, std::string& error);

// Writes all of `text`, going on after interrupted and partial writes; false on any failure, errno
// telling why.
bool WriteAll(int fd, std::string_view text);

// Read limits, stated in the help manual.
inline constexpr std::size_t kLoaderFileLimit = 64u << 20;   // coefficient and constellation files
inline constexpr std::size_t kPatternFileLimit = 256u << 20; // 131072 pairs leave room for long lines
inline constexpr std::size_t kStateFileLimit = 256u << 20;   // a full pattern memory is about 6 MB
inline constexpr std::size_t kScriptFileLimit = 64u << 20;   // scripts run by tarsion-script
// The part of a script compiled as one program: all but the plain calls a recording ends with.
// Hand-written and saved scripts are kilobytes; 8 MB compiles in seconds and about 300 MB.
inline constexpr std::size_t kScriptProgramLimit = 8u << 20;

} // namespace tarsion
