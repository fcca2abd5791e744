#include "ops/CoefficientFile.h"

#include "base/RegularFile.h"
#include "base/TextLines.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <sstream>

namespace tarsion {

namespace {
bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

bool IsBlankLine(const std::string& line) {
    return std::all_of(line.begin(), line.end(), IsBlank);
}

// One "%lg" conversion: leading white space, an optional '+', a finite number. Null when none.
// from_chars, unlike strtod, ignores the locale that a GUI toolkit may have set.
const char* ReadNumber(const char* begin, const char* end, double& value) {
    while (begin != end && IsBlank(*begin))
        ++begin;
    if (end - begin > 1 && begin[0] == '+' && begin[1] != '-')
        ++begin;
    const auto [next, error] = std::from_chars(begin, end, value);
    if (error != std::errc{} || !std::isfinite(value))
        return nullptr;
    return next;
}

// Up to two numbers from the start of the line, as "%lg %lg" reads them; returns how many.
int ReadNumbers(const std::string& line, double& first, double& second) {
    const char* end = line.data() + line.size();
    const char* next = ReadNumber(line.data(), end, first);
    if (!next)
        return 0;
    return ReadNumber(next, end, second) ? 2 : 1;
}
} // namespace

CoefficientFile::Status CoefficientFile::Read(const std::string& path) {
    // A folder, a FIFO or a device is no coefficient file.
    std::string text;
    if (ReadRegularFile(path, kLoaderFileLimit, text) != FileRead::Ok)
        return Status::CannotOpen;
    std::istringstream in(std::move(text));
    return Parse(in);
}

CoefficientFile::Status CoefficientFile::Parse(std::istream& in) {
    columns_ = 0;
    leastNumbers_ = 0;
    badLine_ = 0;
    singleLine_ = 0;
    first_.clear();
    second_.clear();
    CTextLines lines(in);
    std::string line;
    std::size_t number = 0;
    for (int i = 0; i <= kHeaderLines; ++i, ++number) {
        if (!lines.Next(line)) {
            badLine_ = number + 1;
            return Status::BadFormat;
        }
    }
    leastNumbers_ = 2;
    columns_ = AddTapLine(line, number);
    if (columns_ == 0) {
        badLine_ = number;
        return Status::BadFormat;
    }
    // Blank lines count only when a tap follows them: trailing ones would shift a symmetric filter.
    std::size_t blankLine = 0;
    while (lines.Next(line)) {
        ++number;
        if (IsBlankLine(line)) {
            blankLine = blankLine == 0 ? number : blankLine;
            continue;
        }
        if (blankLine != 0 || AddTapLine(line, number) == 0) {
            badLine_ = blankLine != 0 ? blankLine : number;
            return Status::BadFormat;
        }
    }
    return Status::Ok;
}

int CoefficientFile::AddTapLine(const std::string& line, std::size_t number) {
    double first = 0;
    double second = 0;
    const int numbers = ReadNumbers(line, first, second);
    if (numbers == 1 && singleLine_ == 0)
        singleLine_ = number;
    leastNumbers_ = std::min(leastNumbers_, numbers);
    if (first_.size() < kMaxPositions) {
        first_.push_back(first);
        second_.push_back(numbers == 2 ? second : 0.0);
    }
    return numbers;
}

} // namespace tarsion
