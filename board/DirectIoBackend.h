#pragma once

#include "board/PortBackend.h"

#include <bitset>
#include <cstdint>
#include <ostream>
#include <string>

namespace tarsion {

// Port registers by the processor's own port instructions (x86; needs root or CAP_SYS_RAWIO). Each
// port is opened to the process before its first access; a port the kernel refuses reads 0xFF and
// drops writes, as an empty bus does.
class DirectIoBackend final : public IPortBackend {
public:
    explicit DirectIoBackend(std::ostream& diagnostics) : diagnostics_(diagnostics) {}

    void WritePort(std::uint16_t port, std::uint8_t value) override;
    std::uint8_t ReadPort(std::uint16_t port) override;
    std::string DiagnoseNoBoard(std::uint16_t base) override;
    std::string Describe(std::uint16_t base) const override;

    // Asks for the data, status and control registers of `base` and its ECR; false with the
    // reason when the kernel refuses.
    bool OpenBase(std::uint16_t base, std::string& error);

private:
    static constexpr std::size_t kPorts = 0x10000;

    bool Grant(std::uint16_t first, unsigned count, std::string& error);
    bool Accessible(std::uint16_t port);

    std::ostream& diagnostics_;
    std::bitset<kPorts> granted_;
    std::bitset<kPorts> refused_;
};

} // namespace tarsion
