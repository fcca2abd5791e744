#include "ops/ScriptReplay.h"

#include "base/TextHelpers.h"
#include "ops/BoardOperations.h"
#include "ops/Trm90627Interface.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <optional>
#include <variant>

namespace tarsion {

namespace {

using Argument = std::variant<double, std::string, bool>;

bool IsNameChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '$';
}

bool SameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return (x | 0x20) == (y | 0x20); });
}

void AppendUtf8(std::string& out, std::uint32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xc0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3f));
    } else {
        out += static_cast<char>(0xe0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3f));
        out += static_cast<char>(0x80 | (code & 0x3f));
    }
}

// A cursor over one line of script text.
class CCallLine {
public:
    explicit CCallLine(std::string_view text) : text_(text) {}

    void SkipBlanks() {
        while (at_ < text_.size() && (text_[at_] == ' ' || text_[at_] == '\t'))
            ++at_;
    }
    bool Take(char c) {
        SkipBlanks();
        if (at_ < text_.size() && text_[at_] == c) {
            ++at_;
            return true;
        }
        return false;
    }
    std::string_view Name() {
        SkipBlanks();
        const std::size_t start = at_;
        while (at_ < text_.size() && IsNameChar(text_[at_]))
            ++at_;
        return text_.substr(start, at_ - start);
    }
    // Nothing but blanks, a line comment or nothing is left.
    bool AtEnd() {
        SkipBlanks();
        return at_ == text_.size() || text_.substr(at_).starts_with("//");
    }
    std::size_t Position() const { return at_; }
    void Rewind(std::size_t at) { at_ = at; }

    std::optional<Argument> Value() {
        SkipBlanks();
        if (at_ >= text_.size())
            return std::nullopt;
        const char c = text_[at_];
        if (c == '\'' || c == '"')
            return Quoted(c);
        const std::string_view word = Name();
        if (word == "true" || word == "false")
            return Argument{word == "true"};
        at_ -= word.size();
        return Number();
    }

private:
    std::optional<Argument> Number() {
        bool negative = false;
        if (at_ < text_.size() && (text_[at_] == '-' || text_[at_] == '+'))
            negative = text_[at_++] == '-';
        const std::string_view rest = text_.substr(at_);
        if (rest.starts_with("0x") || rest.starts_with("0X")) {
            std::uint64_t value = 0;
            const auto result = std::from_chars(rest.data() + 2, rest.data() + rest.size(), value, 16);
            if (result.ec != std::errc() || result.ptr == rest.data() + 2)
                return std::nullopt;
            at_ += static_cast<std::size_t>(result.ptr - rest.data());
            return Argument{negative ? -static_cast<double>(value) : static_cast<double>(value)};
        }
        double value = 0;
        const auto result = std::from_chars(rest.data(), rest.data() + rest.size(), value);
        if (result.ec != std::errc() || !std::isfinite(value))
            return std::nullopt;
        at_ += static_cast<std::size_t>(result.ptr - rest.data());
        return Argument{negative ? -value : value};
    }

    std::optional<Argument> Quoted(char quote) {
        std::string text;
        for (++at_; at_ < text_.size(); ++at_) {
            const char c = text_[at_];
            if (c == quote) {
                ++at_;
                return Argument{std::move(text)};
            }
            if (c != '\\') {
                text += c;
                continue;
            }
            if (++at_ >= text_.size())
                return std::nullopt;
            const char escape = text_[at_];
            const int digits = escape == 'x' ? 2 : escape == 'u' ? 4 : 0;
            if (digits) {
                if (at_ + digits >= text_.size())
                    return std::nullopt;
                std::uint32_t code = 0;
                for (int i = 1; i <= digits; ++i) {
                    const int digit = HexDigit(text_[at_ + i]);
                    if (digit < 0)
                        return std::nullopt;
                    code = code * 16 + static_cast<std::uint32_t>(digit);
                }
                AppendUtf8(text, code);
                at_ += digits;
            } else {
                text += escape == 'n' ? '\n' : escape == 'r' ? '\r' : escape == 't' ? '\t' : escape;
            }
        }
        return std::nullopt;
    }

    std::string_view text_;
    std::size_t at_ = 0;
};

// The arguments of one call, read in order by the type its method's description gives each.
// Register numbers and words must be whole numbers in their range, and every argument of the type
// it stands for (a flag may be a number): a configuration never writes anything else, so anything
// else refuses the script.
class CReplayArguments final : public CCallArguments {
public:
    explicit CReplayArguments(std::vector<Argument> values) : values_(std::move(values)) {}

    std::size_t Count() const { return values_.size(); }
    bool Refused() const { return refused_; }

