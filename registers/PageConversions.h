#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Conversions between register fields and the texts the register pages show and accept.
namespace tarsion::pageconv {

// "0x" and at least `digits` lower-case hexadecimal digits ("0x%.8x", "0x%x", ...).
std::string FormatHex(std::uint32_t value, int digits);
// "%lg" and "%lf".
std::string FormatG(double value);
std::string FormatF(double value);

// Reads a hexadecimal number the way "%x" does: leading blanks, an optional sign, an optional
// "0x"/"0X", digits up to the first other character. No value when no digit is found or the
// digits do not fit 32 bits (more than 8 significant digits), which `tooManyDigits` tells apart.
struct HexReading {
    std::optional<std::uint32_t> value;
    bool tooManyDigits = false;
};
HexReading ReadHex(std::string_view text);
// Reads a leading decimal floating-point number ("%lg"); empty when there is none or it is NaN.
std::optional<double> ParseNumber(std::string_view text);
// A whole decimal integer with optional blanks around it; anything else gives no value. Values too
// large for 64 bits saturate, so range checks still refuse them.
std::optional<std::int64_t> ParseInteger(std::string_view text);

// Frequency text: "%lfGHz", "%lfMHz", "%lfkHz" or "%lfHz" by magnitude.
std::string FormatFrequency(double hz);
// A number with an optional suffix word whose first letter G, M or K (any case) scales it.
// Empty when no finite number can be read.
std::optional<double> ParseFrequency(std::string_view text);

// NCO words against SysClk, scaled by 2^32 - 1. Without a clock (SysClk 0) the frequencies read
// as 0 Hz and no word can be formed.
inline constexpr double kNcoScale = 4294967295.0;
std::optional<std::uint32_t> NcoWord(double hz, double sysClk);
double CarrierFrequency(std::uint32_t word, double sysClk);
double SymbolRate(std::uint32_t word, double sysClk);
// Carrier limited to +-SysClk/2.
double ClampCarrier(double hz, double sysClk);
// Largest symbol rate Device Config (register 0x01) allows: 2 x SysClk x M / W / I.
double SymbolRateMaximum(std::uint32_t deviceConfig, double sysClk);
bool ShapingFilterBypassed(std::uint32_t deviceConfig);

// A gain kept as mantissa and exponent: gain = 2^(exponent - bias) x (1 + mantissa / 2^mantissaBits).
struct GainFormat {
    int bias;
    int mantissaBits;
    int largestExponent;
    double minimum;
    double maximum;
};
struct GainCode {
    std::uint32_t mantissa = 0;
    std::uint32_t exponent = 0;
    bool operator==(const GainCode&) const = default;
};
// Post shaping filter gain (register 0x05 bits 22-31) and the loop filter gains (register 0x06).
inline constexpr GainFormat kPostShapingGain{11, 6, 15, 0.00048828125, 31.75};
inline constexpr GainFormat kLoopFilterGain{17, 4, 31, 7.62939453125e-6, 31793.152};

GainCode EncodeGain(double gain, const GainFormat& format);
double DecodeGain(GainCode code, const GainFormat& format);
// One step up (direction > 0) or down; moves at least one code unless the range end is reached.
GainCode StepGain(GainCode code, double step, int direction, const GainFormat& format);

// The 10-bit scale and offset fields of registers 0x03 and 0x04: value = base + field / 4096,
// base 1 for the scale, 0 for the offset.
inline constexpr double kScaleBase = 1.0;
inline constexpr double kOffsetBase = 0.0;
inline constexpr std::uint32_t kFractionFieldLargest = 1023;
double FieldToFraction(std::uint32_t field, double base);
std::uint32_t FractionToField(double value, double base);
std::uint32_t StepFraction(std::uint32_t field, double step, int direction, double base);

// Accepted range of a step setting: below `floor` becomes `low`, above `high` becomes `high`.
struct StepRange {
    double floor;
    double low;
    double high;
};
inline constexpr StepRange kScaleStepRange{0.000244140625, 0.000244140625, 1.249755859375};
inline constexpr StepRange kOffsetStepRange{0.0, 0.000244140625, 0.249755859375};
inline constexpr StepRange kPostShapingStepRange{0.0004959106445313, 0.0004959106445313, 31.75};
inline constexpr StepRange kLoopFilterStepRange{4.768371582031e-7, 4.768371582031e-7, 31793.152};
double ClampStep(double value, const StepRange& range);

} // namespace tarsion::pageconv
