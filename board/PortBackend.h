#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace tarsion {

// The two port primitives the byte-cycle protocol is built on. Every backend (ppdev, direct I/O,
// the virtual board) sits behind this interface; port numbers are absolute I/O addresses
// (base, base + 1, base + 2, base + 0x402).
class IPortBackend {
public:
    virtual ~IPortBackend() = default;
    virtual void WritePort(std::uint16_t port, std::uint8_t value) = 0;
    virtual std::uint8_t ReadPort(std::uint16_t port) = 0;
    // Called once when the board link is destroyed, before the backend is released.
    virtual void Unbind() {}
};

// Result of binding the port I/O named by TARSION_PORT. On failure `backend` is empty and
// `error` says why (it goes to standard error; the user sees the fatal driver message).
struct PortBinding {
    std::unique_ptr<IPortBackend> backend;
    std::string error;
};

// Binds the backend named by `spec`: "" or "auto" (ppdev), "direct", "/dev/parportN", "sim",
// "sim:FILE", "sim-paced", "sim-paced:FILE" (the virtual board at the pace of a real port).
PortBinding BindPortIo(const std::string& spec);

} // namespace tarsion