    CCallNumber Number() override { return CCallNumber(NextNumber().value_or(0), refused_); }
    std::int16_t Short() override { return static_cast<std::int16_t>(Whole(INT16_MIN, INT16_MAX)); }
    std::int32_t Int() override { return static_cast<std::int32_t>(Whole(INT32_MIN, INT32_MAX)); }
    double Double() override { return NextNumber().value_or(0); }
    bool Bool() override { return NextNumber().value_or(0) != 0; }
    std::string String() override {
        const std::string* text =
            next_ < values_.size() ? std::get_if<std::string>(&values_[next_]) : nullptr;
        ++next_;
        refused_ |= !text;
        return text ? *text : std::string();
    }

private:
    // A number, or true and false as 1 and 0.
    std::optional<double> NextNumber() {
        const Argument* value = next_ < values_.size() ? &values_[next_] : nullptr;
        ++next_;
        if (const double* number = value ? std::get_if<double>(value) : nullptr)
            return *number;
        if (const bool* flag = value ? std::get_if<bool>(value) : nullptr)
            return *flag ? 1.0 : 0.0;
        refused_ = true;
        return std::nullopt;
    }
    std::int64_t Whole(std::int64_t low, std::int64_t high) {
        const double value = NextNumber().value_or(0);
        if (value == std::floor(value) && value >= static_cast<double>(low) &&
            value <= static_cast<double>(high))
            return static_cast<std::int64_t>(value);
        refused_ = true;
        return 0;
    }

    std::vector<Argument> values_;
    std::size_t next_ = 0;
    bool refused_ = false;
};

// The automation object's methods that change or read the board: those of its description that
// write no files.
const CallMethod* FindMethod(std::string_view name) {
    const auto found =
        std::find_if(kTrm90627Calls.begin(), kTrm90627Calls.end(), [name](const CallMethod& method) {
            return !method.writesFiles && SameName(method.name, name);
        });
    return found == kTrm90627Calls.end() ? nullptr : &*found;
}

} // namespace

struct CScriptReplay::Call {
    std::size_t line;
    const CallMethod* method;
    CallWork work;
};

namespace {

// One line: nothing to run, a call, or a refusal (of the line, or of the arguments to `method`).
struct LineReading {
    std::optional<CScriptReplay::Call> call;
    const char* refusal = nullptr;
    const CallMethod* badArguments = nullptr;
};

LineReading ReadLine(std::string_view text, std::size_t number, CBoardOperations& ops) {
    CCallLine line(text);
    if (line.AtEnd())
        return {};
    // "var Name = WScript.CreateObject(...);" and "var Data;" declare; nothing else may follow var.
    const std::size_t start = line.Position();
    if (line.Name() == "var") {
        const std::string_view variable = line.Name();
        if (variable.empty())
            return {std::nullopt, "not a recorded call"};
        if (line.Take(';') && line.AtEnd())
            return {};
        if (!line.Take('=') || line.Name() != "WScript" || !line.Take('.') || line.Name() != "CreateObject" ||
            !line.Take('(') || !line.Value() || !line.Take(')'))
            return {std::nullopt, "not a recorded call"};
        line.Take(';');
        return line.AtEnd() ? LineReading{} : LineReading{std::nullopt, "not a recorded call"};
    }
    line.Rewind(start);
    // An optional "Data =" before the call.
    const std::string_view first = line.Name();
    if (first.empty())
        return {std::nullopt, "not a recorded call"};
    if (first != "Tarsion") {
        if (!line.Take('=') || line.Name() != "Tarsion")
            return {std::nullopt, "not a recorded call"};
    }
    if (!line.Take('.'))
        return {std::nullopt, "not a recorded call"};
    const CallMethod* method = FindMethod(line.Name());
    if (!method)
        return {std::nullopt, "not a method that changes the board"};
    if (!line.Take('('))
        return {std::nullopt, "not a recorded call"};
    std::vector<Argument> values;
    if (!line.Take(')')) {
        do {
            auto value = line.Value();
            if (!value)
                return {std::nullopt, "bad argument"};
            values.push_back(std::move(*value));
        } while (line.Take(','));
        if (!line.Take(')'))
            return {std::nullopt, "not a recorded call"};
    }
    line.Take(';');
    if (!line.AtEnd())
        return {std::nullopt, "more than one call on the line"};
    CReplayArguments arguments(std::move(values));
    CallWork work = arguments.Count() == method->arguments ? method->bind(arguments, ops) : CallWork();
    if (!work || arguments.Refused())
        return {std::nullopt, nullptr, method};
    return {CScriptReplay::Call{number, method, std::move(work)}, nullptr};
}

} // namespace

bool CScriptReplay::Run(std::string_view text) {
    error_.clear();
    failures_.clear();
    if (text.size() > kLargestScript) {
        error_ = "the script is too large";
        return false;
    }
    if (text.starts_with("\xEF\xBB\xBF"))
        text.remove_prefix(3);
    std::vector<Call> calls;
    for (std::size_t number = 1; !text.empty(); ++number) {
        const auto end = std::min(text.find('\n'), text.size());
        std::string_view line = text.substr(0, end);
        text.remove_prefix(std::min(end + 1, text.size()));
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        LineReading reading = ReadLine(line, number, ops_);
        if (reading.refusal) {
            error_ = FormatText("line %zu: ", number) + reading.refusal;
            return false;
        }
        if (reading.badArguments) {
            error_ = FormatText("line %zu: bad arguments to %s", number, reading.badArguments->name);
            return false;
        }
        if (reading.call)
            calls.push_back(std::move(*reading.call));
    }
    for (const Call& call : calls) {
        if (call.work().succeeded)
            continue;
        std::string failure = FormatText("line %zu: %s failed", call.line, call.method->name);
        if (const std::string reason = ops_.Outcome().OperationResult(); !reason.empty())
            failure += ": " + reason;
        failures_.push_back(std::move(failure));
    }
    return true;
}

} // namespace tarsion
