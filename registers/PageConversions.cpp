#include "registers/PageConversions.h"

#include "base/TextHelpers.h"

#include <array>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

namespace tarsion::pageconv {

namespace {

bool IsBlank(char c) {
    return std::isspace(static_cast<unsigned char>(c)) != 0;
}

std::size_t SkipBlanks(std::string_view text, std::size_t pos) {
    while (pos < text.size() && IsBlank(text[pos]))
        ++pos;
    return pos;
}

struct NumberRead {
    double value;
    std::size_t end;
};

// The leading number of a text, read independently of the process locale (Qt sets the user's).
std::optional<NumberRead> ReadNumber(std::string_view text) {
    std::size_t pos = SkipBlanks(text, 0);
    // from_chars takes no plus sign.
    if (pos + 1 < text.size() && text[pos] == '+' && text[pos + 1] != '-')
        ++pos;
    double value = 0.0;
    const char* first = text.data() + pos;
    const auto [end, error] = std::from_chars(first, text.data() + text.size(), value);
    if (error != std::errc() || std::isnan(value))
        return std::nullopt;
    return NumberRead{value, static_cast<std::size_t>(end - text.data())};
}

// std::to_chars matches printf in the "C" locale.
std::string ToChars(double value, std::chars_format format) {
    std::array<char, 400> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value, format, 6);
    return std::string(buffer.data(), result.ptr);
}

constexpr double kTwoTo32 = 4294967296.0;

// Clamp that also maps NaN to the low end, so a conversion never sees it.
double InRange(double value, double low, double high) {
    if (!(value >= low))
        return low;
    return value > high ? high : value;
}

} // namespace

std::string FormatHex(std::uint32_t value, int digits) {
    std::array<char, 16> buffer{};
    std::snprintf(buffer.data(), buffer.size(), "0x%.*x", digits, static_cast<unsigned>(value));
    return buffer.data();
}

std::string FormatG(double value) {
    return ToChars(value, std::chars_format::general);
}

std::string FormatF(double value) {
    return ToChars(value, std::chars_format::fixed);
}

HexReading ReadHex(std::string_view text) {
    std::size_t pos = SkipBlanks(text, 0);
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        negative = text[pos] == '-';
        ++pos;
    }
    // "0x" followed by no digit still reads the 0, as strtoul does.
    if (pos + 2 < text.size() && text[pos] == '0' && (text[pos + 1] == 'x' || text[pos + 1] == 'X') &&
        HexDigit(text[pos + 2]) >= 0)
        pos += 2;
    std::uint64_t value = 0;
    bool anyDigit = false;
    for (; pos < text.size() && HexDigit(text[pos]) >= 0; ++pos) {
        value = value * 16 + static_cast<std::uint64_t>(HexDigit(text[pos]));
        anyDigit = true;
        if (value > std::numeric_limits<std::uint32_t>::max())
            return {std::nullopt, true};
    }
    if (!anyDigit)
        return {};
    const auto word = static_cast<std::uint32_t>(value);
    return {negative ? static_cast<std::uint32_t>(0u - word) : word};
}

std::optional<double> ParseNumber(std::string_view text) {
    const auto read = ReadNumber(text);
    if (!read)
        return std::nullopt;
    return read->value;
}

std::optional<std::int64_t> ParseInteger(std::string_view text) {
    std::size_t pos = SkipBlanks(text, 0);
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        negative = text[pos] == '-';
        ++pos;
    }
    const std::size_t digitsStart = pos;
    std::int64_t value = 0;
    constexpr std::int64_t kSaturated = std::numeric_limits<std::int64_t>::max() / 10;
    for (; pos < text.size() && text[pos] >= '0' && text[pos] <= '9'; ++pos)
        value = value >= kSaturated ? kSaturated : value * 10 + (text[pos] - '0');
    if (pos == digitsStart || SkipBlanks(text, pos) != text.size())
        return std::nullopt;
    return negative ? -value : value;
}

std::string FormatFrequency(double hz) {
    if (hz >= 1e9 || hz <= -1e9)
        return FormatF(hz / 1e9) + "GHz";
    if (std::fabs(hz) >= 1e6)
        return FormatF(hz / 1e6) + "MHz";
    if (std::fabs(hz) >= 1e3)
        return FormatF(hz / 1e3) + "kHz";
    return FormatF(hz) + "Hz";
}

std::optional<double> ParseFrequency(std::string_view text) {
    const auto read = ReadNumber(text);
    if (!read || !std::isfinite(read->value))
        return std::nullopt;
    const std::size_t suffix = SkipBlanks(text, read->end);
    double factor = 1.0;
    if (suffix < text.size()) {
        switch (text[suffix]) {
        case 'G':
        case 'g':
            factor = 1e9;
            break;
        case 'M':
        case 'm':
            factor = 1e6;
            break;
        case 'K':
        case 'k':
            factor = 1e3;
            break;
        default:
            break;
        }
    }
    return read->value * factor;
}

