#pragma once

#include "board/PortBackend.h"
#include "board/SteadyClock.h"

#include <chrono>
#include <memory>

namespace tarsion {

// Gives any port backend the pace of a real parallel port, where each port access takes about a
// microsecond on the ISA bus: over the virtual board a full pattern memory (28.3 million accesses)
// takes about 30 s, as on a bench. Each access starts no earlier than one period after the one
// before; the wait spins on the steady clock, since sleeping can't be this fine, and it runs on
// the calling thread like the access itself.
class CPacedPort final : public IPortBackend {
public:
    static constexpr std::chrono::nanoseconds kRealPortAccess{1000};

    CPacedPort(std::unique_ptr<IPortBackend> port, ISteadyClock& clock,
               std::chrono::nanoseconds period = kRealPortAccess);

    void WritePort(std::uint16_t port, std::uint8_t value) override;
    std::uint8_t ReadPort(std::uint16_t port) override;
    void Unbind() override;
    std::string Describe(std::uint16_t base) const override;

    IPortBackend& Paced() { return *port_; }

private:
    void AwaitTurn();

    std::unique_ptr<IPortBackend> port_;
    ISteadyClock& clock_;
    std::chrono::nanoseconds period_;
    ISteadyClock::time_point next_{};
};

} // namespace tarsion
