#include "board/PacedPort.h"

#include "board/VirtualBoard.h"

namespace tarsion {

CPacedPort::CPacedPort(std::unique_ptr<IPortBackend> port, ISteadyClock& clock,
                       std::chrono::nanoseconds period)
    : port_(std::move(port)), clock_(clock), period_(period) {}

void CPacedPort::AwaitTurn() {
    ISteadyClock::time_point now = clock_.Now();
    while (now < next_)
        now = clock_.Now();
    // After a pause the port is free at once; during a burst the turns keep their spacing, so the
    // time spent between accesses counts towards the period.
    next_ = (now - next_ < period_ ? next_ : now) + period_;
}

void CPacedPort::WritePort(std::uint16_t port, std::uint8_t value) {
    AwaitTurn();
    port_->WritePort(port, value);
}

std::uint8_t CPacedPort::ReadPort(std::uint16_t port) {
    AwaitTurn();
    return port_->ReadPort(port);
}

void CPacedPort::Unbind() {
    port_->Unbind();
}

std::string CPacedPort::Describe(std::uint16_t base) const {
    std::string text = port_->Describe(base);
    const std::size_t after = text.starts_with(kVirtualBoardName) ? kVirtualBoardName.size() : text.size();
    return text.insert(after, " at real-port pace");
}

} // namespace tarsion
