#include "ops/FilePaths.h"

#include <algorithm>

namespace tarsion {

namespace {
// The start directory as a folder prefix, with exactly one '/' at its end ("/" stays "/").
std::string FolderPrefix(std::string_view startDirectory) {
    std::string prefix(startDirectory.substr(0, startDirectory.find_last_not_of('/') + 1));
    prefix += '/';
    return prefix;
}
} // namespace

std::string WithoutTrailingBlanks(std::string_view text) {
    const auto end = text.find_last_not_of(' ');
    return std::string(end == std::string_view::npos ? std::string_view{} : text.substr(0, end + 1));
}

std::string ResolveLoaderPath(std::string_view startDirectory, std::string_view file) {
    std::string name = WithoutTrailingBlanks(file);
    if (!name.empty() && name.front() == '/')
        return name;
    return FolderPrefix(startDirectory) + name;
}

// Only a path inside the start directory loses it: /home/u/work2/c.hex is not below /home/u/work.
std::string StoredFileName(std::string_view startDirectory, std::string_view path) {
    if (startDirectory.empty())
        return std::string(path);
    const std::string prefix = FolderPrefix(startDirectory);
    if (path.size() > prefix.size() && path.starts_with(prefix))
        return std::string(path.substr(prefix.size()));
    return std::string(path);
}

std::string DumpFileName(std::string_view startDirectory, std::string_view file) {
    const auto slash = file.find_last_of('/');
    if (slash == std::string_view::npos || startDirectory.empty())
        return std::string(file);
    if (file.substr(0, slash + 1) == FolderPrefix(startDirectory))
        return std::string(file.substr(slash + 1));
    return std::string(file);
}

std::string WithForwardSlashes(std::string_view path) {
    std::string converted(path);
    std::replace(converted.begin(), converted.end(), '\\', '/');
    return converted;
}

std::string FileNameOf(std::string_view path) {
    const auto slash = path.find_last_of('/');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::string FileLineText(std::string_view path, std::size_t line) {
    return FileNameOf(path) + ", line " + std::to_string(line);
}

} // namespace tarsion
