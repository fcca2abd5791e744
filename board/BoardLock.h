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

// One program at a time per board: an advisory lock (flock) on a small lock file that names its
// holder. The lock goes with the process, so a crashed holder frees the board at once; the file
// itself stays. A link or anything but a regular file at the lock's name is refused.
class CBoardLock final {
public:
    ~CBoardLock();
    CBoardLock(const CBoardLock&) = delete;
    CBoardLock& operator=(const CBoardLock&) = delete;

    // Null when the board is held (the message names the holder) or the lock file can't be used.
    static std::unique_ptr<CBoardLock> Take(const std::string& path, const BoardHolder& self,
                                            std::string& error);
    // The holder of the lock at `path`; nothing when no program holds it.
    static std::optional<BoardHolder> Holder(const std::string& path);

private:
    explicit CBoardLock(int fd) : fd_(fd) {}
    int fd_;
};

// Where a board is locked and what it is called unless the user names it.
struct BoardIdentity {
    std::string defaultId;
    // Empty: the board can't be shared (the fresh virtual board of "sim").
    std::string lockPath;
};

// Board ids become the last element of a D-Bus name: letters, digits, '_' and '-', not starting
// with a digit or '-', at most 64 characters.
inline constexpr std::size_t kBoardIdLimit = 64;
bool IsValidBoardId(std::string_view id);

// The board a port value (as TARSION_PORT takes it) names at `base`: "sim:FILE" is locked beside
// FILE and called "sim-" and FILE's stem; a parallel port is locked in `lockFolder` by its device
// name ("parport0"), found for "auto" and "direct" by `deviceAt` (empty when none has that base).
BoardIdentity IdentifyBoard(const std::string& spec, std::uint16_t base, const std::string& lockFolder,
                            const std::function<std::string(std::uint16_t base)>& deviceAt);

// The device of the parallel port at `base` on this machine, or "".
std::string ParportDeviceAt(std::uint16_t base);

} // namespace tarsion
