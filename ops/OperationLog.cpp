#include "ops/OperationLog.h"

#include "ops/TarsionDoc.h"

namespace tarsion {

void COperationLog::LogLine(std::string_view text, int indent) {
    doc_.LogLine(text, indent);
    if (!inOperation_ || indent < 1)
        return;
    const auto last = text.find_last_not_of("\r\n ");
    if (last == std::string_view::npos)
        return;
    text = text.substr(0, last + 1);
    operation_.Keep(text);
    step_.Keep(text);
}

void COperationLog::BeginOperation() {
    inOperation_ = true;
    operation_.Clear();
    step_.Clear();
}

void COperationLog::Lines::Keep(std::string_view line) {
    if (size + line.size() > kLongest)
        return;
    size += line.size();
    lines.emplace_back(line);
}

void COperationLog::Lines::Clear() {
    lines.clear();
    size = 0;
}

std::string COperationLog::Lines::Joined() const {
    std::string text;
    for (const std::string& line : lines) {
        if (!text.empty())
            text += "; ";
        text += line;
    }
    return text;
}

} // namespace tarsion
