#include "board/PpdevBackend.h"

#include "board/BoardLink.h"
#include "board/PortDiagnosis.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <linux/ppdev.h>
#include <sstream>
#include <sys/ioctl.h>
#include <system_error>
#include <unistd.h>

namespace tarsion {

namespace {
constexpr const char* kParportProcDir = "/proc/sys/dev/parport/";
constexpr std::uint8_t kEmptyBus = 0xFF;

constexpr std::uint16_t kDataOffset = 0;
constexpr std::uint16_t kStatusOffset = 1;
constexpr std::uint16_t kControlOffset = 2;
constexpr std::array<std::uint16_t, 4> kRegisterOffsets{kDataOffset, kStatusOffset, kControlOffset,
                                                        CBoardLink::kEcrOffset};

// The kernel drives control bits 0..3 only; bit 5 is the data direction, bit 4 the kernel's own.
constexpr std::uint8_t kControlLines = 0x0F;
constexpr std::uint8_t kControlReverse = 0x20;

// Base addresses the Board page offers.
constexpr std::array<std::uint16_t, 3> kOfferedBases{0x3BC, 0x378, 0x278};

// base-addr holds the decimal base, a tab and the decimal ECR base.
std::optional<std::uint16_t> ReadBaseAddress(IPpdevSystem& system, const std::string& dir) {
    const auto text = system.ReadTextFile(kParportProcDir + dir + "/base-addr");
    if (!text)
        return std::nullopt;
    unsigned value = 0;
    const char* end = text->data() + text->size();
    const auto [next, error] = std::from_chars(text->data(), end, value);
    if (error != std::errc() || value > 0xFFFF ||
        (next != end && !std::isspace(static_cast<unsigned char>(*next))))
        return std::nullopt;
    return static_cast<std::uint16_t>(value);
}
} // namespace

std::optional<std::string> LinuxPpdevSystem::ReadTextFile(const std::string& path) {
    std::ifstream in(path);
    if (!in)
        return std::nullopt;
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> LinuxPpdevSystem::ListParportDirs() {
    std::vector<std::string> dirs;
    std::error_code error;
    for (std::filesystem::directory_iterator it(kParportProcDir, error), end; !error && it != end;
         it.increment(error)) {
        std::string name = it->path().filename().string();
        if (name.starts_with("parport"))
            dirs.push_back(std::move(name));
    }
    std::sort(dirs.begin(), dirs.end());
    return dirs;
}

int LinuxPpdevSystem::Open(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    return fd < 0 ? -errno : fd;
}

int LinuxPpdevSystem::Ioctl(int fd, unsigned long request, void* arg) {
    return ::ioctl(fd, request, arg) < 0 ? errno : 0;
}

void LinuxPpdevSystem::Close(int fd) {
    ::close(fd);
}

PpdevBackend::PpdevBackend(std::unique_ptr<IPpdevSystem> system, const PpdevRoutes& routes,
                           std::ostream& diagnostics)
    : system_(std::move(system)), diagnostics_(diagnostics) {
    std::map<std::string, Device*> byPath;
    for (const auto& [base, path] : routes) {
        Device*& device = byPath[path];
        if (!device) {
            devices_.push_back(std::make_unique<Device>());
            device = devices_.back().get();
            device->path = path;
        }
        bases_[base] = device;
    }
}

PpdevBackend::~PpdevBackend() {
    ReleaseAll();
}

void PpdevBackend::Unbind() {
    ReleaseAll();
}

bool PpdevBackend::OpenBase(std::uint16_t base, std::string& error) {
    const auto it = bases_.find(base);
    if (it == bases_.end() || it->second->state == State::Claimed)
        return true;
    if (Claim(*it->second, error))
        return true;
    // Given up: a later cycle at this base must not try again and report it once more.
    it->second->state = State::Failed;
    return false;
}

const PpdevBackend::Device* PpdevBackend::DeviceAt(std::uint16_t base) const {
    const auto it = bases_.find(base);
    return it == bases_.end() ? nullptr : it->second;
}

bool PpdevBackend::DeviceMissing(std::uint16_t base) const {
    const Device* device = DeviceAt(base);
    return device && device->missing;
}

std::string PpdevBackend::DeviceProblem(std::uint16_t base) const {
    const Device* device = DeviceAt(base);
    return device && device->state != State::Claimed ? device->problem : std::string();
}

std::string PpdevBackend::Describe(std::uint16_t base) const {
    const Device* device = DeviceAt(base);
    return (device ? device->path : std::string("No parallel port")) + " at " + HexAddress(base);
}

std::string PpdevBackend::DiagnoseNoBoard(std::uint16_t base) {
    std::string cause;
    const Device* device = DeviceAt(base);
    if (bases_.empty()) {
        cause = "no parallel port found (the kernel lists none: the machine has none, or the parport_pc "
                "module is not loaded)";
    } else if (!device) {
        cause = "no parallel port at this base; ports were found at";
        // Appended piece by piece: GCC 12 at -O3 reports a false -Wrestrict for " " + std::string.
        for (const auto& [other, otherDevice] : bases_)
            cause.append(" ").append(HexAddress(other));
        cause += " (choose one on the Board page)";
    } else if (std::string problem = DeviceProblem(base); !problem.empty()) {
        cause = std::move(problem);
    } else {
        cause = device->path + " is open but no board answers: " + kCheckTheBoard;
    }
    return NoBoardText(base, cause);
}

PpdevBackend::Register PpdevBackend::Decode(std::uint16_t port) {
    for (const std::uint16_t offset : kRegisterOffsets) {
        if (port < offset)
            continue;
        const auto it = bases_.find(static_cast<std::uint16_t>(port - offset));
        if (it != bases_.end())
            return {it->second, offset};
    }
    return {};
}

PpdevBackend::Device* PpdevBackend::Ready(Device& device) {
    if (device.state == State::Closed) {
        std::string error;
        // A failure after the claim has been reported when the device was given up.
        if (!Claim(device, error) && device.state == State::Closed) {
            diagnostics_ << error << "; its base addresses read as an empty port\n";
            device.state = State::Failed;
        }
    }
    return device.state == State::Claimed ? &device : nullptr;
}

bool PpdevBackend::Claim(Device& device, std::string& error) {
    const int fd = system_->Open(device.path);
    if (fd < 0) {
        device.missing = IsMissingDevice(-fd);
        error = device.problem = "can't open " + device.path + ": " + PortErrorText(-fd);
        return false;
    }
    if (const int failure = system_->Ioctl(fd, PPCLAIM, nullptr)) {
        system_->Close(fd);
        error = device.problem = "can't claim " + device.path + ": " + PortErrorText(failure);
        return false;
    }
    device.fd = fd;
    device.state = State::Claimed;
    device.reverse.reset();
    // The claim restores the control byte the port had under its previous owner.
    WriteControl(device, CBoardLink::kControlIdle);
    if (device.state != State::Claimed) {
        error = "can't set the idle control value on " + device.path;
        return false;
    }
    return true;
}

void PpdevBackend::WritePort(std::uint16_t port, std::uint8_t value) {
    const Register reg = Decode(port);
    Device* device = reg.device ? Ready(*reg.device) : nullptr;
    if (!device)
        return;
    if (reg.offset == kDataOffset) {
        unsigned char data = value;
        Call(*device, PPWDATA, &data, "PPWDATA");
    } else if (reg.offset == kControlOffset) {
        WriteControl(*device, value);
    }
    // Status is read-only, and the kernel has already put the port in PS/2 mode (the ECR write).
}

std::uint8_t PpdevBackend::ReadPort(std::uint16_t port) {
    const Register reg = Decode(port);
    Device* device = reg.device ? Ready(*reg.device) : nullptr;
    if (!device)
        return kEmptyBus;
    unsigned char value = kEmptyBus;
    bool read = false;
    if (reg.offset == kDataOffset)
        read = Call(*device, PPRDATA, &value, "PPRDATA");
    else if (reg.offset == kStatusOffset)
        read = Call(*device, PPRSTATUS, &value, "PPRSTATUS");
    else if (reg.offset == kControlOffset)
        read = Call(*device, PPRCONTROL, &value, "PPRCONTROL");
    // ppdev gives no access to the ECR.
    return read ? value : kEmptyBus;
}

void PpdevBackend::WriteControl(Device& device, std::uint8_t value) {
    const bool reverse = (value & kControlReverse) != 0;
    unsigned char lines = value & kControlLines;
    // Port and board must never drive the data lines together: turn them to input before the new
    // control value, back to output only after it (it ends the read strobe).
    if (reverse)
        SetDirection(device, true);
    Call(device, PPWCONTROL, &lines, "PPWCONTROL");
    if (!reverse)
        SetDirection(device, false);
}

void PpdevBackend::SetDirection(Device& device, bool reverse) {
    if (device.reverse == reverse)
        return;
    int direction = reverse ? 1 : 0;
    if (Call(device, PPDATADIR, &direction, "PPDATADIR"))
        device.reverse = reverse;
}

bool PpdevBackend::Call(Device& device, unsigned long request, void* arg, const char* name) {
    if (device.state != State::Claimed)
        return false;
    if (const int failure = system_->Ioctl(device.fd, request, arg)) {
        Abandon(device, std::string(name) + " on " + device.path + " failed: " + PortErrorText(failure));
        return false;
    }
    return true;
}

void PpdevBackend::Abandon(Device& device, const std::string& reason) {
    diagnostics_ << reason << "; its base addresses read as an empty port from now on\n";
    device.problem = reason;
    Release(device);
    device.state = State::Failed;
}

void PpdevBackend::Release(Device& device) {
    if (device.state != State::Claimed)
        return;
    system_->Ioctl(device.fd, PPRELEASE, nullptr);
    system_->Close(device.fd);
    device.fd = -1;
    device.state = State::Closed;
}

void PpdevBackend::ReleaseAll() {
    for (const auto& device : devices_)
        Release(*device);
}

PpdevRoutes FindParportDevices(IPpdevSystem& system) {
    PpdevRoutes routes;
    for (const std::string& dir : system.ListParportDirs()) {
        if (const auto base = ReadBaseAddress(system, dir))
            routes.emplace(*base, "/dev/" + dir);
    }
    return routes;
}

PortBinding BindPpdev(std::unique_ptr<IPpdevSystem> system, const std::string& device, std::uint16_t base,
                      std::ostream& diagnostics) {
    PpdevRoutes routes;
    if (device.empty()) {
        routes = FindParportDevices(*system);
    } else {
        for (const std::uint16_t offered : kOfferedBases)
            routes[offered] = device;
        // A base set to the port's own address (e.g. a PCI card) reaches it too.
        const std::string name = std::filesystem::path(device).filename().string();
        if (const auto own = ReadBaseAddress(*system, name))
            routes[*own] = device;
    }
    PortBinding binding;
    auto backend = std::make_unique<PpdevBackend>(std::move(system), routes, diagnostics);
    const bool opened = backend->OpenBase(base, binding.error);
    // Without ppdev the port reads as an empty bus; the read-out then says why no board answers.
    if (opened || (device.empty() && backend->DeviceMissing(base))) {
        binding.error.clear();
        binding.backend = std::move(backend);
    }
    return binding;
}

} // namespace tarsion
