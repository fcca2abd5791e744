#pragma once

#include "board/PortBackend.h"

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace tarsion {

// The system calls the ppdev backend makes, so that tests can record them without a device.
class IPpdevSystem {
public:
    virtual ~IPpdevSystem() = default;
    // Whole contents of a text file, or nothing when it can't be read.
    virtual std::optional<std::string> ReadTextFile(const std::string& path) = 0;
    // Port directories under /proc/sys/dev/parport ("parport0", ...).
    virtual std::vector<std::string> ListParportDirs() = 0;
    // A file descriptor, or the negated errno.
    virtual int Open(const std::string& path) = 0;
    // 0, or the errno of the failed call.
    virtual int Ioctl(int fd, unsigned long request, void* arg) = 0;
    virtual void Close(int fd) = 0;
};

class LinuxPpdevSystem final : public IPpdevSystem {
public:
    std::optional<std::string> ReadTextFile(const std::string& path) override;
    std::vector<std::string> ListParportDirs() override;
    int Open(const std::string& path) override;
    int Ioctl(int fd, unsigned long request, void* arg) override;
    void Close(int fd) override;
};

// Base address -> device path of every port the backend serves.
using PpdevRoutes = std::map<std::uint16_t, std::string>;

// Port registers through the Linux parallel-port device interface. Each base address is routed to
// a device, opened and claimed on first use; bases without a device read 0xFF and drop writes, as
// an empty bus does. Bases routed to the same device share one handle.
class PpdevBackend final : public IPortBackend {
public:
    PpdevBackend(std::unique_ptr<IPpdevSystem> system, const PpdevRoutes& routes, std::ostream& diagnostics);
    ~PpdevBackend() override;
    PpdevBackend(const PpdevBackend&) = delete;
    PpdevBackend& operator=(const PpdevBackend&) = delete;

    void WritePort(std::uint16_t port, std::uint8_t value) override;
    std::uint8_t ReadPort(std::uint16_t port) override;
    void Unbind() override;

    // Opens and claims the device of `base` now. False with the reason when the base has a device
    // that can't be opened or claimed; true when it has none.
    bool OpenBase(std::uint16_t base, std::string& error);
    // The device of `base` has no node or no driver: the ppdev module is not loaded.
    bool DeviceMissing(std::uint16_t base) const;
    // Why the device of `base` is not in use; empty while it is claimed or before its first use,
    // and when no device serves the base.
    std::string DeviceProblem(std::uint16_t base) const;
    std::string DiagnoseNoBoard(std::uint16_t base) override;
    std::string Describe(std::uint16_t base) const override;

private:
    enum class State { Closed, Claimed, Failed };
    struct Device {
        std::string path;
        State state = State::Closed;
        int fd = -1;
        std::optional<bool> reverse; // data line direction as last set; unknown after a claim
        std::string problem;         // the failed open, claim or call that took it out of use
        bool missing = false;        // its open found no node or no driver
    };
    struct Register {
        Device* device = nullptr;
        std::uint16_t offset = 0;
    };

    const Device* DeviceAt(std::uint16_t base) const;
    Register Decode(std::uint16_t port);
    Device* Ready(Device& device);
    bool Claim(Device& device, std::string& error);
    void WriteControl(Device& device, std::uint8_t value);
    void SetDirection(Device& device, bool reverse);
    bool Call(Device& device, unsigned long request, void* arg, const char* name);
    void Abandon(Device& device, const std::string& reason);
    void Release(Device& device);
    void ReleaseAll();

    std::unique_ptr<IPpdevSystem> system_;
    std::ostream& diagnostics_;
    std::vector<std::unique_ptr<Device>> devices_;
    std::map<std::uint16_t, Device*> bases_;
};

// base -> /dev/parportN for every port whose /proc base-addr file names its base.
PpdevRoutes FindParportDevices(IPpdevSystem& system);

// Binds ppdev: with an empty `device` each base goes to the port found at it; otherwise every base
// the program offers, and the device's own base, go to `device`. The device of `base`, the base in
// use, is opened at once, so a port that exists but can't be opened or claimed fails the binding.
// A port the kernel lists without a device node (ppdev not loaded) reads as an empty bus; a named
// device must exist.
PortBinding BindPpdev(std::unique_ptr<IPpdevSystem> system, const std::string& device, std::uint16_t base,
                      std::ostream& diagnostics);

} // namespace tarsion
