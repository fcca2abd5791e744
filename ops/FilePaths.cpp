#include "FilePaths.h"

#include <algorithm>

namespace tarsion {

std::string WithoutTrailingBlanks(std::string_view text) {
    const auto end = text.find_last_not_of(' ');
    return std::string(end == std::string_view::npos ? std::string_view{} : text.substr(0, end + 1));
}

std::string ResolveLoaderPath(std::string_view startDirectory, std::string_view file) {
    std::string name = WithoutTrailingBlanks(file);
    if (!name.empty() && name.front() == '/')
        return name;
    std::string path(startDirectory);
    path += '/';
    path += name;
    return path;
}

std::string StoredFileName(std::string_view startDirectory, std::string_view path) {
    if (!startDirectory.empty() && path.size() > startDirectory.size() && path.starts_with(startDirectory))
        return std::string(path.substr(startDirectory.size() + 1));
    return std::string(path);
}

std::string DumpFileName(std::string_view startDirectory, std::string_view file) {
    const auto slash = file.find_last_of('/');
    if (slash == std::string_view::npos)
        return std::string(file);
    if (file.substr(0, slash) == startDirectory)
        return std::string(file.substr(slash + 1));
    return std::string(file);
}

std::string WithForwardSlashes(std::string_view path) {
    std::string converted(path);
    std::replace(converted.begin(), converted.end(), '\\', '/');
    return converted;
}

} // namespace tarsion
