#pragma once

#include <string_view>

namespace tarsion {

// The document's log channel: one line of `indent` tabs, the text and "\r\n".
class ILogChannel {
public:
    virtual ~ILogChannel() = default;
    virtual void LogLine(std::string_view text, int indent) = 0;
};

} // namespace tarsion
