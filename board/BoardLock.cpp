#include "board/BoardLock.h"

#include "board/PpdevBackend.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <signal.h>
#include <sstream>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <thread>
#include <unistd.h>

namespace tarsion {

namespace {
constexpr std::size_t kHolderTextLimit = 4096;
// A lister probes a lock for a moment; a start that meets such a probe tries again.
constexpr int kTakeAttempts = 10;
constexpr auto kTakeRetry = std::chrono::milliseconds(20);

int OpenLockFile(const std::string& path, bool create) {
    const int flags = O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY;
    int fd = ::open(path.c_str(), flags | O_RDWR | (create ? O_CREAT : 0), 0644);
    // Another user's lock file (a shared lock folder) still locks for reading.
    if (fd < 0 && errno == EACCES)
        fd = ::open(path.c_str(), flags | O_RDONLY);
    if (fd < 0)
        return -errno;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return -EINVAL;
    }
    return fd;
}

BoardHolder ParseHolder(const std::string& text) {
    BoardHolder holder;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        const std::size_t blank = line.find(' ');
        const std::string key = line.substr(0, blank);
        const std::string value = blank == std::string::npos ? std::string() : line.substr(blank + 1);
        if (key == "pid")
            holder.pid = std::strtol(value.c_str(), nullptr, 10);
        else if (key == "board")
            holder.boardId = value;
        else if (key == "port")
            holder.port = value;
    }
    return holder;
}

BoardHolder ReadHolder(int fd) {
    std::string text(kHolderTextLimit, '\0');
    const ssize_t got = ::pread(fd, text.data(), text.size(), 0);
    text.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    return ParseHolder(text);
}

// The process that holds an exclusive flock on the file of `info`, as /proc/locks lists it
// ("1: FLOCK  ADVISORY  WRITE 1234 08:01:5678 0 EOF"); 0 when it lists none.
long ExclusiveHolder(const struct stat& info) {
    std::ifstream locks("/proc/locks");
    for (std::string line; std::getline(locks, line);) {
        std::istringstream fields(line);
        std::string number, kind, mode, access, where;
        long pid = 0;
        // Waiting requests ("1: -> FLOCK ...") hold nothing; a lister's probe is a READ lock.
        if (!(fields >> number >> kind >> mode >> access >> pid >> where) || kind != "FLOCK" ||
            access != "WRITE")
            continue;
        unsigned devMajor = 0;
        unsigned devMinor = 0;
        unsigned long inode = 0;
        if (std::sscanf(where.c_str(), "%x:%x:%lu", &devMajor, &devMinor, &inode) == 3 &&
            devMajor == major(info.st_dev) && devMinor == minor(info.st_dev) && inode == info.st_ino)
            return pid;
    }
    return 0;
}

// Who holds the lock on `locked`: the lock file at `card` names it, unless the system says that
// another process holds it (the lock file was deleted, or names an earlier holder).
BoardHolder HolderOf(int locked, int card) {
    BoardHolder holder = card >= 0 ? ReadHolder(card) : BoardHolder{};
    struct stat info {};
    if (::fstat(locked, &info) != 0)
        return holder;
    const long pid = ExclusiveHolder(info);
    if (pid > 0 && pid != holder.pid)
        holder = BoardHolder{pid, {}, {}};
    return holder;
}

bool Alive(long pid) {
    return pid > 0 && (::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM);
}

bool WriteAll(int fd, const std::string& text) {
    if (::ftruncate(fd, 0) != 0)
        return false;
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t wrote = ::pwrite(fd, text.data() + done, text.size() - done, static_cast<off_t>(done));
        if (wrote < 0 && errno == EINTR)
            continue;
        if (wrote <= 0)
            return false;
        done += static_cast<std::size_t>(wrote);
    }
    return true;
}

