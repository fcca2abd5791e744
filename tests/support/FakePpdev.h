#pragma once

#include "board/PpdevBackend.h"

#include <cstdio>
#include <linux/ppdev.h>
#include <map>
#include <optional>
#include <string>
#include <sys/ioctl.h>
#include <vector>

namespace tarsion::test {

using Journal = std::vector<std::string>;

// What the fake system shows, and the calls made to it.
struct FakeMachine {
    Journal journal;
    std::map<std::string, std::string> files;
    std::vector<std::string> dirs;
    std::map<std::string, int> openErrors;
    std::map<unsigned long, int> ioctlErrors;
    // Status register of every port ("parport1" -> value) unless one of its own is given.
    unsigned char status = 0x87;
    std::map<std::string, unsigned char> statusOf;
    unsigned char data = 0x5A;

    // A port the kernel lists, with the text of its base-addr file ("888\t1912\n").
    void AddPort(const std::string& dir, const std::string& baseAddr) {
        dirs.push_back(dir);
        files["/proc/sys/dev/parport/" + dir + "/base-addr"] = baseAddr;
    }
};

// Records every call as "<device>: <call> [value]" and answers from the machine.
class FakePpdev final : public IPpdevSystem {
public:
    explicit FakePpdev(FakeMachine& machine) : m_(machine) {}

    std::optional<std::string> ReadTextFile(const std::string& path) override {
        const auto it = m_.files.find(path);
        return it == m_.files.end() ? std::nullopt : std::optional(it->second);
    }
    std::vector<std::string> ListParportDirs() override { return m_.dirs; }
    int Open(const std::string& path) override {
        m_.journal.push_back("open " + path);
        if (const auto it = m_.openErrors.find(path); it != m_.openErrors.end())
            return -it->second;
        names_[nextFd_] = path.substr(path.rfind('/') + 1);
        return nextFd_++;
    }
    int Ioctl(int fd, unsigned long request, void* arg) override {
        // Appended piece by piece: GCC 12 at -O3 reports a false -Wrestrict for " " + std::string.
        std::string entry = names_.at(fd) + ": " + Name(request);
        if (request == PPWDATA || request == PPWCONTROL)
            entry.append(" ").append(Hex(*static_cast<unsigned char*>(arg)));
        else if (request == PPDATADIR)
            entry.append(" ").append(std::to_string(*static_cast<int*>(arg)));
        m_.journal.push_back(entry);
        if (const auto it = m_.ioctlErrors.find(request); it != m_.ioctlErrors.end())
            return it->second;
        if (request == PPRSTATUS) {
            const auto own = m_.statusOf.find(names_.at(fd));
            *static_cast<unsigned char*>(arg) = own == m_.statusOf.end() ? m_.status : own->second;
        } else if (request == PPRDATA)
            *static_cast<unsigned char*>(arg) = m_.data;
        return 0;
    }
    void Close(int fd) override { m_.journal.push_back(names_.at(fd) + ": close"); }

private:
    static std::string Hex(unsigned value) {
        char text[3];
        std::snprintf(text, sizeof text, "%02x", value);
        return text;
    }
    static std::string Name(unsigned long request) {
        static const std::map<unsigned long, std::string> names{
            {PPCLAIM, "PPCLAIM"},       {PPRELEASE, "PPRELEASE"}, {PPWDATA, "PPWDATA"},
            {PPRDATA, "PPRDATA"},       {PPRSTATUS, "PPRSTATUS"}, {PPWCONTROL, "PPWCONTROL"},
            {PPRCONTROL, "PPRCONTROL"}, {PPDATADIR, "PPDATADIR"}, {PPSETMODE, "PPSETMODE"},
            {PPNEGOT, "PPNEGOT"}};
        const auto it = names.find(request);
        return it == names.end() ? std::string("ioctl ").append(std::to_string(request)) : it->second;
    }

    FakeMachine& m_;
    std::map<int, std::string> names_;
    int nextFd_ = 3;
};

} // namespace tarsion::test
