#include "base/TextLines.h"

#include <string_view>

namespace tarsion {

namespace {
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
} // namespace

CTextLines::CTextLines(std::istream& in) : in_(in) {
    std::streambuf* buffer = in_.rdbuf();
    if (!buffer)
        return;
    // Take the mark only when all of it is there; anything else goes back.
    std::string start;
    while (start.size() < kByteOrderMark.size() &&
           buffer->sgetc() == std::char_traits<char>::to_int_type(kByteOrderMark[start.size()]))
        start += static_cast<char>(buffer->sbumpc());
    for (auto i = start.size(); start.size() != kByteOrderMark.size() && i > 0; --i)
        buffer->sungetc();
}

bool CTextLines::Next(std::string& line) {
    line.clear();
    std::streambuf* buffer = in_.rdbuf();
    constexpr int kEnd = std::char_traits<char>::eof();
    int c = buffer ? buffer->sbumpc() : kEnd;
    if (c == kEnd) {
        in_.setstate(std::ios::eofbit);
        return false;
    }
    while (c != kEnd && c != '\n' && c != '\r') {
        line += static_cast<char>(c);
        c = buffer->sbumpc();
    }
    if (c == '\r' && buffer->sgetc() == '\n')
        buffer->sbumpc();
    return true;
}

} // namespace tarsion
