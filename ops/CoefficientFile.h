#pragma once

#include <cstddef>
#include <istream>
#include <string>
#include <vector>

namespace tarsion {

// A coefficient file (.coe, .imp): seven header lines, then one tap per line holding one number
// (column 1) or two (I and Q). Line 8 decides the column count of the whole file.
class CoefficientFile {
public:
    enum class Status { Ok, CannotOpen, BadFormat };

    static constexpr int kHeaderLines = 7;
    // The coefficient list holds at most this many positions; later taps can never reach a table.
    static constexpr std::size_t kMaxPositions = 300;

    Status Read(const std::string& path);
    Status Parse(std::istream& in);

    int Columns() const { return columns_; }
    // True when every tap line holds a number for `column` (1 or 2).
    bool HasColumn(int column) const { return column >= 1 && column <= leastNumbers_; }
    // Tap values of `column`, in file order, at most kMaxPositions of them.
    const std::vector<double>& Taps(int column) const { return column == 2 ? second_ : first_; }

    // The line (from 1) of a format error; with a column missing, the first tap line holding one number.
    std::size_t BadLine() const { return badLine_ != 0 ? badLine_ : singleLine_; }

private:
    // Returns how many numbers the line holds.
    int AddTapLine(const std::string& line, std::size_t number);

    int columns_ = 0;
    int leastNumbers_ = 0;
    std::size_t badLine_ = 0;
    std::size_t singleLine_ = 0;
    std::vector<double> first_;
    std::vector<double> second_;
};

} // namespace tarsion
