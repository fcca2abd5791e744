#include "app/StreamLogView.h"

#include <ostream>

namespace tarsion {

CStreamLogView::CStreamLogView(CTarsionDoc& doc, std::ostream& out) : doc_(doc), out_(out) {
    doc_.AddObserver(this);
}

CStreamLogView::~CStreamLogView() {
    doc_.RemoveObserver(this);
}

void CStreamLogView::OnDocumentUpdate() {
    const std::string& text = doc_.PendingLogText();
    if (text.empty())
        return;
    // The log's CR LF line ends become LF, as in the log window.
    std::size_t from = 0;
    for (std::size_t crlf = text.find("\r\n"); crlf != std::string::npos; crlf = text.find("\r\n", from)) {
        out_.write(text.data() + from, static_cast<std::streamsize>(crlf - from)) << '\n';
        from = crlf + 2;
    }
    out_.write(text.data() + from, static_cast<std::streamsize>(text.size() - from));
    out_.flush();
}

} // namespace tarsion
