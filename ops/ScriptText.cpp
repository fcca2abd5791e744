#include "ops/ScriptText.h"

#include "base/TextHelpers.h"

namespace tarsion {

namespace {
// U+2028 LINE SEPARATOR and U+2029 PARAGRAPH SEPARATOR end a line inside a script as LF does.
constexpr std::string_view kLineSeparator = "\xE2\x80\xA8";
constexpr std::string_view kParagraphSeparator = "\xE2\x80\xA9";
} // namespace

std::string ScriptStringText(std::string_view text) {
    std::string escaped;
    escaped.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const std::string_view rest = text.substr(i);
        if (rest.starts_with(kLineSeparator) || rest.starts_with(kParagraphSeparator)) {
            escaped += rest.starts_with(kLineSeparator) ? "\\u2028" : "\\u2029";
            i += kLineSeparator.size() - 1;
        } else if (c == '\\' || c == '\'') {
            escaped += '\\';
            escaped += c;
        } else if (c == '\n') {
            escaped += "\\n";
        } else if (c == '\r') {
            escaped += "\\r";
        } else if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            escaped += FormatText("\\x%.2x", static_cast<unsigned>(static_cast<unsigned char>(c)));
        } else {
            escaped += c;
        }
    }
    return escaped;
}

} // namespace tarsion
