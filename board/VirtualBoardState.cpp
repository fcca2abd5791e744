// State file of the virtual board (`sim:FILE`), so that the board keeps its registers and memories
// across runs like a powered board. Line-oriented text with LF line ends; every number is
// hexadecimal without prefix, with at most the digits shown:
//
//   tarsion-virtual-board 2          first line: format name and version
//   chip AA VVVVVVVV                 chip register AA (00..1f), at most the bits it keeps
//   bridge RR VV                     bridge register RR (00..3f)
//   pld RR VV                        PLD register RR (00..3f)
//   coef I|Q AA WWWWWWWWWWWWWWWWWW   coefficient RAM word AA, 72 bits, most significant digit first
//   constellation AA VV              constellation RAM entry AA
//   pattern AAAAA VVVVVV             pattern memory word AAAAA (00000..3ffff), 24 bits
//   end                              last line: the file is complete
//
// Only non-zero values are written; whatever is not listed is zero. Blank lines and lines starting
// with '#' are skipped; an empty file is a fresh board. A malformed line, or a file without its end
// line, rejects the whole file and leaves the board as it was. Files of version 1 (written before
// the end line existed) have none and are read as before.
//
// The file is replaced as a whole (a new file renamed over it), so a crash never leaves half of it.
#include "base/RegularFile.h"
#include "base/ReplacementFile.h"
#include "board/BoardLock.h"
#include "board/VirtualBoard.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <initializer_list>
#include <optional>
#include <sstream>
#include <vector>

