#pragma once

#include "ops/TarsionDoc.h"

#include <string>

namespace tarsion {

// Collects the result lines (indent 1 and deeper) logged while it lives, so that a caller far from
// the log can say why an operation failed: the lines, without indent, line end or trailing blanks,
// joined by "; ".
class CLogCapture final : public IDocumentObserver {
public:
    // With `perOperation`, each first line of an operation (indent 0) starts the text afresh, so the
    // text is always that of the last operation.
    explicit CLogCapture(CTarsionDoc& doc, bool perOperation = false)
        : doc_(doc), perOperation_(perOperation) {
        doc_.AddObserver(this);
    }
    ~CLogCapture() override { doc_.RemoveObserver(this); }
    CLogCapture(const CLogCapture&) = delete;
    CLogCapture& operator=(const CLogCapture&) = delete;

    void Clear() { text_.clear(); }
    const std::string& Text() const { return text_; }

    void OnDocumentUpdate() override {
        const std::string& line = doc_.PendingLogText();
        if (!line.empty() && line.front() != '\t' && perOperation_)
            text_.clear();
        if (line.empty() || line.front() != '\t')
            return;
        const auto first = line.find_first_not_of('\t');
        const auto last = line.find_last_not_of("\r\n ");
        if (first == std::string::npos || last == std::string::npos || last < first)
            return;
        // Bounded: only the lines of the current step are kept, and a runaway step keeps its first lines.
        if (text_.size() > kLongest)
            return;
        if (!text_.empty())
            text_ += "; ";
        text_.append(line, first, last - first + 1);
    }

private:
    static constexpr std::size_t kLongest = 4096;
    CTarsionDoc& doc_;
    const bool perOperation_;
    std::string text_;
};

} // namespace tarsion
