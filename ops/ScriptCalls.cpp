#include "ops/ScriptCalls.h"

#include "base/TextHelpers.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <optional>

namespace tarsion {

namespace {

constexpr std::string_view kLineSeparator = "\xE2\x80\xA8";
constexpr std::string_view kParagraphSeparator = "\xE2\x80\xA9";
// Eight digits hold every register word; the host reads longer ones too, but nothing writes them.
constexpr std::size_t kLongestHex = 8;

// The script host's own names and the variables these files declare.
constexpr std::string_view kObject = "Tarsion";
constexpr std::string_view kResult = "Data";
constexpr std::string_view kDeclared[] = {kObject, "WshShell", kResult};
constexpr std::string_view kHost = "WScript";
constexpr std::string_view kHostNames[] = {kHost, "ActiveXObject"};

// The length of the line terminator at `at`, 0 when there is none.
std::size_t TerminatorAt(std::string_view text, std::size_t at) {
    if (text[at] == '\n')
        return 1;
    if (text[at] == '\r')
        return at + 1 < text.size() && text[at + 1] == '\n' ? 2 : 1;
    const std::string_view rest = text.substr(at);
    return rest.starts_with(kLineSeparator) || rest.starts_with(kParagraphSeparator) ? 3 : 0;
}

bool Continuation(std::string_view text, std::size_t at) {
    return at < text.size() && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80;
}

// The length of the well-formed UTF-8 sequence at `at`, 0 when it is not one (overlong forms,
// surrogates and code points past U+10FFFF included): the host would read such bytes as U+FFFD.
std::size_t Utf8Length(std::string_view text, std::size_t at) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[at + i]); };
    const unsigned char lead = byte(0);
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (!Continuation(text, at + 1) || byte(1) < low || byte(1) > high)
        return 0;
    for (std::size_t i = 2; i < length; ++i)
        if (!Continuation(text, at + i))
            return 0;
    return length;
}

