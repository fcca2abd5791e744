#include "ops/ScriptReplay.h"

#include "base/TextHelpers.h"
#include "ops/BoardOperations.h"
#include "ops/ScriptCalls.h"

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

// The arguments of one call, read by the type the method takes. Register numbers and words must
// be whole numbers in their range: a configuration never writes anything else.
class CArguments {
public:
    explicit CArguments(std::vector<ScriptValue> values) : values_(std::move(values)) {}

    bool Count(std::size_t n) const { return values_.size() == n; }
    std::optional<std::int64_t> Whole(std::size_t i, std::int64_t low, std::int64_t high) const {
        const double* value = std::get_if<double>(&values_[i]);
        if (!value || *value != std::floor(*value) || *value < static_cast<double>(low) ||
            *value > static_cast<double>(high))
            return std::nullopt;
        return static_cast<std::int64_t>(*value);
    }
    std::optional<double> Real(std::size_t i) const {
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
    std::vector<ScriptValue> values_;
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
    bool memoryLoad = false;
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
    {"LoadExternalMemory", FileName<&CBoardOperations::LoadExternalMemory>, true},
    {"LoadExternalMem", LoadExternalMem, true},
    {"LoadConstellationRam", FileName<&CBoardOperations::LoadConstellationRam>, true},
    {"LoadCoefficientRam", LoadCoefficientRam, true},
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
        const auto found =
            std::find_if(std::begin(kMethods), std::end(kMethods),
                         [&call](const Method& method) { return SameName(method.name, call.method); });
        if (found == std::end(kMethods)) {
            error_ = FormatText("line %zu: not a method that changes the board", call.line);
            return false;
        }
        Call checked{call.line, &*found, CArguments(std::move(call.arguments))};
        if (!checked.method->run(nullptr, checked.arguments)) {
            error_ = FormatText("line %zu: bad arguments to %s", call.line, checked.method->name);
            return false;
        }
        if (checked.method->memoryLoad && ++memoryLoads > kMostMemoryLoads) {
            error_ = FormatText("line %zu: more than %zu memory loads", call.line, kMostMemoryLoads);
            return false;
        }
        calls.push_back(std::move(checked));
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
        if (!call.method->run(&ops_, call.arguments).value_or(false))
            failures_.push_back(FormatText("line %zu: %s failed", call.line, call.method->name));
    }
    return true;
}

} // namespace tarsion
