#pragma once

#include "ops/TarsionDoc.h"

#include <string>

namespace tarsion::test {

// Collects the log exactly as the log window receives it from the document.
class LogView final : public IDocumentObserver {
public:
    explicit LogView(CTarsionDoc& doc) : doc_(doc) { doc_.AddObserver(this); }
    ~LogView() override { doc_.RemoveObserver(this); }
    void OnDocumentUpdate() override { text += doc_.PendingLogText(); }
    std::string text;

private:
    CTarsionDoc& doc_;
};

} // namespace tarsion::test
