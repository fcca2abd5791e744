#include "registers/RegisterSnapshot.h"

#include "base/TextHelpers.h"
#include "board/ChipRegisters.h"
#include "board/RegisterShadow.h"
#include "ops/TarsionDoc.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <ctime>
#include <iterator>
#include <vector>

namespace tarsion {

namespace {

constexpr std::string_view kFormatLine = "Tarsion register snapshot";
constexpr int kFormatVersion = 1;

bool IsValueRegister(std::uint8_t address) {
    return std::find(std::begin(kValueRegisters), std::end(kValueRegisters), address) !=
           std::end(kValueRegisters);
}

// Text that reads back as the same double: whole numbers in full ("80000000"), others shortest.
std::string Number(double value) {
    char text[64];
    const bool whole = std::floor(value) == value && std::fabs(value) < 1e15;
    const auto result = whole ? std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 0)
                              : std::to_chars(text, text + sizeof text, value);
    return std::string(text, result.ptr);
}

// File names and the snapshot name keep to one line: backslash and control characters escaped.
std::string Escaped(std::string_view text) {
    std::string out;
    for (const char c : text) {
        if (c == '\\')
            out += "\\\\";
        else if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            out += FormatText("\\x%.2x", static_cast<unsigned>(static_cast<unsigned char>(c)));
        else
            out += c;
    }
    return out;
}

// A control character is refused unescaped: the snapshot never writes one so, and one taken in
// would be written back four times as long, past the longest text the snapshot reads.
std::optional<std::string> Unescaped(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (static_cast<unsigned char>(text[i]) < 0x20 || text[i] == 0x7f)
            return std::nullopt;
        if (text[i] != '\\') {
            out += text[i];
            continue;
        }
        if (i + 1 < text.size() && text[i + 1] == '\\') {
            out += '\\';
            ++i;
        } else if (i + 3 < text.size() && text[i + 1] == 'x' && HexDigit(text[i + 2]) >= 0 &&
                   HexDigit(text[i + 3]) >= 0) {
            out += static_cast<char>(HexDigit(text[i + 2]) * 16 + HexDigit(text[i + 3]));
            i += 3;
        } else {
            return std::nullopt;
        }
    }
    return out;
}

// Splits off the next blank-separated word.
std::string_view NextWord(std::string_view& rest) {
    const auto start = rest.find_first_not_of(' ');
    if (start == std::string_view::npos) {
        rest = {};
        return {};
    }
    rest.remove_prefix(start);
    const auto end = std::min(rest.find(' '), rest.size());
    const std::string_view word = rest.substr(0, end);
    rest.remove_prefix(end);
    if (!rest.empty())
        rest.remove_prefix(1);
    return word;
}

// Exactly `digits` hexadecimal digits.
std::optional<std::uint32_t> HexWord(std::string_view word, std::size_t digits) {
    if (word.size() != digits)
        return std::nullopt;
    std::uint32_t value = 0;
    for (const char c : word) {
        const int digit = HexDigit(c);
        if (digit < 0)
            return std::nullopt;
        value = value * 16 + static_cast<std::uint32_t>(digit);
    }
    return value;
}