namespace tarsion {

namespace {
constexpr std::string_view kHeader = "tarsion-virtual-board 2";
constexpr std::string_view kHeaderVersion1 = "tarsion-virtual-board 1";
constexpr std::string_view kEnd = "end";
constexpr std::size_t kCoefficientDigits = 18;

std::vector<std::string_view> Fields(std::string_view line) {
    std::vector<std::string_view> fields;
    std::size_t pos = 0;
    while (true) {
        pos = line.find_first_not_of(" \t", pos);
        if (pos == std::string_view::npos)
            return fields;
        const std::size_t end = line.find_first_of(" \t", pos);
        fields.push_back(
            line.substr(pos, end == std::string_view::npos ? std::string_view::npos : end - pos));
        pos = end;
    }
}

std::optional<std::uint32_t> ParseHex(std::string_view text, std::size_t maxDigits, std::uint32_t largest) {
    if (text.empty() || text.size() > maxDigits)
        return std::nullopt;
    std::uint32_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    if (ec != std::errc{} || end != text.data() + text.size() || value > largest)
        return std::nullopt;
    return value;
}

std::optional<VirtualBoard::CoefficientWord> ParseCoefficientWord(std::string_view text) {
    if (text.empty() || text.size() > kCoefficientDigits)
        return std::nullopt;
    const std::string digits = std::string(kCoefficientDigits - text.size(), '0') + std::string(text);
    VirtualBoard::CoefficientWord word{};
    for (std::size_t i = 0; i < word.size(); ++i) {
        const auto byte = ParseHex(std::string_view(digits).substr(2 * i, 2), 2, 0xFF);
        if (!byte)
            return std::nullopt;
        word[word.size() - 1 - i] = static_cast<std::uint8_t>(*byte);
    }
    return word;
}

// Parses `fields[first]` and `fields[first + 1]` as an index and a value.
bool ParsePair(const std::vector<std::string_view>& fields, std::size_t first, std::size_t indexDigits,
               std::uint32_t largestIndex, std::size_t valueDigits, std::uint32_t largestValue,
               std::uint32_t& index, std::uint32_t& value, std::string& reason) {
    const auto parsedIndex = ParseHex(fields[first], indexDigits, largestIndex);
    if (!parsedIndex) {
        reason = "bad address '" + std::string(fields[first]) + "'";
        return false;
    }
    const auto parsedValue = ParseHex(fields[first + 1], valueDigits, largestValue);
    if (!parsedValue) {
        reason = "bad value '" + std::string(fields[first + 1]) + "'";
        return false;
    }
    index = *parsedIndex;
    value = *parsedValue;
    return true;
}

// Lower-case hexadecimal of `value` in exactly `digits` digits. A board's full pattern memory
// is a quarter of a million lines, written a few times a second: no printf here.
char* PutHex(char* at, std::uint32_t value, int digits) {
    constexpr char kDigits[] = "0123456789abcdef";
    for (int i = digits - 1; i >= 0; --i, value >>= 4)
        at[i] = kDigits[value & 0xF];
    return at + digits;
}

std::string& AppendHex(std::string& out, std::uint32_t value, int digits) {
    char text[8];
    return out.append(text, PutHex(text, value, digits));
}

struct HexField {
    std::uint32_t value;
    int digits;
};

void WriteLine(std::string& out, std::string_view kind, std::initializer_list<HexField> fields) {
    char line[40];
    char* at = std::copy(kind.begin(), kind.end(), line);
    for (const HexField& field : fields) {
        *at++ = ' ';
        at = PutHex(at, field.value, field.digits);
    }
    *at++ = '\n';
    out.append(line, at);
}
} // namespace

bool VirtualBoard::ParseStateLine(std::string_view line, Contents& contents, std::string& reason) {
    const auto fields = Fields(line);
    if (fields.empty() || fields[0].front() == '#')
        return true;
    const std::string_view kind = fields[0];
    const std::size_t wanted = kind == "coef" ? 4 : 3;
    if (fields.size() != wanted) {
        reason = "expected " + std::to_string(wanted) + " fields";
        return false;
    }
    std::uint32_t index = 0;
    std::uint32_t value = 0;
    if (kind == "chip") {
        if (!ParsePair(fields, 1, 2, 0x1F, 8, 0xFFFFFFFF, index, value, reason))
            return false;
        // A value the register can't hold was never written by the board.
        if (value > LargestStoredChipValue(static_cast<std::uint8_t>(index))) {
            reason = "bad value '" + std::string(fields[2]) + "' for chip register " + std::string(fields[1]);
            return false;
        }
        contents.chip[index] = value;
    } else if (kind == "bridge" || kind == "pld") {
        if (!ParsePair(fields, 1, 2, 0x3F, 2, 0xFF, index, value, reason))
            return false;
        (kind == "pld" ? contents.pld : contents.bridge)[index] = static_cast<std::uint8_t>(value);
    } else if (kind == "constellation") {
        if (!ParsePair(fields, 1, 2, 0xFF, 2, 0xFF, index, value, reason))
            return false;
        contents.constellation[index] = static_cast<std::uint8_t>(value);
    } else if (kind == "pattern") {
        if (!ParsePair(fields, 1, 5, kPatternWords - 1, 6, 0xFFFFFF, index, value, reason))
            return false;
        contents.pattern[index] = value;
    } else if (kind == "coef") {
        if (fields[1] != "I" && fields[1] != "Q") {
            reason = "bad RAM '" + std::string(fields[1]) + "'";
            return false;
        }
        const auto address = ParseHex(fields[2], 2, 0xFF);
        const auto word = ParseCoefficientWord(fields[3]);
        if (!address || !word) {
            reason = "bad coefficient word";
            return false;
        }
        contents.coefficient[fields[1] == "I" ? 0 : 1][*address] = *word;
    } else {
        reason = "unknown record '" + std::string(kind) + "'";
        return false;
    }
    return true;
}

void VirtualBoard::WriteState(std::string& out, const Contents& contents) {
    out.append(kHeader).append("\n");
    for (unsigned i = 0; i < contents.chip.size(); ++i) {
        if (contents.chip[i])
            WriteLine(out, "chip", {{i, 2}, {contents.chip[i], 8}});
    }
    for (unsigned i = 0; i < contents.bridge.size(); ++i) {
        if (contents.bridge[i])
            WriteLine(out, "bridge", {{i, 2}, {contents.bridge[i], 2}});
    }
    for (unsigned i = 0; i < contents.pld.size(); ++i) {
        if (contents.pld[i])
            WriteLine(out, "pld", {{i, 2}, {contents.pld[i], 2}});
    }
    for (unsigned which = 0; which < 2; ++which) {
        for (unsigned address = 0; address < kCoefficientWords; ++address) {
            const CoefficientWord& word = contents.coefficient[which][address];
            if (word == CoefficientWord{})
                continue;
            out.append(which == 0 ? "coef I" : "coef Q");
            AppendHex(out.append(" "), address, 2);
            out.append(" ");
            for (std::size_t byte = word.size(); byte-- > 0;)
                AppendHex(out, word[byte], 2);
            out.append("\n");
        }
    }
    for (unsigned i = 0; i < contents.constellation.size(); ++i) {
        if (contents.constellation[i])
            WriteLine(out, "constellation", {{i, 2}, {contents.constellation[i], 2}});
    }
    for (unsigned i = 0; i < contents.pattern.size(); ++i) {
        if (contents.pattern[i])
            WriteLine(out, "pattern", {{i, 5}, {contents.pattern[i], 6}});
    }
    out.append(kEnd).append("\n");
}

bool VirtualBoard::LoadState(const std::string& path, std::string& error) {
    // A loop of links could be neither read nor saved.
    if (FinalLinkTarget(path).empty()) {
        error = "the file is a loop of links";
        return false;
    }
    std::error_code ec;
    if (!std::filesystem::exists(path, ec))
        return true;
    std::string text;
    if (const FileRead read = ReadRegularFile(path, kStateFileLimit, text); read != FileRead::Ok) {
        error = "cannot read the file: " + WhyNotRead(path, read, kStateFileLimit);
        return false;
    }
    return LoadStateText(text, error);
}

bool VirtualBoard::LoadStateText(const std::string& text, std::string& error) {
    std::istringstream in(text);
    Contents loaded;
    std::string line;
    std::string reason;
    std::string_view header;
    bool ended = false;
    for (long number = 1; std::getline(in, line); ++number) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (header.empty()) {
            if (line != kHeader && line != kHeaderVersion1) {
                error = "line 1: expected '" + std::string(kHeader) + "'";
                return false;
            }
            header = line == kHeader ? kHeader : kHeaderVersion1;
        } else if (ended && !Fields(line).empty()) {
            error = "line " + std::to_string(number) + ": text after the end line";
            return false;
        } else if (header == kHeader && line == kEnd) {
            ended = true;
        } else if (!ParseStateLine(line, loaded, reason)) {
            error = "line " + std::to_string(number) + ": " + reason;
            return false;
        }
    }
    if (header == kHeader && !ended) {
        error = "the file is incomplete: its end line is missing";
        return false;
    }
    contents_ = std::move(loaded);
    return true;
}

std::string VirtualBoard::StateText() const {
    std::string text;
    WriteState(text, contents_);
    return text;
}

bool VirtualBoard::SaveState(const std::string& path, std::string& error) const {
    // A board whose folder went missing keeps its state all the same.
    std::error_code ec;
    const std::filesystem::path folder = std::filesystem::path(path).parent_path();
    if (!folder.empty())
        std::filesystem::create_directories(folder, ec);
    // A link is written through: the state lands where the user keeps it.
    CReplacementFile file(path, CReplacementFile::Links::WriteThrough);
    if (lock_ && file.IsOpen() && !lock_->LockReplacement(file.Descriptor())) {
        error = "cannot save the virtual board's state to " + path + ": the new file can't be locked";
        return false;
    }
    const bool replaced = file.Commit(StateText());
    if (lock_)
        lock_->ReplacementEnded(replaced);
    if (!replaced) {
        error = "cannot save the virtual board's state to " + path + ": " + file.Error();
        return false;
    }
    return true;
}

} // namespace tarsion
