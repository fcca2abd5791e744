#pragma once

#include "board/BoardLink.h"
#include "board/VirtualBoard.h"
#include "support/FakeClock.h"
#include "support/LogCapture.h"

#include <gtest/gtest.h>

#include <memory>

namespace tarsion::test {

// A board link over a responsive virtual board; counters start after the link's opening writes.
class BoardRig : public ::testing::Test {
protected:
    BoardRig() : BoardRig(std::make_unique<VirtualBoard>()) {}

    RegisterShadow shadow;
    LogCapture log;
    FakeClock clock;
    VirtualBoard& board;
    CBoardLink link;

    // Log text of one indent-1 line.
    static std::string Line(std::string_view text) {
        std::string line(1, '\t');
        line.append(text).append("\r\n");
        return line;
    }

private:
    explicit BoardRig(std::unique_ptr<VirtualBoard> owned)
        : board(*owned), link(shadow, log, std::move(owned), clock) {
        board.ResetCounters();
    }
};

} // namespace tarsion::test
