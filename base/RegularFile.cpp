#include "base/RegularFile.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace tarsion {

namespace {
// Closes the descriptor on every path out.
class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int Get() const { return fd_; }

private:
    int fd_;
};
} // namespace

bool UsableFileName(std::string_view path) {
    return !path.empty() && path.find('\0') == std::string_view::npos && !FileNameTooLong(path);
}

bool FileNameTooLong(std::string_view path) {
    if (path.size() >= PATH_MAX)
        return true;
    std::size_t start = 0;
    while (start < path.size()) {
        std::size_t end = path.find('/', start);
        if (end == std::string_view::npos)
            end = path.size();
        if (end - start > NAME_MAX)
            return true;
        start = end + 1;
    }
    return false;
}

FileRead ReadRegularFile(const std::string& path, std::size_t limit, std::string& contents, FileLinks links) {
    contents.clear();
    if (!UsableFileName(path))
        return FileRead::CannotOpen;
    // Non-blocking, so that a FIFO without a writer opens at once and can be refused.
    const int noFollow = links == FileLinks::Refuse ? O_NOFOLLOW : 0;
    const Descriptor file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY | noFollow));
    struct stat info {};
    if (file.Get() < 0 || ::fstat(file.Get(), &info) != 0 || !S_ISREG(info.st_mode))
        return FileRead::CannotOpen;
    if (static_cast<std::size_t>(info.st_size) > limit)
        return FileRead::TooLarge;
    // The size may change while we read; the limit holds whatever it does.
    char buffer[65536];
    while (true) {
        const ssize_t got = ::read(file.Get(), buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return FileRead::CannotOpen;
        if (got == 0)
            return FileRead::Ok;
        if (contents.size() + static_cast<std::size_t>(got) > limit) {
            contents.clear();
            return FileRead::TooLarge;
        }
        contents.append(buffer, static_cast<std::size_t>(got));
    }
}

std::string WhyNotRead(const std::string& path, FileRead result, std::size_t limit, FileLinks links) {
    if (result == FileRead::TooLarge) {
        const bool megabytes = limit % (1u << 20) == 0;
        return "it is larger than the limit of " + std::to_string(megabytes ? limit >> 20 : limit) +
               (megabytes ? " MB" : " bytes");
    }
    if (!UsableFileName(path))
        return "the name is empty, holds a NUL character or is longer than the system allows";
    struct stat info {};
    if (links == FileLinks::Refuse && ::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode))
        return "it is a symbolic link";
    if (::stat(path.c_str(), &info) != 0)
        return std::strerror(errno);
    if (S_ISFIFO(info.st_mode))
        return "it is a FIFO";
    if (S_ISCHR(info.st_mode) || S_ISBLK(info.st_mode))
        return "it is a device";
    if (S_ISDIR(info.st_mode))
        return "it is a folder";
    if (S_ISSOCK(info.st_mode))
        return "it is a socket";
    const Descriptor file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    return file.Get() < 0 ? std::strerror(errno) : "it could not be read";
}

std::string FinalLinkTarget(const std::string& path) {
    namespace fs = std::filesystem;
    constexpr int kMostLinks = 40; // as the kernel allows
    fs::path current = path;
    for (int links = 0; links <= kMostLinks; ++links) {
        std::error_code error;
        if (!fs::is_symlink(fs::symlink_status(current, error)))
            return current.string();
        const fs::path next = fs::read_symlink(current, error);
        if (error)
            return {};
        current = next.is_absolute() ? next : current.parent_path() / next;
    }
    return {};
}

int OpenRegularFileForWriting(const std::string& path, std::string& error) {
    if (!UsableFileName(path)) {
        error = "cannot use the file name";
        return -1;
    }
    // Non-blocking: a FIFO without a reader fails at once (ENXIO), one with a reader is refused below.
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, 0666);
    if (fd < 0 && errno != ENXIO) {
        error = std::strerror(errno);
        return -1;
    }
    struct stat info {};
    if (fd < 0 || ::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        if (fd >= 0)
            ::close(fd);
        error = "not a regular file";
        return -1;
    }
    if (::ftruncate(fd, 0) != 0) {
        error = std::strerror(errno);
        ::close(fd);
        return -1;
    }
    return fd;
}

bool WriteAll(int fd, std::string_view text) {
    while (!text.empty()) {
        const ssize_t written = ::write(fd, text.data(), text.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0)
            return false;
        if (written == 0) {
            errno = ENOSPC;
            return false;
        }
        text.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

} // namespace tarsion
