#include "base/ProcessSetup.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <pwd.h>
#include <sstream>
#include <string_view>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace tarsion {

namespace {
std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

// Makes `folder` and the folders above it that are missing, private to the user.
bool MakeFolders(const std::string& folder) {
    for (std::size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
        const std::string part = folder.substr(0, slash);
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST)
            return false;
        if (slash == std::string::npos)
            return true;
    }
}

// A connection to a local stream socket; `abstractName` uses Linux's abstract namespace.
bool Accepts(const std::string& path, bool abstractName) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::size_t offset = abstractName ? 1 : 0;
    if (path.empty() || path.size() + offset >= sizeof address.sun_path)
        return false;
    path.copy(address.sun_path + offset, path.size());
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + offset + path.size());
    const bool connected = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), length) == 0;
    ::close(fd);
    return connected;
}

// DISPLAY of a local X server (":0", ":1.0", "unix:0"); one over TCP ("localhost:10.0" of ssh)
// is taken as usable.
bool XServerAccepts(const std::string& display) {
    const std::size_t colon = display.rfind(':');
    if (colon == std::string::npos)
        return false;
    const std::string host = display.substr(0, colon);
    if (!host.empty() && host != "unix")
        return true;
    const std::string number = display.substr(colon + 1, display.find('.', colon) - colon - 1);
    if (number.empty() || number.find_first_not_of("0123456789") != std::string::npos)
        return false;
    const std::string socket = "/tmp/.X11-unix/X" + number;
    return Accepts(socket, true) || Accepts(socket, false);
}

bool WaylandAccepts(const std::string& display) {
    if (display.starts_with('/'))
        return Accepts(display, false);
    const std::string runtime = Environment("XDG_RUNTIME_DIR");
    return !runtime.empty() && Accepts(runtime + "/" + display, false);
}

bool PlatformUsable(const std::string& platform, const std::string& display) {
    if (platform.starts_with("xcb"))
        return XServerAccepts(display);
    if (platform.starts_with("wayland"))
        return WaylandAccepts(Environment("WAYLAND_DISPLAY").empty() ? "wayland-0"
                                                                     : Environment("WAYLAND_DISPLAY"));
    // offscreen, minimal, vnc, eglfs, linuxfb...: no display server to reach.
    return true;
}
} // namespace

void OpenStandardDescriptors() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) >= 0 || errno != EBADF)
            continue;
        // The lowest free descriptor: this one.
        const int opened = ::open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
        if (opened >= 0 && opened != fd)
            ::close(opened);
    }
}

bool EnsureHomeFolder(std::string& error) {
    if (!Environment("HOME").empty())
        return true;
    const passwd* entry = ::getpwuid(::getuid());
    if (!entry || !entry->pw_dir || entry->pw_dir[0] != '/') {
        error = "HOME is not set and the user database names no home folder for user " +
                std::to_string(::getuid()) + "; set HOME";
        return false;
    }
    ::setenv("HOME", entry->pw_dir, 1);
    return true;
}

std::string UserStateFolder() {
    const std::string state = Environment("XDG_STATE_HOME");
    if (!state.empty() && state.front() == '/')
        return state + "/tarsion";
    return Environment("HOME") + "/.local/state/tarsion";
}

bool LeaveRootFolder(const std::string& folder, std::string& error) {
    char here[2] = {};
    // A longer name than "/" does not fit: the program is elsewhere.
    if (::getcwd(here, sizeof here) == nullptr || std::string_view(here) != "/")
        return true;
    if (!MakeFolders(folder) || ::chdir(folder.c_str()) != 0) {
        error = "can't work in " + folder + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

bool RedirectOutputToFile(const std::string& path, std::size_t limit, std::string& error) {
    const std::size_t slash = path.rfind('/');
    if (slash != std::string::npos && slash > 0 && !MakeFolders(path.substr(0, slash))) {
        error = "can't make the folder of " + path + ": " + std::strerror(errno);
        return false;
    }
    struct stat status {};
    if (::lstat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode) &&
        static_cast<std::size_t>(status.st_size) >= limit)
        ::rename(path.c_str(), (path + ".1").c_str());
    // Non-blocking: a planted FIFO without a reader fails at once instead of blocking the start.
    const int fd =
        ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    if (fd < 0) {
        error = "can't open " + path + ": " + std::strerror(errno);
        return false;
    }
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(fd);
        error = path + " is no regular file";
        return false;
    }
    ::dup2(fd, STDOUT_FILENO);
    ::dup2(fd, STDERR_FILENO);
    ::close(fd);
    return true;
}

std::string PortLockFolder() {
    if (::access("/run/lock", W_OK | X_OK) == 0)
        return "/run/lock";
    const std::string runtime = Environment("XDG_RUNTIME_DIR");
    if (!runtime.empty() && ::access(runtime.c_str(), W_OK | X_OK) == 0)
        return runtime;
    return "/tmp";
}

bool DisplayUsable(const std::string& platformOption, const std::string& displayOption) {
    const std::string display = displayOption.empty() ? Environment("DISPLAY") : displayOption;
    const std::string platforms = platformOption.empty() ? Environment("QT_QPA_PLATFORM") : platformOption;
    if (platforms.empty())
        return XServerAccepts(display) ||
               (!Environment("WAYLAND_DISPLAY").empty() && WaylandAccepts(Environment("WAYLAND_DISPLAY")));
    // Qt tries each platform of a list such as "wayland;xcb" in turn.
    std::istringstream list(platforms);
    std::string platform;
    while (std::getline(list, platform, ';')) {
        if (PlatformUsable(platform, display))
            return true;
    }
    return false;
}

} // namespace tarsion
