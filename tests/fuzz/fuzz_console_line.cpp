// One console line on a fresh board. The first byte chooses the setting: bit 0 demo mode, bit 1 a
// board that does not answer, bits 3..2 the DataClk source; the rest is the line.
#include "board/VirtualBoard.h"
#include "ops/BoardStack.h"
#include "support/FakeClock.h"
#include "support/ScriptedPrompt.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tarsion;
    if (size == 0)
        return 0;
    const std::uint8_t setting = data[0];
    const std::string_view line(reinterpret_cast<const char*>(data + 1), size - 1);

    test::FakeClock clock;
    test::ScriptedPrompt prompt;
    auto port = std::make_unique<VirtualBoard>();
    VirtualBoard& board = *port;
    CBoardStack stack(std::move(port), clock, prompt);
    CTarsionDoc& doc = stack.Doc();
    CBoardLink& link = stack.Link();
    CBoardOperations& ops = stack.Ops();

    const auto dataClk = static_cast<std::uint8_t>((setting >> 2) & 0x3);
    board.SetBridgeRegister(9, dataClk);
    doc.Shadow().StoreBridgeReg(9, dataClk);
    if (setting & 0x1)
        link.EnterDemoMode();
    if (setting & 0x2)
        board.InjectFault(VirtualBoard::Fault::NotConnected);

    ops.Console(line);
    // Every line, refused or not, must leave the operation finished and the byte cycles in order.
    if (ops.IsBusy() || board.ProtocolViolations() != 0)
        __builtin_trap();
    return 0;
}
