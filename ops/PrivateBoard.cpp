#include "ops/PrivateBoard.h"

#include "board/VirtualBoard.h"

#include <memory>

namespace tarsion {

CPrivateBoard::CPrivateBoard(const CTarsionDoc& like, IUserPrompt* progress)
    : stack_(std::make_unique<VirtualBoard>(), clock_, complaints_) {
    CTarsionDoc& doc = stack_.Doc();
    doc.Shadow().SetClockPin(like.Shadow().ClockPin());
    doc.Shadow().RecomputeSysClk();
    doc.startDirectory = like.startDirectory;
    complaints_.doc = &doc;
    complaints_.progress = progress;
    doc.AddObserver(&complaints_);
}

CPrivateBoard::~CPrivateBoard() {
    stack_.Doc().RemoveObserver(&complaints_);
}

bool CPrivateBoard::CComplaints::ReportProgress(std::string_view task, std::size_t done, std::size_t total) {
    if (progress && !cancelled && !progress->ReportProgress(task, done, total))
        cancelled = true;
    return !cancelled;
}

void CPrivateBoard::CComplaints::EndProgress() {
    if (progress)
        progress->EndProgress();
}

void CPrivateBoard::CComplaints::OnDocumentUpdate() {
    // Indent 1 lines other than "Done" and "Returned ..." say what went wrong.
    const std::string& line = doc->PendingLogText();
    if (line.starts_with("\t") && !line.starts_with("\t\t") && !line.starts_with("\tDone") &&
        !line.starts_with("\tReturned"))
        Keep(line.substr(1, line.find_last_not_of("\r\n")));
}

void CPrivateBoard::CComplaints::Keep(std::string line) {
    lines.push_back(std::move(line));
    while (lines.size() > kKept)
        lines.pop_front();
}

} // namespace tarsion
