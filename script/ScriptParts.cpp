#include "script/ScriptParts.h"

#include <QByteArray>
#include <QStringDecoder>

#include <algorithm>

namespace tarsion {

namespace {

bool IdentifierStart(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == '$';
}

bool IdentifierPart(char c) {
    return IdentifierStart(c) || (c >= '0' && c <= '9');
}

bool Digit(char c) {
    return c >= '0' && c <= '9';
}

bool HexDigit(char c) {
    return Digit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// Reads one plain call line from left to right.
class CallLine {
public:
    explicit CallLine(std::string_view text) : text_(text) {}

    bool Read() {
        Blanks();
        if (AtEnd() || text_.substr(at_, 2) == "//")
            return true;
        if (!Identifier())
            return false;
        Blanks();
        if (Peek() == '=' && Peek(1) != '=') {
            ++at_;
            Blanks();
            if (!Identifier())
                return false;
            Blanks();
        }
        if (!Take('.') || !Identifier() || !Take('('))
            return false;
        if (!Take(')')) {
            do {
                if (!Argument())
                    return false;
            } while (Take(','));
            if (!Take(')'))
                return false;
        }
        Take(';');
        Blanks();
        return AtEnd();
    }

private:
    bool AtEnd() const { return at_ >= text_.size(); }
    char Peek(std::size_t ahead = 0) const { return at_ + ahead < text_.size() ? text_[at_ + ahead] : '\0'; }
    void Blanks() {
        while (Peek() == ' ' || Peek() == '\t')
            ++at_;
    }
    bool Take(char c) {
        Blanks();
        if (Peek() != c)
            return false;
        ++at_;
        return true;
    }
    bool Identifier() {
        Blanks();
        if (!IdentifierStart(Peek()))
            return false;
        while (IdentifierPart(Peek()))
            ++at_;
        return true;
    }
    std::size_t Digits(bool (*kind)(char)) {
        const std::size_t start = at_;
        while (kind(Peek()))
            ++at_;
        return at_ - start;
    }
    bool Argument() {
        Blanks();
        const char quote = Peek();
        if (quote == '\'' || quote == '"') {
            // No escapes: a backslash could continue the string onto the next line.
            for (++at_; !AtEnd() && Peek() != quote; ++at_) {
                if (Peek() == '\\' || static_cast<unsigned char>(Peek()) < 0x20)
                    return false;
            }
            return Take(quote);
        }
        if (Peek() == '-' || Peek() == '+')
            ++at_;
        if (Peek() == '0' && (Peek(1) == 'x' || Peek(1) == 'X')) {
            at_ += 2;
            if (Digits(HexDigit) == 0)
                return false;
        } else {
            std::size_t digits = Digits(Digit);
            if (Peek() == '.') {
                ++at_;
                digits += Digits(Digit);
            }
            if (digits == 0)
                return false;
            if (Peek() == 'e' || Peek() == 'E') {
                ++at_;
                if (Peek() == '-' || Peek() == '+')
                    ++at_;
                if (Digits(Digit) == 0)
                    return false;
            }
        }
        return !IdentifierPart(Peek()) && Peek() != '.';
    }

    std::string_view text_;
    std::size_t at_ = 0;
};

// The line ending at `end` (a line feed or the end of the text), without a carriage return.
std::string_view LineBefore(std::string_view text, std::size_t start, std::size_t end) {
    std::string_view line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    return line;
}

bool HasWord(std::string_view text, std::string_view word) {
    for (std::size_t at = text.find(word); at != std::string_view::npos; at = text.find(word, at + 1)) {
        const bool before = at > 0 && IdentifierPart(text[at - 1]);
        const bool after = at + word.size() < text.size() && IdentifierPart(text[at + word.size()]);
        if (!before && !after)
            return true;
    }
    return false;
}

// The program may be run apart from what follows it: it ends with a whole statement, and every
// name it declares lives on the global object.
bool ProgramStandsAlone(std::string_view program) {
    const std::size_t last = program.find_last_not_of(" \t\r\n");
    if (last != std::string_view::npos && program[last] != ';' && program[last] != '}')
        return false;
    for (const std::string_view word : {"let", "const", "class"}) {
        if (HasWord(program, word))
            return false;
    }
    return program.find("use strict") == std::string_view::npos;
}

} // namespace

bool IsPlainCallLine(std::string_view line) {
    // Characters that JavaScript takes as line ends would shift the line numbers.
    if (line.find('\r') != std::string_view::npos || line.find("\xE2\x80\xA8") != std::string_view::npos ||
        line.find("\xE2\x80\xA9") != std::string_view::npos)
        return false;
    return CallLine(line).Read();
}

ScriptParts SplitScript(std::string_view utf8) {
    ScriptParts whole{utf8, {}, 1};
    // The start of the run of plain lines that reaches the end, and how many lines come before it.
    std::size_t runStart = 0;
    int runFirstLine = 1;
    int runLines = 0;
    int line = 1;
    for (std::size_t start = 0; start < utf8.size(); ++line) {
        std::size_t end = utf8.find('\n', start);
        if (end == std::string_view::npos)
            end = utf8.size();
        if (IsPlainCallLine(LineBefore(utf8, start, end))) {
            ++runLines;
        } else {
            runStart = end + 1;
            runFirstLine = line + 1;
            runLines = 0;
        }
        start = end + 1;
    }
    if (runLines < kCallChunkLines || runStart > utf8.size())
        return whole;
    const std::string_view program = utf8.substr(0, runStart);
    if (!ProgramStandsAlone(program))
        return whole;
    return {program, utf8.substr(runStart), runFirstLine};
}

std::string_view NextCallChunk(std::string_view calls, int& lines) {
    std::size_t end = 0;
    lines = 0;
    while (end < calls.size() && lines < kCallChunkLines && end < kCallChunkBytes) {
        const std::size_t feed = calls.find('\n', end);
        end = feed == std::string_view::npos ? calls.size() : feed + 1;
        ++lines;
    }
    return calls.substr(0, end);
}

std::string_view ScriptUtf8(std::string_view bytes, std::string& converted) {
    const QByteArrayView view(bytes.data(), static_cast<qsizetype>(bytes.size()));
    const auto encoding = QStringConverter::encodingForData(view);
    if (!encoding || *encoding == QStringConverter::Utf8)
        return bytes.starts_with("\xEF\xBB\xBF") ? bytes.substr(3) : bytes;
    QStringDecoder decoder(*encoding);
    const QString text = decoder(view);
    converted = text.toStdString();
    return converted;
}

} // namespace tarsion
