#pragma once

#include "board/PacedPort.h"
#include "board/SteadyClock.h"
#include "board/VirtualBoard.h"
#include "ops/BoardStack.h"
#include "support/ScriptedPrompt.h"

#include <memory>

namespace tarsion {

// The operation layer over a responsive virtual board, or over one at the pace of a real port.
class BenchStack {
public:
    enum class Pace { Responsive, Port };

    explicit BenchStack(Pace pace = Pace::Responsive) : stack_(MakePort(pace), clock_, prompt_) {}

    CTarsionDoc& Doc() { return stack_.Doc(); }
    CBoardLink& Link() { return stack_.Link(); }
    CBoardOperations& Ops() { return stack_.Ops(); }
    VirtualBoard& Board() { return *board_; }

private:
    std::unique_ptr<IPortBackend> MakePort(Pace pace) {
        auto board = std::make_unique<VirtualBoard>();
        board_ = board.get();
        if (pace == Pace::Port)
            return std::make_unique<CPacedPort>(std::move(board), clock_);
        return board;
    }

    SystemSteadyClock clock_;
    test::ScriptedPrompt prompt_;
    VirtualBoard* board_ = nullptr;
    CBoardStack stack_;
};

} // namespace tarsion
