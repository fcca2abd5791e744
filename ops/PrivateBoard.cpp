#include "ops/PrivateBoard.h"

#include "board/VirtualBoard.h"

#include <memory>

namespace tarsion {

CPrivateBoard::CPrivateBoard(const CTarsionDoc& like)
    : link_(doc_.Shadow(), doc_, std::make_unique<VirtualBoard>(), clock_), ops_(link_, doc_, complaints_) {
    doc_.Shadow().SetClockPin(like.Shadow().ClockPin());
    doc_.Shadow().RecomputeSysClk();
    doc_.startDirectory = like.startDirectory;
    doc_.AddObserver(&complaints_);
}

CPrivateBoard::~CPrivateBoard() {
    doc_.RemoveObserver(&complaints_);
}

void CPrivateBoard::CComplaints::OnDocumentUpdate() {
    // Indent 1 lines other than "Done" and "Returned ..." say what went wrong.
    const std::string& line = doc_.PendingLogText();
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