// An id from a file or device name: every other character becomes '_'.
std::string SanitizedId(std::string_view prefix, std::string_view text) {
    std::string id(prefix);
    for (const char c : text) {
        const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                           c == '_' || c == '-';
        id += plain ? c : '_';
    }
    if (id.empty())
        return "board";
    // Built anew rather than inserted in place: g++ 12 at -O3 warns falsely of an overlapping copy.
    const std::string lead = IsValidBoardId(id.substr(0, 1)) ? "" : "_";
    return (lead + id).substr(0, kBoardIdLimit);
}

std::string WithoutPrefix(const std::string& spec, std::string_view prefix) {
    return spec.starts_with(prefix) ? spec.substr(prefix.size()) : std::string();
}
} // namespace

std::string DescribeHolder(const BoardHolder& holder) {
    if (holder.pid <= 0)
        return "another program";
    std::string text = "tarsion (pid " + std::to_string(holder.pid);
    if (!holder.boardId.empty())
        text += ", board id " + holder.boardId;
    return text + ")";
}

CBoardLock::~CBoardLock() {
    for (const int fd : {next_, current_ == first_ ? -1 : current_, first_, fd_})
        if (fd >= 0)
            ::close(fd);
}

namespace {

void CreateFolderOf(const std::string& path) {
    std::error_code ignored;
    if (const auto folder = std::filesystem::path(path).parent_path(); !folder.empty())
        std::filesystem::create_directories(folder, ignored);
}

std::string CannotUse(const std::string& path, int fd) {
    return "can't use the lock file " + path + ": " +
           (fd == -EINVAL ? std::string("it is no regular file") : std::strerror(-fd));
}

// Locks `fd` exclusively; false with the holder named (by the lock file at `card`) when another
// program has it.
bool LockExclusively(int fd, int card, const std::string& path, std::string& error) {
    for (int attempt = 1; ::flock(fd, LOCK_EX | LOCK_NB) != 0; ++attempt) {
        const int reason = errno;
        const BoardHolder holder = HolderOf(fd, card);
        if (reason != EWOULDBLOCK || Alive(holder.pid) || attempt == kTakeAttempts) {
            error = reason == EWOULDBLOCK ? "the board is in use by " + DescribeHolder(holder)
                                          : "can't lock " + path + ": " + std::strerror(reason);
            return false;
        }
        std::this_thread::sleep_for(kTakeRetry);
    }
    return true;
}

bool WriteHolder(int fd, const BoardHolder& self, const std::string& path, std::string& error) {
    const std::string text =
        "pid " + std::to_string(::getpid()) + "\nboard " + self.boardId + "\nport " + self.port + "\n";
    // A lock file of another user can't be written; the lock holds all the same.
    const bool writable = (::fcntl(fd, F_GETFL) & O_ACCMODE) == O_RDWR;
    if (writable && !WriteAll(fd, text)) {
        error = "can't write the lock file " + path + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

// The state file, followed through links and created empty (a fresh board) when absent.
int OpenStateFile(const std::string& path) {
    const int flags = O_CLOEXEC | O_NONBLOCK | O_NOCTTY;
    int fd = ::open(path.c_str(), flags | O_RDWR | O_CREAT, 0666);
    if (fd < 0 && errno == EACCES)
        fd = ::open(path.c_str(), flags | O_RDONLY);
    if (fd < 0)
        return -errno;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return -EINVAL;
    }
    return fd;
}

} // namespace

std::unique_ptr<CBoardLock> CBoardLock::Take(const std::string& path, const BoardHolder& self,
                                             std::string& error) {
    // The board creates the folder of its state file: its lock may be the first thing in it.
    CreateFolderOf(path);
    const int fd = OpenLockFile(path, true);
    if (fd < 0) {
        error = CannotUse(path, fd);
        return nullptr;
    }
    std::unique_ptr<CBoardLock> lock(new CBoardLock(fd));
    if (!LockExclusively(fd, fd, path, error) || !WriteHolder(fd, self, path, error))
        return nullptr;
    return lock;
}

std::unique_ptr<CBoardLock> CBoardLock::TakeFile(const std::string& statePath, const std::string& path,
                                                 const BoardHolder& self, std::string& error) {
    CreateFolderOf(statePath);
    const int card = OpenLockFile(path, true);
    if (card < 0) {
        error = CannotUse(path, card);
        return nullptr;
    }
    std::unique_ptr<CBoardLock> lock(new CBoardLock(card));
    // No board can live in what is no regular file: the lock file alone keeps others off while the
    // binding says what is wrong with it.
    const int state = OpenStateFile(statePath);
    const int locked = state >= 0 ? state : card;
    if (state >= 0)
        lock->first_ = lock->current_ = state;
    if (!LockExclusively(locked, card, statePath, error) || !WriteHolder(card, self, path, error))
        return nullptr;
    return lock;
}

bool CBoardLock::LockReplacement(int fd) {
    if (first_ < 0)
        return true;
    if (next_ >= 0)
        ::close(next_);
    next_ = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    // A file nobody else has opened yet: only a failing system refuses.
    return next_ >= 0 && ::flock(next_, LOCK_EX | LOCK_NB) == 0;
}

void CBoardLock::ReplacementEnded(bool replaced) {
    if (next_ < 0)
        return;
    if (!replaced) {
        ::close(next_);
    } else {
        if (current_ != first_)
            ::close(current_);
        current_ = next_;
    }
    next_ = -1;
}

std::optional<BoardHolder> CBoardLock::Holder(const std::string& path) {
    const int fd = OpenLockFile(path, false);
    if (fd < 0)
        return std::nullopt;
    std::optional<BoardHolder> holder;
    if (::flock(fd, LOCK_SH | LOCK_NB) != 0)
        holder = ReadHolder(fd);
    ::close(fd);
    return holder;
}

bool IsValidBoardId(std::string_view id) {
    if (id.empty() || id.size() > kBoardIdLimit || (id.front() >= '0' && id.front() <= '9') ||
        id.front() == '-')
        return false;
    for (const char c : id) {
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
              c == '-'))
            return false;
    }
    return true;
}

