#pragma once

#include "ops/TarsionDoc.h"

#include <iosfwd>

namespace tarsion {

// The headless program's log window: every log line goes to a stream (standard output) as the
// log window receives it, indented with tabs, each flushed at once so that a reader following
// the output sees an operation as it happens.
class CStreamLogView final : public IDocumentObserver {
public:
    CStreamLogView(CTarsionDoc& doc, std::ostream& out);
    ~CStreamLogView() override;
    CStreamLogView(const CStreamLogView&) = delete;
    CStreamLogView& operator=(const CStreamLogView&) = delete;

    void OnDocumentUpdate() override;

private:
    CTarsionDoc& doc_;
    std::ostream& out_;
};

} // namespace tarsion
