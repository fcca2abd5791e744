#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace tarsion::test {

// A fresh folder, removed with everything in it.
class TempFolder {
public:
    TempFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "coefficient-XXXXXX").string();
        path_ = mkdtemp(pattern.data());
    }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::string& Path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

inline std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

inline void WriteText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

inline std::string Number(double value) {
    char text[40];
    std::snprintf(text, sizeof text, "%.17g", value);
    return text;
}

// Seven header lines, then one line per tap: one column, or two when `second` is given.
inline std::string CoefficientText(const std::vector<double>& first, const std::vector<double>& second = {},
                                   const std::string& lineEnd = "\n") {
    std::string text;
    for (int i = 1; i <= 7; ++i)
        text += "header line " + std::to_string(i) + lineEnd;
    for (std::size_t i = 0; i < first.size(); ++i) {
        text += Number(first[i]);
        if (!second.empty())
            text += "  " + Number(second[i]);
        text += lineEnd;
    }
    return text;
}

// Field value of a real tap sum: 17 fractional bits, rounded half up.
inline std::int64_t FieldOf(double sum) {
    return static_cast<std::int64_t>(std::floor(sum * 131072.0 + 0.5));
}

// Nine bytes of a word, least significant first: field 1 in bits 17..0 up to field 4 in bits 71..54.
inline std::array<std::uint8_t, 9> WordBytes(std::int64_t f1, std::int64_t f2, std::int64_t f3,
                                             std::int64_t f4) {
    const std::uint64_t mask = 0x3FFFF;
    const std::uint64_t low =
        (static_cast<std::uint64_t>(f1) & mask) | (static_cast<std::uint64_t>(f2) & mask) << 18 |
        (static_cast<std::uint64_t>(f3) & mask) << 36 | (static_cast<std::uint64_t>(f4) & 0x3FF) << 54;
    std::array<std::uint8_t, 9> bytes{};
    for (int i = 0; i < 8; ++i)
        bytes[i] = static_cast<std::uint8_t>(low >> (8 * i));
    bytes[8] = static_cast<std::uint8_t>((static_cast<std::uint64_t>(f4) & mask) >> 10);
    return bytes;
}

// Taps of a root-raised-cosine pulse: `taps` samples at `rate` samples per symbol, roll-off `beta`.
inline std::vector<double> RootRaisedCosine(int taps, int rate, double beta) {
    const double pi = std::acos(-1.0);
    std::vector<double> h(static_cast<std::size_t>(taps));
    for (int i = 0; i < taps; ++i) {
        const double t = (i - (taps - 1) / 2.0) / rate;
        double value;
        if (std::abs(t) < 1e-12)
            value = 1.0 - beta + 4.0 * beta / pi;
        else if (std::abs(std::abs(4.0 * beta * t) - 1.0) < 1e-12)
            value = beta / std::sqrt(2.0) *
                    ((1 + 2 / pi) * std::sin(pi / (4 * beta)) + (1 - 2 / pi) * std::cos(pi / (4 * beta)));
        else
            value = (std::sin(pi * t * (1 - beta)) + 4 * beta * t * std::cos(pi * t * (1 + beta))) /
                    (pi * t * (1 - (4 * beta * t) * (4 * beta * t)));
        h[static_cast<std::size_t>(i)] = value;
    }
    return h;
}

} // namespace tarsion::test
