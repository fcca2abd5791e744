#include "ReplacementFile.h"

#include "RegularFile.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace tarsion {

namespace {
constexpr std::string_view kUniqueSuffix = "XXXXXX";

// The file a link leads to, through every link on the way; the name itself when it is no link or
// leads nowhere.
std::string LinkTarget(const std::string& path) {
    std::error_code error;
    if (!std::filesystem::is_symlink(std::filesystem::symlink_status(path, error)))
        return path;
    const std::filesystem::path resolved = std::filesystem::canonical(path, error);
    return error ? path : resolved.string();
}

// A pattern for mkstemp in the target's folder.
std::string TemporaryPattern(const std::string& target) {
    std::string pattern = target + ".tmp" + std::string(kUniqueSuffix);
    if (!FileNameTooLong(pattern))
        return pattern;
    // A name near the system's limit leaves no room for a suffix.
    const std::filesystem::path folder = std::filesystem::path(target).parent_path();
    return (folder / (".tarsion" + std::string(kUniqueSuffix))).string();
}

bool WriteAll(int fd, std::string_view text) {
    while (!text.empty()) {
        const ssize_t written = ::write(fd, text.data(), text.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        text.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

// Files are created as any program creates them: 0666 less the umask (mkstemp gives 0600).
mode_t NewFileMode() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}
} // namespace

CReplacementFile::CReplacementFile(std::string target, Links links)
    : target_(links == Links::WriteThrough ? LinkTarget(target) : std::move(target)) {
    if (!UsableFileName(target_)) {
        error_ = "cannot use the file name";
        return;
    }
    struct stat info {};
    if (links == Links::WriteThrough && ::stat(target_.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) {
        error_ = target_ + " is not a regular file";
        return;
    }
    temporary_ = TemporaryPattern(target_);
    fd_ = ::mkostemp(temporary_.data(), O_CLOEXEC);
    if (fd_ < 0) {
        Fail("cannot create a file beside " + target_);
        temporary_.clear();
        return;
    }
    ::fchmod(fd_, NewFileMode());
}

CReplacementFile::~CReplacementFile() {
    Discard();
}

void CReplacementFile::Fail(const std::string& what) {
    error_ = what + ": " + std::strerror(errno);
}

void CReplacementFile::Discard() {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    if (!temporary_.empty())
        ::unlink(temporary_.c_str());
    temporary_.clear();
}

bool CReplacementFile::Commit(std::string_view text) {
    if (fd_ < 0)
        return false;
    if (!WriteAll(fd_, text)) {
        Fail("cannot write " + temporary_);
        Discard();
        return false;
    }
    const int closed = ::close(fd_);
    fd_ = -1;
    if (closed != 0) {
        Fail("cannot write " + temporary_);
        Discard();
        return false;
    }
    if (::rename(temporary_.c_str(), target_.c_str()) != 0) {
        Fail("cannot replace " + target_);
        Discard();
        return false;
    }
    temporary_.clear();
    return true;
}

bool RewriteFile(const std::string& path, std::string_view text) {
    if (!UsableFileName(path))
        return false;
    // Not through a link, and without waiting for a FIFO's reader.
    const int fd = ::open(path.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    struct stat info {};
    if (fd >= 0 && ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_nlink == 1) {
        const bool written = WriteAll(fd, text) && ::ftruncate(fd, static_cast<off_t>(text.size())) == 0;
        return ::close(fd) == 0 && written;
    }
    if (fd >= 0)
        ::close(fd);
    return CReplacementFile(path).Commit(text);
}

} // namespace tarsion
