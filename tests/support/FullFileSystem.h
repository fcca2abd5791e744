#pragma once

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <string>
#include <string_view>
#include <sys/mount.h>
#include <unistd.h>

namespace tarsion::test {

// A small tmpfs that can be filled up, so that writes fail with ENOSPC as on a full disk. Mounting
// needs root (CI runs as root); where it is not allowed the test skips itself.
class FullFileSystem {
public:
    FullFileSystem() {
        std::string folder = (std::filesystem::temp_directory_path() / "tarsion-full-XXXXXX").string();
        if (!::mkdtemp(folder.data()))
            return;
        folder_ = folder;
        mounted_ =
            ::mount("tmpfs", folder.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, "size=128k,mode=0700") == 0;
    }
    ~FullFileSystem() {
        if (mounted_)
            ::umount2(folder_.c_str(), MNT_DETACH);
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
    FullFileSystem(const FullFileSystem&) = delete;
    FullFileSystem& operator=(const FullFileSystem&) = delete;

    bool Mounted() const { return mounted_; }
    std::filesystem::path Path(std::string_view name) const { return folder_ / name; }

    // Takes every block that is still free.
    void Fill() const {
        const int fd = ::open(Path("filler").c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
        const char block[4096] = {};
        while (fd >= 0 && ::write(fd, block, sizeof block) > 0) {
        }
        if (fd >= 0)
            ::close(fd);
    }

private:
    std::filesystem::path folder_;
    bool mounted_ = false;
};

} // namespace tarsion::test

#define TARSION_SKIP_UNLESS_MOUNTED(fileSystem)                                                              \
    if (!(fileSystem).Mounted())                                                                             \
    GTEST_SKIP() << "mounting a small file system is not allowed here"
