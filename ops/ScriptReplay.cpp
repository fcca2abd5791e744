#include "ops/ScriptReplay.h"

#include "base/TextHelpers.h"
#include "ops/BoardOperations.h"
#include "ops/ScriptCalls.h"
#include "ops/Trm90627Interface.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <optional>

namespace tarsion {

namespace {

bool SameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return (x | 0x20) == (y | 0x20); });
}

// The arguments of one call, read in order by the type its method's description gives each.
// Register numbers and words must be whole numbers in their range, and every argument of the type
// it stands for (a flag may be a number): a configuration never writes anything else, so anything
// else refuses the script.
class CReplayArguments final : public CCallArguments {
public:
    explicit CReplayArguments(std::vector<ScriptValue> values) : values_(std::move(values)) {}

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
    std::optional<double> NextNumber() {
        const ScriptValue* value = next_ < values_.size() ? &values_[next_] : nullptr;
        ++next_;
        if (const double* number = value ? std::get_if<double>(value) : nullptr)
            return *number;
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

    std::vector<ScriptValue> values_;
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

// The memory loads: each may take seconds.
bool IsMemoryLoad(const CallMethod& method) {
    return std::string_view(method.name).starts_with("Load");
}

} // namespace

bool CScriptReplay::Run(std::string_view text, const GoOn& goOn) {
    error_.clear();
    failures_.clear();
    stopped_ = false;
    if (text.size() > kLargestScript) {
        error_ = "the script is too large";
        return false;
    }
    std::vector<ScriptCall> read;
    if (!ReadScriptCalls(text, read, error_))
        return false;
    std::vector<Call> calls;
    std::size_t memoryLoads = 0;
    for (ScriptCall& call : read) {
        const CallMethod* method = FindMethod(call.method);
        if (!method) {
            error_ = FormatText("line %zu: not a method that changes the board", call.line);
            return false;
        }
        CReplayArguments arguments(std::move(call.arguments));
        CallWork work = arguments.Count() == method->arguments ? method->bind(arguments, ops_) : CallWork();
        if (!work || arguments.Refused()) {
            error_ = FormatText("line %zu: bad arguments to %s", call.line, method->name);
            return false;
        }
        if (IsMemoryLoad(*method) && ++memoryLoads > kMostMemoryLoads) {
            error_ = FormatText("line %zu: more than %zu memory loads", call.line, kMostMemoryLoads);
            return false;
        }
        calls.push_back(Call{call.line, method, std::move(work)});
    }
    for (std::size_t done = 0; done <= calls.size(); ++done) {
        if (goOn && !goOn(done, calls.size())) {
            stopped_ = true;
            error_ = FormatText("stopped after %zu of %zu calls", done, calls.size());
            return false;
        }
        if (done == calls.size())
            break;
        const Call& call = calls[done];
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
