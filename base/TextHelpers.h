#pragma once

#include <charconv>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace tarsion {

// Text helpers of the operation layer, the memory loaders and the configuration script.

// The text without white space at either end (a CR of a CRLF line end included).
inline std::string_view TrimmedText(std::string_view text) {
    constexpr std::string_view kWhiteSpace = " \t\r\n\v\f";
    const auto first = text.find_first_not_of(kWhiteSpace);
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(kWhiteSpace) - first + 1);
}

// 0..15 for a hexadecimal digit of either case, else -1.
inline int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// "%lf" without the C locale's say: the GUI runs under the user's locale, and a decimal comma
// would break the scripts that read these numbers back.
inline std::string FixedSix(double value) {
    char text[400];
    const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 6);
    return std::string(text, result.ptr);
}

// Appends `value` in lower-case hexadecimal, at least `digits` digits, as "%.Nx" writes it. A script
// pokes thousands of times a second, and its lines are made of register addresses and words.
inline void AppendHex(std::string& text, std::uint32_t value, int digits) {
    char reversed[8];
    int length = 0;
    do {
        reversed[length++] = "0123456789abcdef"[value & 0xF];
        value >>= 4;
    } while (value != 0);
    if (digits > length)
        text.append(static_cast<std::size_t>(digits - length), '0');
    while (length > 0)
        text.push_back(reversed[--length]);
}

// printf-style formatting into a string of whatever length the values need. A log line usually
// fits the stack buffer, so the values are formatted once.
[[gnu::format(printf, 1, 2)]] inline std::string FormatText(const char* format, ...) {
    char buffer[256];
    std::va_list args;
    va_start(args, format);
    std::va_list again;
    va_copy(again, args);
    const int length = std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    std::string text;
    if (length > 0 && static_cast<std::size_t>(length) < sizeof buffer) {
        text.assign(buffer, static_cast<std::size_t>(length));
    } else if (length > 0) {
        text.resize(static_cast<std::size_t>(length));
        std::vsnprintf(text.data(), text.size() + 1, format, again);
    }
    va_end(again);
    return text;
}

} // namespace tarsion
