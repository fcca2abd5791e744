#pragma once

#include "board/LogChannel.h"

#include <string>

namespace tarsion::test {

// Collects log lines exactly as the document forms them: indent tabs, text, "\r\n".
class LogCapture final : public ILogChannel {
public:
    void LogLine(std::string_view line, int indent) override {
        for (int i = 0; i < indent; ++i)
            text += '\t';
        text += line;
        text += "\r\n";
    }
    std::string text;
};

} // namespace tarsion::test
