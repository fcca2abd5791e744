#include "ops/PrivateBoard.h"

#include "board/VirtualBoard.h"

#include <memory>

namespace tarsion {

CPrivateBoard::CPrivateBoard(const CTarsionDoc& like, IUserPrompt* progress)
    : stack_(std::make_unique<VirtualBoard>(), clock_, prompt_, InspectionFiles::Skipped) {
    CTarsionDoc& doc = stack_.Doc();
    doc.Shadow().SetClockPin(like.Shadow().ClockPin());
    doc.Shadow().RecomputeSysClk();
    doc.startDirectory = like.startDirectory;
    prompt_.progress = progress;
}

void CPrivateBoard::CQuietPrompt::ShowMessage(std::string_view text) {
    lines.emplace_back(text);
    while (lines.size() > kKept)
        lines.pop_front();
}

bool CPrivateBoard::CQuietPrompt::ReportProgress(std::string_view task, std::size_t done, std::size_t total) {
    if (progress && !cancelled && !progress->ReportProgress(task, done, total))
        cancelled = true;
    return !cancelled;
}

void CPrivateBoard::CQuietPrompt::EndProgress() {
    if (progress)
        progress->EndProgress();
}

} // namespace tarsion
