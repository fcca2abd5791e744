#include "base/ReplacementFile.h"

#include "base/RegularFile.h"

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

// A pattern for mkstemp in the target's folder.
std::string TemporaryPattern(const std::string& target) {
    std::string pattern = target + ".tmp" + std::string(kUniqueSuffix);
    if (!FileNameTooLong(pattern))
        return pattern;
    // A name near the system's limit leaves no room for a suffix.
    const std::filesystem::path folder = std::filesystem::path(target).parent_path();
    return (folder / (".tarsion" + std::string(kUniqueSuffix))).string();
}

// Files are created as any program creates them: 0666 less the umask (mkstemp gives 0600).
mode_t NewFileMode() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}
} // namespace

CReplacementFile::CReplacementFile(std::string target, Links links)
    : target_(links == Links::WriteThrough ? FinalLinkTarget(target) : std::move(target)) {
    if (links == Links::WriteThrough && target_.empty()) {
        error_ = target + " is a loop of links";
        return;
    }
    if (!UsableFileName(target_)) {
        error_ = "cannot use the file name";
        return;
    }
    // A link at the target is replaced or followed as asked; anything else must be a regular file.
    struct stat info {};
    const int found =
        links == Links::WriteThrough ? ::stat(target_.c_str(), &info) : ::lstat(target_.c_str(), &info);
    if (found == 0 && !S_ISREG(info.st_mode) && !S_ISLNK(info.st_mode)) {
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
    // A file saved over keeps its permission bits (a private 0600 file stays private).
    ::fchmod(fd_, found == 0 && S_ISREG(info.st_mode) ? info.st_mode & 0777 : NewFileMode());
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
    // A full disk or a quota may show only at fsync or close; the old file stays until both pass.
    if (!WriteAll(fd_, text) || ::fsync(fd_) != 0) {
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
