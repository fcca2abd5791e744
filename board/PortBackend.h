#pragma once

#include "board/BoardLock.h"

#include <cstdint>
#include <functional>
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
    // When no board answers at `base`: one line naming the likely cause and its remedy, for
    // standard error. Empty when the backend has nothing to add (the virtual board).
    virtual std::string DiagnoseNoBoard(std::uint16_t /*base*/) { return {}; }
    // What the program talks to at `base`, for the status bar ("/dev/parport0 at 0x378").
    virtual std::string Describe(std::uint16_t /*base*/) const { return {}; }
};

// The base address a board link starts with, and the default of the stored setting.
inline constexpr std::uint16_t kDefaultPortBase = 0x378;

// A board whose state is kept in a file across runs (the virtual board of `sim:FILE`). The program
// writes it soon after it changes, so that a crash loses at most a fraction of a second.
class IKeptState {
public:
    virtual ~IKeptState() = default;
    // Called at the first change after the state was last written; empty to stop.
    virtual void SetChangeListener(std::function<void()> listener) = 0;
    // Writes the state if it changed since it was last written, or was never written or failed to
    // be; false with a reason on failure.
    virtual bool SaveChangedState(std::string& error) = 0;
    // The lock on the state file, which every new state file takes over before it replaces the old.
    virtual void KeepLockedBy(CBoardLock& lock) = 0;
};

// Result of binding the port I/O named by TARSION_PORT. On failure `backend` is empty and
// `error` says why (it goes to standard error; the user sees the fatal driver message).
struct PortBinding {
    std::unique_ptr<IPortBackend> backend;
    std::string error;
    // Set when the backend keeps its state in a file; it lives as long as the backend.
    IKeptState* keptState = nullptr;
    // The board's lock, to be kept until the backend is gone; `boardHeld` when another program
    // holds it (`error` names that program).
    std::unique_ptr<CBoardLock> lock = nullptr;
    bool boardHeld = false;
};

// Binds the backend named by `spec`: "" or "auto" (ppdev), "direct", "/dev/parportN", "sim",
// "sim:FILE", "sim-paced", "sim-paced:FILE" (the virtual board at the pace of a real port). The
// port at `base`, the base address in use, is opened at once: a port there that can't be opened or
// claimed fails the binding.
PortBinding BindPortIo(const std::string& spec, std::uint16_t base = kDefaultPortBase);
// Whether `spec` names a port backend BindPortIo knows.
bool NamesPortBackend(const std::string& spec);
// `spec` as a program started in another folder finds the same board: a virtual board's relative
// state file is taken against `folder`.
std::string PortFromAnywhere(const std::string& spec, const std::string& folder);

} // namespace tarsion
