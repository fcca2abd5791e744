#pragma once

#include "ops/TarsionDoc.h"
#include "pages/FramePacer.h"

#include <iosfwd>
#include <string>

namespace tarsion {

// The headless program's log window: every log line goes to a stream (standard output), indented
// with tabs, paced as the log window is: a line logged outside an operation is written at once;
// the lines of a stream of operations (a script's calls) are written together at most once a
// frame, after the calls are answered, rather than with a write of their own each. Whatever is
// queued is written when the view ends.
class CStreamLogView final : public IDocumentObserver {
public:
    CStreamLogView(CTarsionDoc& doc, std::ostream& out);
    ~CStreamLogView() override;
    CStreamLogView(const CStreamLogView&) = delete;
    CStreamLogView& operator=(const CStreamLogView&) = delete;

    void OnDocumentUpdate() override;
    void OnDocumentSettled(bool operationEnded) override { pacer_.Settle(operationEnded); }

private:
    void Write();

    CTarsionDoc& doc_;
    std::ostream& out_;
    std::string queued_;
    CFramePacer pacer_{[this] { Write(); }};
};

} // namespace tarsion
