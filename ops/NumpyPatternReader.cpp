// NumPy test patterns: a .npy array of N real values (I), N x 2 real values (I and Q) or N complex
// values (I and Q); a .npz archive of one such array, or of two real arrays named i and q.
#include "base/TextHelpers.h"
#include "ops/PatternImport.h"
#include "ops/ZipArchive.h"

#include <algorithm>
#include <bit>
#include <cctype>
#include <cmath>
#include <cstring>

namespace tarsion {

namespace {
constexpr std::string_view kMagic = "\x93NUMPY";
// A real .npy of a whole memory is 4 MB at most; the header is a few lines.
constexpr std::size_t kMemberLimit = 64u << 20;
constexpr std::size_t kLongestHeader = 1u << 16;
constexpr std::size_t kLongestShape = 8;

struct ElementType {
    char kind = 0; // 'i', 'u', 'f', 'c'
    std::size_t size = 0;
    bool bigEndian = false;
    std::string Name() const {
        const char* base = kind == 'i' ? "int" : kind == 'u' ? "uint" : kind == 'f' ? "float" : "complex";
        std::string name = base;
        name += std::to_string(8 * size);
        return name;
    }
};

struct ArrayHeader {
    ElementType type;
    bool fortranOrder = false;
    std::vector<std::uint64_t> shape;
    std::size_t dataOffset = 0;
};

// The text after `key` and its colon in the header's dictionary.
std::optional<std::string_view> DictionaryValue(std::string_view header, std::string_view key) {
    for (const char quote : {'\'', '"'}) {
        std::string quoted(1, quote);
        quoted.append(key);
        quoted.push_back(quote);
        const std::size_t at = header.find(quoted);
        if (at == std::string_view::npos)
            continue;
        std::size_t colon = header.find_first_not_of(" ", at + quoted.size());
        if (colon == std::string_view::npos || header[colon] != ':')
            return std::nullopt;
        const std::size_t value = header.find_first_not_of(" ", colon + 1);
        if (value == std::string_view::npos)
            return std::nullopt;
        return header.substr(value);
    }
    return std::nullopt;
}

std::optional<ElementType> ParseType(std::string_view value) {
    if (value.empty() || (value[0] != '\'' && value[0] != '"'))
        return std::nullopt; // a structured type is a list
    const std::size_t close = value.find(value[0], 1);
    if (close == std::string_view::npos || close < 3)
        return std::nullopt;
    const std::string_view text = value.substr(1, close - 1);
    ElementType type;
    const char order = text[0];
    if (order != '<' && order != '>' && order != '|' && order != '=')
        return std::nullopt;
    type.bigEndian = order == '>';
    type.kind = text[1];
    const std::string_view digits = text.substr(2);
    if (digits == "1" || digits == "2" || digits == "4" || digits == "8" || digits == "16")
        type.size = std::stoul(std::string(digits));
    const bool known = (type.kind == 'i' || type.kind == 'u') ? type.size >= 1 && type.size <= 8
                       : type.kind == 'f'                     ? type.size == 4 || type.size == 8
                       : type.kind == 'c'                     ? type.size == 8 || type.size == 16
                                                              : false;
    return known ? std::optional(type) : std::nullopt;
}

std::optional<std::vector<std::uint64_t>> ParseShape(std::string_view value) {
    if (value.empty() || value[0] != '(')
        return std::nullopt;
    const std::size_t close = value.find(')');
    if (close == std::string_view::npos)
        return std::nullopt;
    std::vector<std::uint64_t> shape;
    std::string_view inside = value.substr(1, close - 1);
    while (!inside.empty()) {
        const std::size_t comma = inside.find(',');
        const std::string_view item = TrimmedText(inside.substr(0, comma));
        if (!item.empty()) {
            std::uint64_t extent = 0;
            const auto result = std::from_chars(item.data(), item.data() + item.size(), extent);
            if (result.ec != std::errc() || result.ptr != item.data() + item.size() ||
                shape.size() == kLongestShape)
                return std::nullopt;
            shape.push_back(extent);
        }
        if (comma == std::string_view::npos)
            break;
        inside.remove_prefix(comma + 1);
    }
    return shape;
}

std::optional<ArrayHeader> ParseHeader(std::string_view bytes, std::string& error) {
    error = "unknown layout: not a NumPy array file";
    if (bytes.size() < 10 || bytes.substr(0, kMagic.size()) != kMagic)
        return std::nullopt;
    const int major = static_cast<unsigned char>(bytes[6]);
    const std::size_t lengthBytes = major == 1 ? 2 : 4;
    if (major < 1 || major > 3 || bytes.size() < 8 + lengthBytes) {
        error = "unknown layout: NumPy format version " + std::to_string(major);
        return std::nullopt;
    }
    std::size_t length = 0;
    for (std::size_t b = 0; b < lengthBytes; ++b)
        length |= static_cast<std::size_t>(static_cast<unsigned char>(bytes[8 + b])) << (8 * b);
    if (length > kLongestHeader || bytes.size() - 8 - lengthBytes < length) {
        error = "unknown layout: the NumPy header is damaged";
        return std::nullopt;
    }
    const std::string_view header = bytes.substr(8 + lengthBytes, length);
    ArrayHeader array;
    array.dataOffset = 8 + lengthBytes + length;
    const auto descr = DictionaryValue(header, "descr");
    const auto type = descr ? ParseType(*descr) : std::nullopt;
    const auto fortran = DictionaryValue(header, "fortran_order");
    const auto shapeText = DictionaryValue(header, "shape");
    const auto shape = shapeText ? ParseShape(*shapeText) : std::nullopt;
    if (!type) {
        const std::string shown =
            descr ? std::string(descr->substr(0, std::min<std::size_t>(descr->find_first_of(",}"), 30)))
                  : "none";
        error = "unknown layout: NumPy element type " + shown +
                "; integers, float32, float64, complex64 or complex128 expected";
        return std::nullopt;
    }
    if (!fortran || !shape || (!fortran->starts_with("True") && !fortran->starts_with("False"))) {
        error = "unknown layout: the NumPy header is damaged";
        return std::nullopt;
    }
    array.type = *type;
    array.fortranOrder = fortran->starts_with("True");
    array.shape = *shape;
    return array;
}

std::string ShapeText(const std::vector<std::uint64_t>& shape) {
    std::string text = "(";
    for (std::size_t d = 0; d < shape.size(); ++d)
        text += (d ? ", " : "") + std::to_string(shape[d]);
    return text + (shape.size() == 1 ? ",)" : ")");
}

// Element `index` of the array as a number; `part` 1 the imaginary part of a complex one.
double Element(const char* data, const ElementType& type, std::uint64_t index, int part) {
    const std::size_t width = type.kind == 'c' ? type.size / 2 : type.size;
    const char* at =
        data + static_cast<std::size_t>(index) * type.size + static_cast<std::size_t>(part) * width;
    unsigned char raw[8] = {};
    std::memcpy(raw, at, width);
    if (type.bigEndian)
        std::reverse(raw, raw + width);
    std::uint64_t bits = 0;
    for (std::size_t b = 0; b < width; ++b)
        bits |= static_cast<std::uint64_t>(raw[b]) << (8 * b);
    if (type.kind == 'f' || type.kind == 'c')
        return width == 4 ? static_cast<double>(std::bit_cast<float>(static_cast<std::uint32_t>(bits)))
                          : std::bit_cast<double>(bits);
    if (type.kind == 'u')
        return static_cast<double>(bits);
    const unsigned shift = static_cast<unsigned>(64 - 8 * width);
    return static_cast<double>(static_cast<std::int64_t>(bits << shift) >> shift);
}

ImportRead Refused(std::string why) {
    return {std::nullopt, std::move(why)};
}

// One array as I (and Q): N, N x 1 and N x 2 of real values, N complex values.
ImportRead ReadArray(std::string_view bytes, std::size_t maxPairs, const std::string& what) {
    std::string error;
    const std::optional<ArrayHeader> header = ParseHeader(bytes, error);
    if (!header)
        return Refused(error);
    const ElementType& type = header->type;
    const std::vector<std::uint64_t>& shape = header->shape;
    const bool complex = type.kind == 'c';
    const std::uint64_t columns = shape.size() == 2 ? shape[1] : 1;
    if (shape.empty() || shape.size() > 2 || columns == 0 || columns > 2 || (complex && columns != 1))
        return Refused("unknown layout: " + what + " of shape " + ShapeText(shape) + " and type " +
                       type.Name() + "; N values, N x 2 values or N complex values expected");
    const std::uint64_t pairs = shape[0];
    if (pairs > maxPairs)
        return Refused(TooLargeRefusal(maxPairs, static_cast<std::size_t>(pairs)));
    if (pairs == 0)
        return Refused("unknown layout: " + what + " holds no samples");
    const std::uint64_t needed = pairs * columns * type.size;
    if (bytes.size() - header->dataOffset < needed)
        return Refused(FormatText("%s ends after %zu of its %llu data bytes", what.c_str(),
                                  bytes.size() - header->dataOffset,
                                  static_cast<unsigned long long>(needed)));
    const char* data = bytes.data() + header->dataOffset;
    ImportedSignal signal;
    signal.twoChannels = complex || columns == 2;
    signal.integers = type.kind == 'i' || type.kind == 'u';
    signal.i.resize(static_cast<std::size_t>(pairs));
    signal.q.assign(static_cast<std::size_t>(pairs), 0.0);
    for (std::uint64_t k = 0; k < pairs; ++k) {
        const std::size_t at = static_cast<std::size_t>(k);
        if (complex) {
            signal.i[at] = Element(data, type, k, 0);
            signal.q[at] = Element(data, type, k, 1);
        } else if (columns == 2) {
            signal.i[at] = Element(data, type, header->fortranOrder ? k : 2 * k, 0);
            signal.q[at] = Element(data, type, header->fortranOrder ? pairs + k : 2 * k + 1, 0);
        } else {
            signal.i[at] = Element(data, type, k, 0);
        }
        for (const double value : {signal.i[at], signal.q[at]})
            if (!std::isfinite(value))
                return Refused(
                    NotFiniteRefusal(value, FormatText("sample %llu", static_cast<unsigned long long>(k))));
    }
    signal.layout = "NumPy, " + ShapeText(shape) + " " + type.Name();
    return {std::move(signal), {}};
}

std::string Lowered(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}
} // namespace

ImportRead ReadNpyPattern(std::string_view bytes, std::size_t maxPairs) {
    return ReadArray(bytes, maxPairs, "NumPy array");
}

ImportRead ReadNpzPattern(std::string_view bytes, std::size_t maxPairs) {
    std::string error;
    const auto members = ZipMembers(bytes, error);
    if (!members)
        return Refused("unknown layout: " + error);
    std::vector<const ZipMember*> arrays;
    std::string names;
    for (const ZipMember& member : *members) {
        if (!member.name.ends_with(".npy"))
            continue;
        arrays.push_back(&member);
        if (arrays.size() <= 4)
            names += (names.empty() ? "" : ", ") + member.name.substr(0, 40);
    }
    const auto read = [&](const ZipMember& member) {
        const auto contents = ZipMemberData(bytes, member, kMemberLimit, error);
        return contents ? ReadArray(*contents, maxPairs, "array " + member.name)
                        : Refused("unknown layout: " + error);
    };
    if (arrays.size() == 1) {
        ImportRead one = read(*arrays[0]);
        if (one.signal)
            one.signal->layout = "NumPy archive, " + arrays[0]->name + " " + one.signal->layout.substr(7);
        return one;
    }
    if (arrays.size() == 2) {
        const bool iFirst = Lowered(arrays[0]->name) == "i.npy" && Lowered(arrays[1]->name) == "q.npy";
        const bool qFirst = Lowered(arrays[0]->name) == "q.npy" && Lowered(arrays[1]->name) == "i.npy";
        if (iFirst || qFirst) {
            ImportRead i = read(*arrays[iFirst ? 0 : 1]);
            if (!i.signal)
                return i;
            ImportRead q = read(*arrays[iFirst ? 1 : 0]);
            if (!q.signal)
                return q;
            if (i.signal->twoChannels || q.signal->twoChannels || i.signal->i.size() != q.signal->i.size() ||
                i.signal->integers != q.signal->integers)
                return Refused(
                    FormatText("unknown layout: arrays i and q must be real, both integers or both "
                               "floating point, and of one length (%zu and %zu)",
                               i.signal->i.size(), q.signal->i.size()));
            ImportedSignal signal = std::move(*i.signal);
            signal.q = std::move(q.signal->i);
            signal.twoChannels = true;
            signal.layout = "NumPy archive, arrays i and q of " + std::to_string(signal.i.size());
            return {std::move(signal), {}};
        }
    }
    return Refused(FormatText(
        "unknown layout: the archive holds %zu arrays%s%s; one array, or two named i and q, expected",
        arrays.size(), names.empty() ? "" : " (", names.empty() ? "" : (names + ")").c_str()));
}

} // namespace tarsion
