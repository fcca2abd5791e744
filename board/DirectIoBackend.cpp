#include "board/DirectIoBackend.h"

#include "board/BoardLink.h"
#include "board/PortDiagnosis.h"

#include <cerrno>
#include <system_error>

#if defined(__x86_64__) || defined(__i386__)
#include <sys/io.h>
#endif

namespace tarsion {

namespace {
constexpr std::uint8_t kEmptyBus = 0xFF;

#if defined(__x86_64__) || defined(__i386__)
int RequestPorts(std::uint16_t first, unsigned count) {
    return ::ioperm(first, count, 1) == 0 ? 0 : errno;
}
void Out(std::uint16_t port, std::uint8_t value) {
    ::outb(value, port);
}
std::uint8_t In(std::uint16_t port) {
    return ::inb(port);
}
#else
// Without port instructions nothing is ever granted, so Out and In are never reached.
int RequestPorts(std::uint16_t, unsigned) {
    return ENOSYS;
}
void Out(std::uint16_t, std::uint8_t) {}
std::uint8_t In(std::uint16_t) {
    return kEmptyBus;
}
#endif
} // namespace

bool DirectIoBackend::OpenBase(std::uint16_t base, std::string& error) {
    return Grant(base, 3, error) &&
           Grant(static_cast<std::uint16_t>(base + CBoardLink::kEcrOffset), 1, error);
}

bool DirectIoBackend::Grant(std::uint16_t first, unsigned count, std::string& error) {
    if (const int failure = RequestPorts(first, count)) {
        error = "ioperm for port " + HexAddress(first) +
                " refused: " + std::generic_category().message(failure) +
                " (direct port access needs root or CAP_SYS_RAWIO)";
        return false;
    }
    for (unsigned i = 0; i < count; ++i)
        granted_.set(first + i);
    return true;
}

bool DirectIoBackend::Accessible(std::uint16_t port) {
    if (granted_.test(port))
        return true;
    if (refused_.test(port))
        return false;
    std::string error;
    if (Grant(port, 1, error))
        return true;
    diagnostics_ << error << "; the port reads as empty\n";
    refused_.set(port);
    return false;
}

std::string DirectIoBackend::DiagnoseNoBoard(std::uint16_t base) {
    const std::string cause = refused_.test(static_cast<std::uint16_t>(base + 1))
                                  ? "the kernel refused direct access to the port"
                                  : std::string("no board answers: ") + kCheckTheBoard;
    return NoBoardText(base, cause);
}

void DirectIoBackend::WritePort(std::uint16_t port, std::uint8_t value) {
    if (Accessible(port))
        Out(port, value);
}

std::uint8_t DirectIoBackend::ReadPort(std::uint16_t port) {
    return Accessible(port) ? In(port) : kEmptyBus;
}

std::string DirectIoBackend::Describe(std::uint16_t base) const {
    return "Direct I/O at " + HexAddress(base);
}

} // namespace tarsion
