#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace tarsion {

// Which program holds a board, as its lock file says.
struct BoardHolder {
    long pid = 0;
    std::string boardId;
    std::string port;
};

// "tarsion (pid 123, board id parport0)": how messages name the holder.
std::string DescribeHolder(const BoardHolder& holder);

// One program at a time per board: an advisory lock (flock) that goes with the process, so a
// crashed holder frees the board at once, and a small lock file that names the holder. A parallel
// port is locked by its lock file; a link or anything but a regular file at the lock's name is
// refused. A virtual board's state file is locked itself, whatever name reaches it (a link, a hard
// link), and each new state file that replaces it is locked before it takes the old one's place.
class CBoardLock final {
public:
    ~CBoardLock();
    CBoardLock(const CBoardLock&) = delete;
    CBoardLock& operator=(const CBoardLock&) = delete;

    // Null when the board is held (the message names the holder) or the lock file can't be used.
    static std::unique_ptr<CBoardLock> Take(const std::string& path, const BoardHolder& self,
                                            std::string& error);
    // The same for the state file at `statePath` (created empty, a fresh board, when absent); the
    // lock file at `path` only names the holder.
    static std::unique_ptr<CBoardLock> TakeFile(const std::string& statePath, const std::string& path,
                                                const BoardHolder& self, std::string& error);
    // The holder of the lock at `path`; nothing when no program holds it.
    static std::optional<BoardHolder> Holder(const std::string& path);

    // A new state file (open at `fd`) is about to replace the locked one: it is locked first, so the
    // name never reaches an unlocked file. `ReplacementEnded` says whether it took the old one's
    // place. The file locked at the start stays locked for the whole run (its other names, too).
    bool LockReplacement(int fd);
    void ReplacementEnded(bool replaced);

private:
    explicit CBoardLock(int fd) : fd_(fd) {}
    int fd_;
    // Of a state file: the one found at the start, the one at its name now, the one about to be.
    int first_ = -1;
    int current_ = -1;
    int next_ = -1;
};

// Where a board is locked and what it is called unless the user names it.
struct BoardIdentity {
    std::string defaultId;
    // Empty: the board can't be shared (the fresh virtual board of "sim").
    std::string lockPath;
    // The virtual board's state file, locked itself; empty for a parallel port.
    std::string statePath;
};

// Board ids become the last element of a D-Bus name: letters, digits, '_' and '-', not starting
// with a digit or '-', at most 64 characters.
inline constexpr std::size_t kBoardIdLimit = 64;
bool IsValidBoardId(std::string_view id);
// A text given as a board id, for a message that refuses it: in double quotes, at most the first
// kBoardIdLimit bytes, each byte outside printable ASCII, quote and backslash as \xNN, and "..."
// after a text that went on.
std::string QuotedBoardId(std::string_view text);

// The board a port value (as TARSION_PORT takes it) names at `base`: "sim:FILE" is locked beside
// FILE and called "sim-" and FILE's stem; a parallel port is locked in `lockFolder` by its device
// name ("parport0"), found for "auto" and "direct" by `deviceAt` (empty when none has that base).
BoardIdentity IdentifyBoard(const std::string& spec, std::uint16_t base, const std::string& lockFolder,
                            const std::function<std::string(std::uint16_t base)>& deviceAt);

// The device of the parallel port at `base` on this machine, or "".
std::string ParportDeviceAt(std::uint16_t base);

} // namespace tarsion