void AppendUtf8(std::string& out, std::uint32_t code) {
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

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsNameStart(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == '$';
}

template <std::size_t N>
bool OneOf(std::string_view name, const std::string_view (&names)[N]) {
    for (const std::string_view candidate : names)
        if (name == candidate)
            return true;
    return false;
}

// What one line holds once read.
struct Reading {
    enum class Kind { Nothing, Declaration, Call } kind = Kind::Nothing;
    std::string variable; // declared, or given the call's result
    std::string progId;   // of a declaration's WScript.CreateObject, lower case
    ScriptCall call;
    std::string refusal;
};

// A cursor over one line.
class CLineReader {
public:
    explicit CLineReader(std::string_view text) : text_(text) {}

    Reading Read() {
        Reading reading;
        if (AtEnd())
            return reading;
        const std::size_t start = at_;
        if (Name() == "var")
            return Declaration();
        at_ = start;
        std::string_view object = Name();
        if (object.empty())
            return Refusal("not a recorded call");
        if (Take('=')) {
            reading.variable = std::string(object);
            object = Name();
        }
        if (object != kObject || !Take('.'))
            return Refusal("not a recorded call");
        reading.call.method = std::string(Name());
        if (reading.call.method.empty() || !Take('('))
            return Refusal("not a recorded call");
        if (!Take(')')) {
            do {
                std::optional<ScriptValue> value = Value();
                if (!value)
                    return Refusal(refusal_.empty() ? "bad argument" : refusal_);
                reading.call.arguments.push_back(std::move(*value));
            } while (Take(','));
            if (!Take(')'))
                return Refusal("not a recorded call");
        }
        Take(';');
        if (!AtEnd())
            return Refusal("more than one call on the line");
        reading.kind = Reading::Kind::Call;
        return reading;
    }

private:
    static Reading Refusal(std::string why) {
        Reading reading;
        reading.refusal = std::move(why);
        return reading;
    }

    // `var Name;` or `var Name = WScript.CreateObject("ProgId");`
    Reading Declaration() {
        Reading reading;
        reading.kind = Reading::Kind::Declaration;
        reading.variable = std::string(Name());
        if (reading.variable.empty())
            return Refusal("not a recorded call");
        if (Take('=')) {
            if (Name() != kHost || !Take('.') || Name() != "CreateObject" || !Take('('))
                return Refusal("not a recorded call");
            const std::optional<ScriptValue> progId = Value();
            const std::string* text = progId ? std::get_if<std::string>(&*progId) : nullptr;
            if (!text || !Take(')'))
                return Refusal("not a recorded call");
            for (const char c : *text)
                reading.progId += static_cast<char>(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c);
        }
        Take(';');
        if (!AtEnd())
            return Refusal("not a recorded call");
        return reading;
    }

    char Peek(std::size_t ahead = 0) const { return at_ + ahead < text_.size() ? text_[at_ + ahead] : '\0'; }
    void SkipBlanks() {
        while (Peek() == ' ' || Peek() == '\t')
            ++at_;
    }
    bool Take(char c) {
        SkipBlanks();
        if (at_ >= text_.size() || Peek() != c)
            return false;
        ++at_;
        return true;
    }
    // Nothing but blanks and perhaps a line comment is left.
    bool AtEnd() {
        SkipBlanks();
        return at_ == text_.size() || text_.substr(at_).starts_with("//");
    }
    std::string_view Name() {
        SkipBlanks();
        const std::size_t start = at_;
        if (IsNameStart(Peek()))
            while (IsNameStart(Peek()) || IsDigit(Peek()))
                ++at_;
        return text_.substr(start, at_ - start);
    }

    std::optional<ScriptValue> Value() {
        SkipBlanks();
        const char c = Peek();
        if (c == '\'' || c == '"')
            return Quoted(c);
        if (IsNameStart(c)) {
            const std::string_view word = Name();
            refusal_ = word == "true" || word == "false"
                           ? std::string(word) + " is not a number to the automation object: write 1 or 0"
                           : "bad argument";
            return std::nullopt;
        }
        return Number();
    }

    // 12, -3, 1.500000 and 0x0a: what the writers of configurations and recordings write.
    std::optional<ScriptValue> Number() {
        const std::size_t start = at_;
        if (Peek() == '0' && Peek(1) == 'x') {
            at_ += 2;
            while (HexDigit(Peek()) >= 0)
                ++at_;
            const std::size_t digits = at_ - start - 2;
            if (digits == 0 || digits > kLongestHex)
                return std::nullopt;
            std::uint32_t value = 0;
            std::from_chars(text_.data() + start + 2, text_.data() + at_, value, 16);
            return ScriptValue{static_cast<double>(value)};
        }
        if (Peek() == '-')
            ++at_;
        if (!IsDigit(Peek()))
            return std::nullopt;
        if (Peek() == '0' && IsDigit(Peek(1))) {
            refusal_ = "a number with a leading zero, which JavaScript does not read as decimal";
            return std::nullopt;
        }
        while (IsDigit(Peek()))
            ++at_;
        if (Peek() == '.') {
            ++at_;
            if (!IsDigit(Peek()))
                return std::nullopt;
            while (IsDigit(Peek()))
                ++at_;
        }
        double value = 0;
        const auto result = std::from_chars(text_.data() + start, text_.data() + at_, value);
        if (result.ec != std::errc() || result.ptr != text_.data() + at_ || !std::isfinite(value))
            return std::nullopt;
        return ScriptValue{value};
    }

    // The escapes the writers use; any other (\b, \0, \u{...}, a line continuation) is refused.
    std::optional<ScriptValue> Quoted(char quote) {
        std::string text;
        for (++at_; at_ < text_.size(); ++at_) {
            const char c = text_[at_];
            if (c == quote) {
                ++at_;
                return ScriptValue{std::move(text)};
            }
            if (static_cast<unsigned char>(c) < 0x20 && c != '\t')
                return std::nullopt;
            if (c != '\\') {
                text += c;
                continue;
            }
            const char escape = Peek(1);
            ++at_;
            if (escape == 'x' || escape == 'u') {
                const int digits = escape == 'x' ? 2 : 4;
                std::uint32_t code = 0;
                for (int i = 1; i <= digits; ++i) {
                    const int digit = HexDigit(Peek(static_cast<std::size_t>(i)));
                    if (digit < 0)
                        return std::nullopt;
                    code = code * 16 + static_cast<std::uint32_t>(digit);
                }
                // No NUL (a bus string can't hold it), no half of a surrogate pair.
                if (code == 0 || (code >= 0xD800 && code <= 0xDFFF))
                    return std::nullopt;
                AppendUtf8(text, code);
                at_ += static_cast<std::size_t>(digits);
            } else if (escape == '\\' || escape == '\'' || escape == '"') {
                text += escape;
            } else if (escape == 'n' || escape == 'r' || escape == 't') {
                text += escape == 'n' ? '\n' : escape == 'r' ? '\r' : '\t';
            } else {
                return std::nullopt;
            }
        }
        return std::nullopt;
    }

    std::string_view text_;
    std::size_t at_ = 0;
    std::string refusal_;
};

// Checks what a line declares or calls against what the lines before it made.
class CScriptNames {
public:
    // Empty when the line is sound.
    std::string Check(const Reading& reading) {
        const std::string& name = reading.variable;
        if (reading.kind == Reading::Kind::Declaration) {
            if (OneOf(name, kHostNames))
                return name + " is the script host's own name";
            if (!OneOf(name, kDeclared))
                return "a configuration declares only Tarsion, WshShell and Data, not " + name;
            if (!reading.progId.empty() && reading.progId != "trm90627" && reading.progId != "wscript.shell")
                return "not an object the script host makes";
            if (name == kObject && !reading.progId.empty()) {
                if (reading.progId != "trm90627")
                    return "Tarsion must be the automation object Trm90627";
                objectMade_ = true;
            }
            return {};
        }
        if (reading.kind != Reading::Kind::Call)
            return {};
        if (!objectMade_)
            return "Tarsion is used before var Tarsion = WScript.CreateObject(\"Trm90627\") makes it";
        if (!name.empty() && name != kResult)
            return "a call's result goes into Data only, not " + name;
        return {};
    }

private:
    bool objectMade_ = false;
};

} // namespace

bool ReadScriptCalls(std::string_view text, std::vector<ScriptCall>& calls, std::string& error) {
    calls.clear();
    error.clear();
    if (text.starts_with("\xEF\xBB\xBF"))
        text.remove_prefix(3);
    CScriptNames names;
    std::size_t number = 1;
    for (std::size_t start = 0, at = 0; start <= text.size(); ++number) {
        // The line runs to the next terminator; bytes that are not UTF-8 refuse it.
        std::size_t terminator = 0;
        while (at < text.size() && (terminator = TerminatorAt(text, at)) == 0) {
            const std::size_t length = Utf8Length(text, at);
            if (length == 0) {
                error = FormatText("line %zu: not UTF-8 text", number);
                return false;
            }
            at += length;
        }
        Reading reading = CLineReader(text.substr(start, at - start)).Read();
        if (reading.refusal.empty())
            reading.refusal = names.Check(reading);
        if (!reading.refusal.empty()) {
            error = FormatText("line %zu: ", number) + reading.refusal;
            return false;
        }
        if (reading.kind == Reading::Kind::Call) {
            reading.call.line = number;
            calls.push_back(std::move(reading.call));
        }
        if (at >= text.size())
            break;
        at += terminator;
        start = at;
    }
    return true;
}

} // namespace tarsion