std::optional<double> FiniteNumber(std::string_view word) {
    double value = 0;
    const auto result = std::from_chars(word.data(), word.data() + word.size(), value);
    if (result.ec != std::errc() || result.ptr != word.data() + word.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<std::int32_t> Integer(std::string_view word) {
    std::int32_t value = 0;
    const auto result = std::from_chars(word.data(), word.data() + word.size(), value);
    if (result.ec != std::errc() || result.ptr != word.data() + word.size())
        return std::nullopt;
    return value;
}

std::optional<bool> Flag(std::string_view word) {
    if (word == "0" || word == "1")
        return word == "1";
    return std::nullopt;
}

std::string CoefficientLine(char channel, const CoefficientSettings& c) {
    return FormatText("coefficient %c %d ", channel, c.interpolation) + Number(c.scale) + ' ' +
           (c.bestFit ? "1 " : "0 ") + (c.loadOffset ? "1 " : "0 ") + Number(c.dcGain) + ' ' +
           (c.twoBitMode ? "1 " : "0 ") + (c.symmetric ? "1 " : "0 ") + Escaped(c.fileName) + '\n';
}

class CSnapshotParser {
public:
    SnapshotReading Parse(std::string_view text) {
        if (text.size() > kLargestSnapshotText)
            return Refuse(0, "the file is too large for a snapshot");
        std::size_t number = 0;
        bool ended = false;
        while (!text.empty()) {
            const auto end = std::min(text.find('\n'), text.size());
            std::string_view line = text.substr(0, end);
            text.remove_prefix(std::min(end + 1, text.size()));
            if (!line.empty() && line.back() == '\r')
                line.remove_suffix(1);
            ++number;
            if (ended && !line.empty())
                return Refuse(number, "text after \"end\"");
            if (number == 1) {
                if (!FormatLine(line))
                    return Refuse(number, "not a Tarsion register snapshot");
                continue;
            }
            if (line.empty() || line.front() == '#')
                continue;
            if (line == "end") {
                ended = true;
                continue;
            }
            if (const char* reason = Line(line))
                return Refuse(number, reason);
        }
        if (number == 0)
            return Refuse(0, "the file is empty");
        if (!ended)
            return Refuse(number, "the file ends early (no \"end\" line)");
        if (const char* missing = Missing())
            return Refuse(number, missing);
        return SnapshotReading{std::move(snapshot_), {}};
    }

private:
    static SnapshotReading Refuse(std::size_t line, const std::string& reason) {
        return SnapshotReading{std::nullopt, line ? FormatText("line %zu: ", line) + reason : reason};
    }

    static bool FormatLine(std::string_view line) {
        if (!line.starts_with(kFormatLine))
            return false;
        line.remove_prefix(kFormatLine.size());
        const std::string_view version = NextWord(line);
        return version == std::to_string(kFormatVersion) && line.empty();
    }

    // Once per file.
    bool First(const std::string& key) {
        if (std::find(seen_.begin(), seen_.end(), key) != seen_.end())
            return false;
        seen_.push_back(key);
        return true;
    }

    const char* Line(std::string_view line) {
        std::string_view rest = line;
        const std::string_view key = NextWord(rest);
        if (key == "name" || key == "time") {
            if (!First(std::string(key)))
                return "repeated line";
            if (rest.size() > kLongestSnapshotName)
                return "the text is longer than 1024 characters";
            const auto text = Unescaped(rest);
            if (!text)
                return "bad escape in text";
            (key == "name" ? snapshot_.name : snapshot_.time) = *text;
            return nullptr;
        }
        if (key == "clockpin") {
            const auto hz = FiniteNumber(NextWord(rest));
            if (!hz || *hz < 0 || !RegisterShadow::UsableClockPin(*hz) || !rest.empty())
                return "bad clock pin frequency";
            if (!First("clockpin"))
                return "repeated line";
            snapshot_.clockPin = *hz;
            return nullptr;
        }
        if (key == "chip")
            return ChipLine(rest);
        if (key == "bridge" || key == "pld")
            return SpaceLine(key == "pld", rest);
        if (key == "coefficient")
            return CoefficientSettingsLine(rest);
        if (key == "constellation") {
            const auto file = Unescaped(rest);
            if (!file || file->empty())
                return "bad constellation file name";
            if (!First("constellation"))
                return "repeated line";
            snapshot_.constellationFile = *file;
            return nullptr;
        }
        if (key == "pattern")
            return PatternLine(rest);
        return "unknown line";
    }

    const char* ChipLine(std::string_view rest) {
        const auto address = HexWord(NextWord(rest), 2);
        const auto value = HexWord(NextWord(rest), 8);
        if (!address || !value || !IsValueRegister(static_cast<std::uint8_t>(*address)))
            return "bad chip register line";
        const auto& info = ChipRegisterTable()[*address];
        if (!rest.empty() && rest != info->name)
            return "the register name does not match its address";
        if (*value > info->largestValue)
            return "value too large for the register";
        if (!First(FormatText("chip %.2x", *address)))
            return "repeated register";
        snapshot_.chip[*address] = *value;
        return nullptr;
    }

    const char* SpaceLine(bool pld, std::string_view rest) {
        const auto reg = HexWord(NextWord(rest), 2);
        const auto value = HexWord(NextWord(rest), 2);
        const std::uint32_t first = pld ? CRegisterSnapshot::kFirstPld : CRegisterSnapshot::kFirstBridge;
        if (!reg || !value || !rest.empty() || *reg < first || *reg >= CRegisterSnapshot::kSpaceRegisters)
            return "bad CPLD register line";
        if (!First(FormatText("%s %.2x", pld ? "pld" : "bridge", *reg)))
            return "repeated register";
        (pld ? snapshot_.pld : snapshot_.bridge)[*reg] = static_cast<std::uint8_t>(*value);
        return nullptr;
    }

    const char* CoefficientSettingsLine(std::string_view rest) {
        const std::string_view channel = NextWord(rest);
        if (channel != "I" && channel != "Q")
            return "bad coefficient channel";
        CoefficientSettings c;
        const auto interpolation = Integer(NextWord(rest));
        const auto scale = FiniteNumber(NextWord(rest));
        const auto bestFit = Flag(NextWord(rest));
        const auto loadOffset = Flag(NextWord(rest));
        const auto dcGain = FiniteNumber(NextWord(rest));
        const auto twoBitMode = Flag(NextWord(rest));
        const auto symmetric = Flag(NextWord(rest));
        const auto file = Unescaped(rest);
        if (!interpolation || !scale || !bestFit || !loadOffset || !dcGain || !twoBitMode || !symmetric ||
            !file || file->empty())
            return "bad coefficient settings";
        if (!First(std::string("coefficient ") + channel.front()))
            return "repeated line";
        c = CoefficientSettings{*interpolation, *scale,      *bestFit,   *loadOffset,
                                *dcGain,        *twoBitMode, *symmetric, *file};
        (channel == "I" ? snapshot_.coefficientI : snapshot_.coefficientQ) = std::move(c);
        return nullptr;
    }

    const char* PatternLine(std::string_view rest) {
        const auto iKind = Integer(NextWord(rest));
        const auto qKind = Integer(NextWord(rest));
        const auto iAmplitude = FiniteNumber(NextWord(rest));
        const auto qAmplitude = FiniteNumber(NextWord(rest));
        const auto samplesPerCycle = FiniteNumber(NextWord(rest));
        const auto numberOfSamples = FiniteNumber(NextWord(rest));
        const auto file = Unescaped(rest);
        if (!iKind || !qKind || !iAmplitude || !qAmplitude || !samplesPerCycle || !numberOfSamples || !file ||
            file->empty())
            return "bad pattern settings";
        if (!First("pattern"))
            return "repeated line";
        snapshot_.pattern = PatternSettings{*iKind,           *qKind,           *iAmplitude, *qAmplitude,
                                            *samplesPerCycle, *numberOfSamples, *file};
        return nullptr;
    }

    const char* Missing() const {
        for (const std::uint8_t address : kValueRegisters)
            if (!snapshot_.chip[address])
                return "a chip register is missing";
        const char* required[] = {"time",          "clockpin",      "coefficient I",
                                  "coefficient Q", "constellation", "pattern"};
        for (const char* key : required)
            if (std::find(seen_.begin(), seen_.end(), key) == seen_.end())
                return "a setting line is missing";
        const std::size_t cpld = (CRegisterSnapshot::kSpaceRegisters - CRegisterSnapshot::kFirstBridge) +
                                 (CRegisterSnapshot::kSpaceRegisters - CRegisterSnapshot::kFirstPld);
        const auto registers = std::count_if(seen_.begin(), seen_.end(), [](const std::string& key) {
            return key.starts_with("bridge ") || key.starts_with("pld ");
        });
        if (static_cast<std::size_t>(registers) != cpld)
            return "a CPLD register is missing";
        return nullptr;
    }

    CRegisterSnapshot snapshot_;
    std::vector<std::string> seen_;
};

} // namespace

CRegisterSnapshot CRegisterSnapshot::Take(const CTarsionDoc& doc, std::string name) {
    CRegisterSnapshot snapshot;
    snapshot.name = std::move(name);
    snapshot.time = SnapshotTimeNow();
    const RegisterShadow& shadow = doc.Shadow();
    snapshot.clockPin = shadow.ClockPin();
    for (const std::uint8_t address : kValueRegisters)
        snapshot.chip[address] = shadow.FetchChipReg(address);
    for (int reg = kFirstBridge; reg < kSpaceRegisters; ++reg)
        snapshot.bridge[reg] = shadow.FetchBridgeReg(static_cast<std::uint8_t>(reg));
    for (int reg = kFirstPld; reg < kSpaceRegisters; ++reg)
        snapshot.pld[reg] = shadow.FetchPldReg(static_cast<std::uint8_t>(reg));
    snapshot.coefficientI = doc.coefficientI;
    snapshot.coefficientQ = doc.coefficientQ;
    snapshot.constellationFile = doc.constellationFile;
    snapshot.pattern = doc.pattern;
    return snapshot;
}

bool CRegisterSnapshot::SameSettingsAs(const CRegisterSnapshot& other) const {
    // The text form is the comparison: it holds every setting and nothing else but name and time.
    CRegisterSnapshot a = *this;
    CRegisterSnapshot b = other;
    a.name = b.name = {};
    a.time = b.time = {};
    return SnapshotText(a) == SnapshotText(b);
}

std::string SnapshotText(const CRegisterSnapshot& s) {
    std::string text = std::string(kFormatLine) + ' ' + std::to_string(kFormatVersion) + '\n';
    text += "name " + Escaped(s.name) + '\n';
    text += "time " + Escaped(s.time) + '\n';
    text += "clockpin " + Number(s.clockPin) + '\n';
    const auto& table = ChipRegisterTable();
    for (const std::uint8_t address : kValueRegisters)
        text += FormatText("chip %.2x %.8x ", address, s.chip[address].value_or(0)) +
                std::string(table[address]->name) + '\n';
    for (int reg = CRegisterSnapshot::kFirstBridge; reg < CRegisterSnapshot::kSpaceRegisters; ++reg)
        text += FormatText("bridge %.2x %.2x\n", reg, s.bridge[reg]);
    for (int reg = CRegisterSnapshot::kFirstPld; reg < CRegisterSnapshot::kSpaceRegisters; ++reg)
        text += FormatText("pld %.2x %.2x\n", reg, s.pld[reg]);
    text += CoefficientLine('I', s.coefficientI);
    text += CoefficientLine('Q', s.coefficientQ);
    text += "constellation " + Escaped(s.constellationFile) + '\n';
    const PatternSettings& p = s.pattern;
    text += FormatText("pattern %d %d ", p.iKind, p.qKind) + Number(p.iAmplitude) + ' ' +
            Number(p.qAmplitude) + ' ' + Number(p.samplesPerCycle) + ' ' + Number(p.numberOfSamples) + ' ' +
            Escaped(p.fileName) + '\n';
    return text + "end\n";
}

bool SnapshotNameFits(std::string_view name) {
    return Escaped(name).size() <= kLongestSnapshotName;
}

SnapshotReading ReadSnapshotText(std::string_view text) {
    return CSnapshotParser().Parse(text);
}

bool LooksLikeSnapshot(std::string_view text) {
    return text.starts_with(kFormatLine);
}

std::string SnapshotTimeNow() {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &utc);
    return text;
}

} // namespace tarsion
