#include "ops/PrivateBoard.h"

#include "board/VirtualBoard.h"

#include <memory>

namespace tarsion {

CPrivateBoard::CPrivateBoard(const CTarsionDoc& like)
    : stack_(std::make_unique<VirtualBoard>(), clock_, messages_, InspectionFiles::Skipped) {
    CTarsionDoc& doc = stack_.Doc();
    doc.Shadow().SetClockPin(like.Shadow().ClockPin());
    doc.Shadow().RecomputeSysClk();
    doc.startDirectory = like.startDirectory;
}

void CPrivateBoard::CKeptMessages::ShowMessage(std::string_view text) {
    lines.emplace_back(text);
    while (lines.size() > kKept)
        lines.pop_front();
}

} // namespace tarsion
