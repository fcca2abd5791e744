#pragma once

#include "board/LogChannel.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tarsion {

class CTarsionDoc;

// The log channel of a board stack, for the operation layer and the board link below it. Every
// line goes on to the document's log. The result lines of the operation in progress (indent 1 and
// deeper, in the fixed texts the log shows) are also kept as values: what the operation did and,
// when it failed, why. Callers take the reason from here, never from the log's text.
class COperationLog final : public ILogChannel {
public:
    // Each kept list stops growing at this size; a runaway operation keeps its first lines.
    static constexpr std::size_t kLongest = 4096;

    explicit COperationLog(CTarsionDoc& doc) : doc_(doc) {}

    void LogLine(std::string_view text, int indent) override;

    // The outermost operation starts (its lines start afresh) and ends.
    void BeginOperation();
    void EndOperation() { inOperation_ = false; }
    // One step of an operation (an item of a batch) starts: its own lines start afresh.
    void BeginStep() { step_.Clear(); }

    // The result lines, without indent and trailing blanks, joined by "; ": of the last operation
    // (or the one in progress), and of the step in progress.
    std::string OperationResult() const { return operation_.Joined(); }
    std::string StepResult() const { return step_.Joined(); }

private:
    struct Lines {
        std::vector<std::string> lines;
        std::size_t size = 0;
        void Keep(std::string_view line);
        void Clear();
        std::string Joined() const;
    };

    CTarsionDoc& doc_;
    bool inOperation_ = false;
    Lines operation_;
    Lines step_;
};

} // namespace tarsion