std::string QuotedBoardId(std::string_view text) {
    std::string quoted = "\"";
    for (const char c : text.substr(0, kBoardIdLimit)) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte >= 0x7f || c == '"' || c == '\\') {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%.2x", byte);
            quoted += escaped;
        } else {
            quoted += c;
        }
    }
    return quoted + (text.size() > kBoardIdLimit ? "...\"" : "\"");
}

BoardIdentity IdentifyBoard(const std::string& spec, std::uint16_t base, const std::string& lockFolder,
                            const std::function<std::string(std::uint16_t base)>& deviceAt) {
    std::string file = WithoutPrefix(spec, "sim:");
    if (file.empty())
        file = WithoutPrefix(spec, "sim-paced:");
    if (!file.empty())
        return {SanitizedId("sim-", std::filesystem::path(file).stem().string()), file + ".lock", file};
    const bool parallelPort = spec.empty() || spec == "auto" || spec == "direct" || spec.starts_with('/');
    // The fresh virtual board of "sim" is nobody else's; a value that names no port fails its binding.
    if (!parallelPort)
        return {SanitizedId("", spec), {}, {}};
    const std::string device = spec.starts_with('/') ? spec : deviceAt(base);
    if (device.empty()) {
        char hex[8];
        std::snprintf(hex, sizeof hex, "%x", base);
        return {std::string("port") + hex, lockFolder + "/tarsion-io-" + hex + ".lock", {}};
    }
    const std::string name = SanitizedId("", std::filesystem::path(device).filename().string());
    return {name, lockFolder + "/tarsion-" + name + ".lock", {}};
}

std::string ParportDeviceAt(std::uint16_t base) {
    LinuxPpdevSystem system;
    const PpdevRoutes routes = FindParportDevices(system);
    const auto found = routes.find(base);
    return found == routes.end() ? std::string() : found->second;
}

} // namespace tarsion