std::optional<std::uint32_t> NcoWord(double hz, double sysClk) {
    if (sysClk == 0.0)
        return std::nullopt;
    const double scaled = std::trunc(hz * kNcoScale / sysClk + 0.5);
    if (!std::isfinite(scaled))
        return std::nullopt;
    // Low 32 bits of the integer, exact for any double and free of overflow.
    double low = std::fmod(scaled, kTwoTo32);
    if (low < 0)
        low += kTwoTo32;
    return static_cast<std::uint32_t>(low);
}

double CarrierFrequency(std::uint32_t word, double sysClk) {
    if (sysClk == 0.0)
        return 0.0;
    return static_cast<std::int32_t>(word) * sysClk / kNcoScale;
}

double SymbolRate(std::uint32_t word, double sysClk) {
    if (sysClk == 0.0)
        return 0.0;
    return word * sysClk / kNcoScale;
}

double ClampCarrier(double hz, double sysClk) {
    if (2 * hz > sysClk)
        return sysClk / 2;
    if (2 * hz < -sysClk)
        return -sysClk / 2;
    return hz;
}

double SymbolRateMaximum(std::uint32_t deviceConfig, double sysClk) {
    static constexpr std::array<double, 4> kInterpolation{4, 8, 16, 1};
    const double interpolation = kInterpolation[(deviceConfig >> 10) & 0x3];
    const double width = ((deviceConfig >> 6) & 0xf) + 1;
    const double twoBitMode = (deviceConfig & 0x1000) != 0 ? 2 : 1;
    return 2 * sysClk * twoBitMode / width / interpolation;
}

bool ShapingFilterBypassed(std::uint32_t deviceConfig) {
    return (deviceConfig & 0x8) != 0;
}

GainCode EncodeGain(double gain, const GainFormat& format) {
    gain = InRange(gain, format.minimum, format.maximum);
    int exponent = 0;
    const double mantissa = std::frexp(gain, &exponent);
    const auto scaled = static_cast<std::uint32_t>(std::ldexp(mantissa, format.mantissaBits + 1));
    return GainCode{scaled & ((1u << format.mantissaBits) - 1),
                    static_cast<std::uint32_t>(exponent + format.bias - 1)};
}

double DecodeGain(GainCode code, const GainFormat& format) {
    return std::ldexp(1.0 + std::ldexp(code.mantissa, -format.mantissaBits),
                      static_cast<int>(code.exponent) - format.bias);
}

GainCode StepGain(GainCode code, double step, int direction, const GainFormat& format) {
    const std::uint32_t largestMantissa = (1u << format.mantissaBits) - 1;
    const auto largestExponent = static_cast<std::uint32_t>(format.largestExponent);
    const double gain = DecodeGain(code, format);
    if (direction > 0) {
        const double target = gain + step;
        if (target > format.maximum)
            return code;
        GainCode next = EncodeGain(target, format);
        // A step finer than one code still moves by one code.
        if (next == code && !(code.mantissa == largestMantissa && code.exponent == largestExponent))
            next = code.mantissa == largestMantissa ? GainCode{0, code.exponent + 1}
                                                    : GainCode{code.mantissa + 1, code.exponent};
        return next;
    }
    const double target = gain - step;
    if (target < format.minimum)
        return code;
    GainCode next = EncodeGain(target, format);
    if (next == code && !(code.mantissa == 0 && code.exponent == 0))
        next =
            code.mantissa == 0 ? GainCode{0, code.exponent - 1} : GainCode{code.mantissa - 1, code.exponent};
    return next;
}

double FieldToFraction(std::uint32_t field, double base) {
    return base + field / 4096.0;
}

std::uint32_t FractionToField(double value, double base) {
    value = InRange(value, base, FieldToFraction(kFractionFieldLargest, base));
    return static_cast<std::uint32_t>((value - base) * 4096);
}

std::uint32_t StepFraction(std::uint32_t field, double step, int direction, double base) {
    const double target = FieldToFraction(field, base) + (direction > 0 ? step : -step);
    if (target > FieldToFraction(kFractionFieldLargest, base) || target < base)
        return field;
    std::uint32_t next = static_cast<std::uint32_t>((target - base) * 4096) & kFractionFieldLargest;
    if (next == field) {
        if (direction > 0 && field != kFractionFieldLargest)
            next = field + 1;
        else if (direction < 0 && field != 0)
            next = field - 1;
    }
    return next;
}

double ClampStep(double value, const StepRange& range) {
    if (value < range.floor)
        return range.low;
    if (value > range.high)
        return range.high;
    return value;
}

} // namespace tarsion::pageconv
