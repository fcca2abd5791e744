#include "app/StreamLogView.h"

#include <ostream>

namespace tarsion {

CStreamLogView::CStreamLogView(CTarsionDoc& doc, std::ostream& out) : doc_(doc), out_(out) {
    doc_.AddObserver(this);
}

CStreamLogView::~CStreamLogView() {
    doc_.RemoveObserver(this);
    Write();
}

void CStreamLogView::OnDocumentUpdate() {
    const std::string& text = doc_.PendingLogText();
    if (text.empty())
        return;
    // The log's CR LF line ends become LF, as in the log window.
    std::size_t from = 0;
    for (std::size_t crlf = text.find("\r\n"); crlf != std::string::npos; crlf = text.find("\r\n", from)) {
        queued_.append(text, from, crlf - from).push_back('\n');
        from = crlf + 2;
    }
    queued_.append(text, from);
    pacer_.MarkStale();
}

void CStreamLogView::Write() {
    if (queued_.empty())
        return;
    out_.write(queued_.data(), static_cast<std::streamsize>(queued_.size()));
    out_.flush();
    queued_.clear();
}

} // namespace tarsion
