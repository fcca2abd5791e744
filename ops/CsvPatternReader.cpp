// CSV test patterns: one column (I) or two (I and Q), separated by commas, semicolons, tabs or
// blanks; hexadecimal words, decimal integers or floating-point values; a header line first.
#include "base/TextHelpers.h"
#include "base/TextLines.h"
#include "ops/PatternImport.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <istream>
#include <streambuf>

namespace tarsion {

namespace {

// A stream over text held elsewhere, read without a copy.
class ViewBuffer final : public std::streambuf {
public:
    explicit ViewBuffer(std::string_view text) {
        char* data = const_cast<char*>(text.data());
        setg(data, data, data + text.size());
    }
};

enum class Token { Hex, Integer, Real, NotNumber, WideHex };

struct Value {
    Token kind = Token::NotNumber;
    double number = 0;
};

// Beyond two columns a line is refused: three fields tell that, and no line of commas grows a list.
constexpr std::size_t kMostFields = 3;

// The fields of a line, at most kMostFields of them.
std::vector<std::string_view> Fields(std::string_view line) {
    std::vector<std::string_view> fields;
    const char separator = line.find(',') != std::string_view::npos   ? ','
                           : line.find(';') != std::string_view::npos ? ';'
                                                                      : 0;
    if (separator) {
        for (std::size_t at = 0; fields.size() < kMostFields;) {
            const std::size_t end = line.find(separator, at);
            fields.push_back(TrimmedText(line.substr(at, end == std::string_view::npos ? end : end - at)));
            if (end == std::string_view::npos)
                break;
            at = end + 1;
        }
        return fields;
    }
    for (std::size_t at = 0; at < line.size() && fields.size() < kMostFields;) {
        const std::size_t first = line.find_first_not_of(" \t", at);
        if (first == std::string_view::npos)
            break;
        const std::size_t end = std::min(line.find_first_of(" \t", first), line.size());
        fields.push_back(line.substr(first, end - first));
        at = end;
    }
    return fields;
}

// A hexadecimal word keeps its 16 bits as two's complement: 0xffff is -1, as is -0x1.
Value HexValue(std::string_view digits, bool negative) {
    std::uint32_t word = 0;
    const auto result = std::from_chars(digits.data(), digits.data() + digits.size(), word, 16);
    if (result.ec != std::errc() || result.ptr != digits.data() + digits.size())
        return {};
    if (word > 0xFFFF || (negative && word > 0x8000))
        return {Token::WideHex};
    const std::int32_t sample = negative ? -static_cast<std::int32_t>(word) : static_cast<std::int16_t>(word);
    return {Token::Hex, static_cast<double>(sample)};
}

Value ParseValue(std::string_view text) {
    if (text.empty())
        return {};
    const bool hasSign = text[0] == '+' || text[0] == '-';
    const std::string_view magnitude = hasSign ? text.substr(1) : text;
    if (magnitude.size() > 2 && magnitude[0] == '0' && (magnitude[1] == 'x' || magnitude[1] == 'X'))
        return HexValue(magnitude.substr(2), text[0] == '-');
    // from_chars takes no plus sign.
    std::string_view number = text;
    if (number[0] == '+') {
        number.remove_prefix(1);
        if (number.empty() || number[0] == '+' || number[0] == '-')
            return {};
    }
    const char* end = number.data() + number.size();
    long long integer = 0;
    const auto whole = std::from_chars(number.data(), end, integer);
    if (whole.ec == std::errc() && whole.ptr == end)
        return {Token::Integer, static_cast<double>(integer)};
    double real = 0;
    const auto result = std::from_chars(number.data(), end, real);
    if (result.ec == std::errc() && result.ptr == end)
        return {Token::Real, real};
    return {};
}

const char* KindName(Token kind) {
    switch (kind) {
    case Token::Hex:
        return "hexadecimal";
    case Token::Integer:
        return "decimal integers";
    default:
        return "floating point";
    }
}

} // namespace

ImportRead ReadCsvPattern(std::string_view text, std::size_t maxPairs) {
    // Read in place: the text may be hundreds of megabytes.
    ViewBuffer buffer(text);
    std::istream in(&buffer);
    CTextLines lines(in);
    ImportedSignal signal;
    std::string line;
    std::size_t number = 0;
    std::size_t columns = 0;
    std::size_t columnsLine = 0;
    bool header = false;
    bool hex = false;
    bool decimal = false;
    bool real = false;
    while (lines.Next(line)) {
        ++number;
        const std::string_view trimmed = TrimmedText(line);
        if (trimmed.empty() || trimmed[0] == '#')
            continue;
        const std::vector<std::string_view> fields = Fields(trimmed);
        std::vector<Value> values;
        for (const std::string_view field : fields)
            values.push_back(ParseValue(field));
        const auto wide = std::find_if(values.begin(), values.end(),
                                       [](const Value& value) { return value.kind == Token::WideHex; });
        if (wide != values.end())
            return {std::nullopt,
                    FormatText("line %zu: %s is wider than 16 bits", number,
                               std::string(fields[static_cast<std::size_t>(wide - values.begin())])
                                   .substr(0, 40)
                                   .c_str())};
        const auto bad = std::find_if(values.begin(), values.end(),
                                      [](const Value& value) { return value.kind == Token::NotNumber; });
        if (bad != values.end()) {
            // Only the first line may name the columns.
            if (columns == 0 && !header) {
                header = true;
                continue;
            }
            return {std::nullopt,
                    FormatText("line %zu: \"%s\" is not a number", number,
                               std::string(fields[static_cast<std::size_t>(bad - values.begin())])
                                   .substr(0, 40)
                                   .c_str())};
        }
        if (values.size() > 2)
            return {std::nullopt,
                    FormatText("unknown layout: line %zu has more than two columns; one (I) or two (I and Q) "
                               "expected",
                               number)};
        if (columns == 0) {
            columns = values.size();
            columnsLine = number;
        } else if (values.size() != columns) {
            return {std::nullopt, FormatText("unknown layout: line %zu has %zu columns, line %zu had %zu",
                                             number, values.size(), columnsLine, columns)};
        }
        for (const Value& value : values) {
            if (!std::isfinite(value.number))
                return {std::nullopt, NotFiniteRefusal(value.number, FormatText("line %zu", number))};
            hex = hex || value.kind == Token::Hex;
            decimal = decimal || value.kind != Token::Hex;
            real = real || value.kind == Token::Real;
        }
        if (hex && decimal)
            return {std::nullopt,
                    FormatText("unknown layout: line %zu mixes hexadecimal and decimal numbers", number)};
        if (signal.i.size() == maxPairs)
            return {std::nullopt, TooLargeRefusal(maxPairs)};
        signal.i.push_back(values[0].number);
        signal.q.push_back(columns == 2 ? values[1].number : 0.0);
    }
    if (signal.i.empty())
        return {std::nullopt, "unknown layout: no samples found"};
    signal.twoChannels = columns == 2;
    signal.integers = !real;
    const Token kind = hex ? Token::Hex : real ? Token::Real : Token::Integer;
    signal.layout = FormatText("CSV, %zu column%s, %s%s", columns, columns == 1 ? "" : "s", KindName(kind),
                               header ? ", header line skipped" : "");
    return {std::move(signal), {}};
}

} // namespace tarsion
