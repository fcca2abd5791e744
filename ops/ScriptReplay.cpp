#include "ops/ScriptReplay.h"

#include "base/TextHelpers.h"
#include "ops/BoardOperations.h"

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

// The arguments of one call, read by the type the method takes. Register numbers and words must
// be whole numbers in their range: a configuration never writes anything else.
class CArguments {
public:
    explicit CArguments(std::vector<Argument> values) : values_(std::move(values)) {}

    bool Count(std::size_t n) const { return values_.size() == n; }
    std::optional<std::int64_t> Whole(std::size_t i, std::int64_t low, std::int64_t high) const {
        const double* value = std::get_if<double>(&values_[i]);
        if (const bool* flag = std::get_if<bool>(&values_[i]))
            return *flag ? 1 : 0;
        if (!value || *value != std::floor(*value) || *value < static_cast<double>(low) ||
            *value > static_cast<double>(high))
            return std::nullopt;
        return static_cast<std::int64_t>(*value);
    }
    std::optional<double> Real(std::size_t i) const {
        if (const bool* flag = std::get_if<bool>(&values_[i]))
            return *flag ? 1.0 : 0.0;
        const double* value = std::get_if<double>(&values_[i]);
        return value ? std::optional<double>(*value) : std::nullopt;
    }
    std::optional<bool> Flag(std::size_t i) const {
        const auto value = Real(i);
        return value ? std::optional<bool>(*value != 0) : std::nullopt;
    }
    // File names lose their trailing blanks, as the automation object's do.
    std::optional<std::string> Path(std::size_t i) const {
        const std::string* text = std::get_if<std::string>(&values_[i]);
        if (!text)
            return std::nullopt;
        std::string path = *text;
        path.erase(path.find_last_not_of(' ') + 1);
        return path;
    }

private:
    std::vector<Argument> values_;
};

// Checks the arguments, then makes the call; with no operations it only checks them.
using Run = std::optional<bool> (*)(CBoardOperations* ops, const CArguments& in);

std::optional<std::uint8_t> Byte(const CArguments& in, std::size_t i) {
    const auto value = in.Whole(i, 0, 0xff);
    return value ? std::optional<std::uint8_t>(static_cast<std::uint8_t>(*value)) : std::nullopt;
}
std::optional<std::uint32_t> Word(const CArguments& in, std::size_t i) {
    const auto value = in.Whole(i, 0, 0xffffffff);
    return value ? std::optional<std::uint32_t>(static_cast<std::uint32_t>(*value)) : std::nullopt;
}

template <bool (CBoardOperations::*Operation)()>
std::optional<bool> NoArguments(CBoardOperations* ops, const CArguments& in) {
    if (!in.Count(0))
        return std::nullopt;
    return ops ? (ops->*Operation)() : true;
}

template <bool (CBoardOperations::*Operation)(std::uint8_t, std::uint32_t)>
std::optional<bool> AddressAndWord(CBoardOperations* ops, const CArguments& in) {
    if (!in.Count(2))
        return std::nullopt;
    const auto address = Byte(in, 0);
    const auto word = Word(in, 1);
    if (!address || !word)
        return std::nullopt;
    return ops ? (ops->*Operation)(*address, *word) : true;
}

template <bool (CBoardOperations::*Operation)(std::uint8_t, std::uint8_t)>
std::optional<bool> RegisterAndByte(CBoardOperations* ops, const CArguments& in) {
    if (!in.Count(2))
        return std::nullopt;
    const auto reg = Byte(in, 0);
    const auto data = Byte(in, 1);
    if (!reg || !data)
        return std::nullopt;
    return ops ? (ops->*Operation)(*reg, *data) : true;
}

template <typename Value, bool (CBoardOperations::*Operation)(std::uint8_t, Value&)>
std::optional<bool> RegisterRead(CBoardOperations* ops, const CArguments& in) {
    const auto reg = in.Count(1) ? Byte(in, 0) : std::nullopt;
    if (!reg)
        return std::nullopt;
    Value value{};
    return ops ? (ops->*Operation)(*reg, value) : true;
}

template <bool (CBoardOperations::*Operation)(const std::string&)>
std::optional<bool> FileName(CBoardOperations* ops, const CArguments& in) {
    const auto file = in.Count(1) ? in.Path(0) : std::nullopt;
    if (!file)
        return std::nullopt;
    return ops ? (ops->*Operation)(*file) : true;
}

std::optional<bool> ModifyBits(CBoardOperations* ops, const CArguments& in) {
    if (!in.Count(3))
        return std::nullopt;
    const auto address = Byte(in, 0);
    const auto data = Word(in, 1);
    const auto mask = Word(in, 2);
    if (!address || !data || !mask)
        return std::nullopt;
    return ops ? ops->ModifyBits(*address, *data, *mask) : true;
}

