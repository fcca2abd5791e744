#pragma once

#include <istream>
#include <string>

namespace tarsion {

// The lines of a text file written on any system: LF, CRLF or a lone CR ends a line (the end is
// not part of the line), and a UTF-8 byte-order mark at the very start is no part of the text.
class CTextLines {
public:
    explicit CTextLines(std::istream& in);

    // False once the text is used up; a last line without an end still counts.
    bool Next(std::string& line);

private:
    std::istream& in_;
};

} // namespace tarsion
