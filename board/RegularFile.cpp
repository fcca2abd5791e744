#include "RegularFile.h"

#include <cerrno>
#include <climits>
#include <fcntl.h>
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

FileRead ReadRegularFile(const std::string& path, std::size_t limit, std::string& contents) {
    contents.clear();
    if (!UsableFileName(path))
        return FileRead::CannotOpen;
    // Non-blocking, so that a FIFO without a writer opens at once and can be refused.
    const Descriptor file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
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

} // namespace tarsion