std::optional<bool> LoadCoefficientRam(CBoardOperations* ops, const CArguments& in) {
    if (!in.Count(8))
        return std::nullopt;
    const auto which = in.Whole(0, INT16_MIN, INT16_MAX);
    const auto file = in.Path(1);
    const auto bestFit = in.Flag(2);
    const auto scale = in.Real(3);
    const auto loadOffset = in.Flag(4);
    const auto interpolation = in.Whole(5, INT16_MIN, INT16_MAX);
    const auto twoBitMode = in.Flag(6);
    const auto symmetric = in.Flag(7);
    if (!which || !file || !bestFit || !scale || !loadOffset || !interpolation || !twoBitMode || !symmetric)
        return std::nullopt;
    return ops ? ops->LoadCoefficientRam(static_cast<std::int16_t>(*which), *file, *bestFit, *scale,
                                         *loadOffset, static_cast<std::int16_t>(*interpolation), *twoBitMode,
                                         *symmetric)
               : true;
}

std::optional<bool> LoadExternalMem(CBoardOperations* ops, const CArguments& in) {
    if (!in.Count(6))
        return std::nullopt;
    const auto iKind = in.Whole(0, INT32_MIN, INT32_MAX);
    const auto qKind = in.Whole(1, INT32_MIN, INT32_MAX);
    const auto iAmplitude = in.Real(2);
    const auto qAmplitude = in.Real(3);
    const auto samplesPerCycle = in.Real(4);
    const auto numberOfSamples = in.Real(5);
    if (!iKind || !qKind || !iAmplitude || !qAmplitude || !samplesPerCycle || !numberOfSamples)
        return std::nullopt;
    return ops ? ops->LoadExternalMem(static_cast<std::int32_t>(*iKind), static_cast<std::int32_t>(*qKind),
                                      *iAmplitude, *qAmplitude, *samplesPerCycle, *numberOfSamples)
               : true;
}

struct Method {
    const char* name;
    Run run;
};

// The automation object's methods that change or read the board (dumps write files: not replayed).
constexpr Method kMethods[] = {
    {"SoftReset", NoArguments<&CBoardOperations::SoftReset>},
    {"Reset", NoArguments<&CBoardOperations::Reset>},
    {"Poke", AddressAndWord<&CBoardOperations::Poke>},
    {"ModifyBits", ModifyBits},
    {"SetBits", AddressAndWord<&CBoardOperations::SetBits>},
    {"ResetBits", AddressAndWord<&CBoardOperations::ResetBits>},
    {"Send", NoArguments<&CBoardOperations::Send>},
    {"Stop", NoArguments<&CBoardOperations::Stop>},
    {"Write", RegisterAndByte<&CBoardOperations::Write>},
    {"PldWrite", RegisterAndByte<&CBoardOperations::PldWrite>},
    {"LoadExternalMemory", FileName<&CBoardOperations::LoadExternalMemory>},
    {"LoadExternalMem", LoadExternalMem},
    {"LoadConstellationRam", FileName<&CBoardOperations::LoadConstellationRam>},
    {"LoadCoefficientRam", LoadCoefficientRam},
    {"PldRead", RegisterRead<std::uint8_t, &CBoardOperations::PldRead>},
    {"Read", RegisterRead<std::uint8_t, &CBoardOperations::Read>},
    {"Peek", RegisterRead<std::uint32_t, &CBoardOperations::Peek>},
};

} // namespace

struct CScriptReplay::Call {
    std::size_t line;
    const Method* method;
    CArguments arguments;
};

namespace {

// One line: nothing to run, a call, or a refusal.
struct LineReading {
    std::optional<CScriptReplay::Call> call;
    const char* refusal = nullptr;
};

LineReading ReadLine(std::string_view text, std::size_t number) {
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
    const std::string_view name = line.Name();
    const auto found = std::find_if(std::begin(kMethods), std::end(kMethods),
                                    [name](const Method& method) { return SameName(method.name, name); });
    if (found == std::end(kMethods))
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
    return {CScriptReplay::Call{number, &*found, CArguments(std::move(values))}, nullptr};
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
        LineReading reading = ReadLine(line, number);
        if (reading.refusal) {
            error_ = FormatText("line %zu: ", number) + reading.refusal;
            return false;
        }
        if (!reading.call)
            continue;
        if (!reading.call->method->run(nullptr, reading.call->arguments)) {
            error_ = FormatText("line %zu: bad arguments to %s", number, reading.call->method->name);
            return false;
        }
        calls.push_back(std::move(*reading.call));
    }
    for (const Call& call : calls) {
        if (call.method->run(&ops_, call.arguments).value_or(false))
            continue;
        std::string failure = FormatText("line %zu: %s failed", call.line, call.method->name);
        if (const std::string reason = ops_.Outcome().OperationResult(); !reason.empty())
            failure += ": " + reason;
        failures_.push_back(std::move(failure));
    }
    return true;
}

} // namespace tarsion
