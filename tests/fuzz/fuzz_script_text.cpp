// Any text written between the quotes of a script line comes back as the same text when the
// script runs, and nothing after it can escape the string: the line is read here as a JavaScript
// engine reads a single-quoted string literal (bytes other than escapes and line breaks stand for
// themselves, as they do in the UTF-8 text the engine decodes).
#include "base/TextHelpers.h"
#include "ops/ScriptText.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace {

constexpr std::string_view kLineSeparator = "\xE2\x80\xA8";
constexpr std::string_view kParagraphSeparator = "\xE2\x80\xA9";

std::optional<unsigned> HexNumber(std::string_view text, std::size_t& at, std::size_t digits) {
    if (text.size() - at < digits)
        return std::nullopt;
    unsigned value = 0;
    for (std::size_t i = 0; i < digits; ++i) {
        const int digit = tarsion::HexDigit(text[at + i]);
        if (digit < 0)
            return std::nullopt;
        value = value * 16 + static_cast<unsigned>(digit);
    }
    at += digits;
    return value;
}

void AppendUtf8(std::string& out, unsigned code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// The value of the literal opening at `at` (on its quote); `at` ends after the closing quote.
// Empty when the literal is not well formed: a line break inside, or no closing quote.
std::optional<std::string> ReadLiteral(std::string_view line, std::size_t& at) {
    if (at >= line.size() || line[at] != '\'')
        return std::nullopt;
    std::string value;
    for (++at; at < line.size();) {
        const std::string_view rest = line.substr(at);
        const char c = line[at];
        if (c == '\'') {
            ++at;
            return value;
        }
        if (c == '\n' || c == '\r' || rest.starts_with(kLineSeparator) ||
            rest.starts_with(kParagraphSeparator))
            return std::nullopt;
        ++at;
        if (c != '\\') {
            value += c;
            continue;
        }
        if (at >= line.size())
            return std::nullopt;
        const char escape = line[at++];
        std::optional<unsigned> code;
        switch (escape) {
        case 'n':
            value += '\n';
            break;
        case 'r':
            value += '\r';
            break;
        case 't':
            value += '\t';
            break;
        case 'b':
            value += '\b';
            break;
        case 'f':
            value += '\f';
            break;
        case 'v':
            value += '\v';
            break;
        case 'x':
            if (!(code = HexNumber(line, at, 2)))
                return std::nullopt;
            AppendUtf8(value, *code);
            break;
        case 'u':
            if (!(code = HexNumber(line, at, 4)))
                return std::nullopt;
            AppendUtf8(value, *code);
            break;
        default:
            // \0 and digits have meanings of their own, and a line break continues the line: the
            // writer must produce none of them.
            if ((escape >= '0' && escape <= '9') || escape == '\n' || escape == '\r' ||
                static_cast<unsigned char>(escape) >= 0x80)
                return std::nullopt;
            value += escape;
        }
    }
    return std::nullopt;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string name(reinterpret_cast<const char*>(data), size);
    const std::string line = "Tarsion.LoadConstellationRam('" + tarsion::ScriptStringText(name) + " ' );";
    std::size_t at = line.find('\'');
    const std::optional<std::string> value = ReadLiteral(line, at);
    if (!value || *value != name + " " || line.substr(at) != " );")
        __builtin_trap();
    return 0;
}
