#include "CoefficientTestFiles.h"
#include "ops/CoefficientFile.h"
#include "ops/CoefficientRam.h"
#include "ops/CoefficientTable.h"

#include <gtest/gtest.h>

#include <sstream>

namespace tarsion {
namespace {

using test::CoefficientText;
using test::FieldOf;
using test::TempFolder;

CoefficientFile::Status ParseText(CoefficientFile& file, const std::string& text) {
    std::istringstream in(text);
    return file.Parse(in);
}

TEST(CoefficientFileTest, ReadsOneOrTwoColumnsWithEitherLineEnd) {
    CoefficientFile file;
    ASSERT_EQ(ParseText(file, CoefficientText({0.5, -0.25, 1e-3})), CoefficientFile::Status::Ok);
    EXPECT_EQ(file.Columns(), 1);
    EXPECT_EQ(file.Taps(1), (std::vector<double>{0.5, -0.25, 1e-3}));

    ASSERT_EQ(ParseText(file, CoefficientText({0.5, 0.125}, {-0.5, 0.75}, "\r\n")),
              CoefficientFile::Status::Ok);
    EXPECT_EQ(file.Columns(), 2);
    EXPECT_TRUE(file.HasColumn(2));
    EXPECT_EQ(file.Taps(1), (std::vector<double>{0.5, 0.125}));
    EXPECT_EQ(file.Taps(2), (std::vector<double>{-0.5, 0.75}));

    // Line 8 alone decides; a third number is not read.
    ASSERT_EQ(ParseText(file, CoefficientText({}) + "1 2 3\n+4 5\n"), CoefficientFile::Status::Ok);
    EXPECT_EQ(file.Columns(), 2);
    EXPECT_EQ(file.Taps(2), (std::vector<double>{2, 5}));
}

TEST(CoefficientFileTest, MalformedFilesAreFormatErrors) {
    const std::string header = CoefficientText({});
    static const char kBinary[] = "\x7f"
                                  "ELF\0\x01\x02\n\n\n\n\n\n\n\xff\xfe\x00\x01\n";
    const std::pair<const char*, std::string> cases[] = {
        {"no line 8", "1\n2\n3\n4\n5\n6\n7\n"},
        {"truncated header", "1\n2\n3\n"},
        {"blank line 8", header + "\n0.5\n"},
        {"text on line 8", header + "taps follow\n0.5\n"},
        {"infinite tap", header + "inf\n"},
        {"tap line without a number", header + "0.5\nabc\n0.25\n"},
        {"blank line between taps", header + "0.5\n\n0.25\n"},
        {"binary", std::string(kBinary, sizeof kBinary - 1)},
        {"huge line of garbage", header + std::string(200000, 'x') + "\n"},
    };
    for (const auto& [name, text] : cases) {
        CoefficientFile file;
        EXPECT_EQ(ParseText(file, text), CoefficientFile::Status::BadFormat) << name;
    }
}

TEST(CoefficientFileTest, LinesAreTakenWhole) {
    CoefficientFile file;
    // Blank lines after the last tap do not count, whatever their line ends.
    ASSERT_EQ(ParseText(file, CoefficientText({0.5, 0.25}) + "\n  \r\n\t\n"), CoefficientFile::Status::Ok);
    EXPECT_EQ(file.Taps(1).size(), 2u);

    // A very long line is still one tap.
    const std::string longLine = "0.125" + std::string(5000, ' ') + "\n";
    ASSERT_EQ(ParseText(file, CoefficientText({}) + longLine + "0.25\n"), CoefficientFile::Status::Ok);
    EXPECT_EQ(file.Taps(1), (std::vector<double>{0.125, 0.25}));

    // A two-column file whose later line lacks the second number can only give column 1.
    ASSERT_EQ(ParseText(file, CoefficientText({}) + "0.5 0.25\n0.125\n"), CoefficientFile::Status::Ok);
    EXPECT_TRUE(file.HasColumn(1));
    EXPECT_FALSE(file.HasColumn(2));

    // The coefficient list keeps 300 positions.
    ASSERT_EQ(ParseText(file, CoefficientText(std::vector<double>(400, 0.001))), CoefficientFile::Status::Ok);
    EXPECT_EQ(file.Taps(1).size(), 300u);
}

class CoefficientTableTest : public ::testing::Test {
protected:
    CoefficientTable Table(const std::string& text, int selector, bool twoBitMode = false,
                           bool symmetric = false) {
        test::WriteText(folder / "f.coe", text);
        return CoefficientTable(
            {folder / "f.coe", 1, FilterGeometry::For(selector, twoBitMode), symmetric, folder / "temp.ram"});
    }
    static std::vector<double> Ramp(int count, double step) {
        std::vector<double> taps;
        for (int i = 0; i < count; ++i)
            taps.push_back(step * (i + 1) * (i % 3 == 0 ? -1 : 1));
        return taps;
    }
    void ExpectFields(const CoefficientTable& table, int address, std::array<double, 4> sums) {
        for (int k = 0; k < 4; ++k)
            EXPECT_EQ(table.Words()[address][k], FieldOf(sums[k]))
                << "address " << address << " field " << k + 1;
    }

    TempFolder folder;
};

TEST_F(CoefficientTableTest, RateFourAddressesSelectTheirTaps) {
    const std::vector<double> c = Ramp(96, 0.0011);
    CoefficientTable table = Table(CoefficientText(c), 0);
    const double g = 1.5;
    ASSERT_TRUE(table.Build(g));
    // j = 0, l = 32: only the top bit of l, the last tap of each phase.
    ExpectFields(table, 0x20, {g * c[95], g * c[94], g * c[93], g * c[92]});
    // j = 3, l = 1: the first taps.
    ExpectFields(table, 0xC1, {g * c[3], g * c[2], g * c[1], g * c[0]});
    double sum = 0;
    for (int t = 95; t >= 75; t -= 4)
        sum += g * c[t];
    EXPECT_EQ(table.Words()[0x3F][0], FieldOf(sum));
    for (int address : {0x00, 0x40, 0x80, 0xC0})
        ExpectFields(table, address, {0, 0, 0, 0});
}

TEST_F(CoefficientTableTest, RateEightGroupsTakeTheHigherPhases) {
    const std::vector<double> c = Ramp(160, 0.0006);
    CoefficientTable table = Table(CoefficientText(c), 1);
    ASSERT_TRUE(table.Build(1.0));
    // u = 1 serves phases 7..4, u = 0 phases 3..0; l = 16 is the top bit of l.
    ExpectFields(table, 0x30, {c[159], c[158], c[157], c[156]});
    ExpectFields(table, 0x10, {c[155], c[154], c[153], c[152]});
    EXPECT_EQ(table.Statistics().phaseSums.size(), 8u);
}

TEST_F(CoefficientTableTest, OtherSelectorsMeanRateSixteen) {
    for (int selector : {2, 3, -1, 100}) {
        const FilterGeometry g = FilterGeometry::For(selector, false);
        EXPECT_EQ(g.rate, 16) << selector;
        EXPECT_EQ(g.bits, 4) << selector;
        EXPECT_EQ(g.taps, 256) << selector;
    }
    EXPECT_EQ(FilterGeometry::For(1, true).taps, 80);
}

TEST_F(CoefficientTableTest, TwoBitModeHalvesTheUpperHalf) {
    // Taps on the 2^-17 grid make each lower-half field an exact whole number.
    std::vector<double> c;
    for (int i = 0; i < 48; ++i)
        c.push_back(((i * 37) % 101 - 50) / 131072.0);
    CoefficientTable table = Table(CoefficientText(c), 0, true);
    ASSERT_TRUE(table.Build(1.0));
    // The geometry uses 48 taps: address 0x20 holds the last four.
    ExpectFields(table, 0x20, {c[47], c[46], c[45], c[44]});
    for (int address = 0; address < 128; ++address) {
        for (int k = 0; k < 4; ++k) {
            const double lower = table.Words()[address][k];
            ASSERT_EQ(table.Words()[address + 128][k], std::floor(lower / 2 + 0.5)) << address << " " << k;
        }
    }
}

TEST_F(CoefficientTableTest, SymmetricFilterMirrorsAroundTheCentrePair) {
    const double a = 0.125, b = -0.0625, c = 0.25;
    CoefficientTable shortTable = Table(CoefficientText({a, b, c}), 0, false, true);
    ASSERT_TRUE(shortTable.Build(1.0));
    // Positions: a b c c b a, then zeros.
    ExpectFields(shortTable, 0xC1, {c, c, b, a});
    ExpectFields(shortTable, 0xC2, {0, 0, a, b});
    EXPECT_DOUBLE_EQ(shortTable.Statistics().coefficientSum, 2 * (a + b + c));

    const std::vector<double> half = Ramp(48, 0.002);
    CoefficientTable fullTable = Table(CoefficientText(half), 0, false, true);
    ASSERT_TRUE(fullTable.Build(1.0));
    ExpectFields(fullTable, 0x20, {half[0], half[1], half[2], half[3]});
    ExpectFields(fullTable, 0xC1, {half[3], half[2], half[1], half[0]});
}

TEST_F(CoefficientTableTest, ShortFilesArePaddedAndLongOnesCut) {
    const std::vector<double> c = Ramp(100, 0.001);
    CoefficientTable shortTable = Table(CoefficientText({c.begin(), c.begin() + 92}), 0);
    ASSERT_TRUE(shortTable.Build(1.0));
    ExpectFields(shortTable, 0x20, {0, 0, 0, 0});
    ExpectFields(shortTable, 0x10, {c[91], c[90], c[89], c[88]});

    CoefficientTable longTable = Table(CoefficientText(c), 0);
    ASSERT_TRUE(longTable.Build(1.0));
    double sum = 0;
    for (int i = 0; i < 96; ++i)
        sum += c[i];
    EXPECT_DOUBLE_EQ(longTable.Statistics().coefficientSum, sum);
    ExpectFields(longTable, 0x20, {c[95], c[94], c[93], c[92]});
}

TEST_F(CoefficientTableTest, StatisticsAndAcceptance) {
    std::vector<double> c(96, 0.0);
    c[95] = 0.5;
    c[91] = 0.25;
    c[0] = -0.75;
    CoefficientTable table = Table(CoefficientText(c), 0);
    ASSERT_TRUE(table.Build(1.0));
    const CoefficientStatistics& s = table.Statistics();
    EXPECT_DOUBLE_EQ(s.coefficientSum, 0.0);
    EXPECT_DOUBLE_EQ(s.fieldMax, 0.75);
    EXPECT_DOUBLE_EQ(s.fieldMin, -0.75);
    EXPECT_DOUBLE_EQ(s.fieldSumMax, 0.75);
    EXPECT_DOUBLE_EQ(s.fieldSumMin, -0.75);
    EXPECT_EQ(s.phaseSums, (std::vector<double>{0.75, 0, 0, 0.75}));
    EXPECT_TRUE(table.Fits());

    ASSERT_TRUE(table.Build(2.0));
    EXPECT_DOUBLE_EQ(table.Statistics().phaseSums[3], 1.5);
    EXPECT_FALSE(table.Fits());

    // Every limit is included.
    CoefficientStatistics edge{0, 0.9999923706055, -1, 7.999938964844, -8, {0.9999856948853}};
    EXPECT_TRUE(FitsChipFormats(edge));
    for (int i = 0; i < 5; ++i) {
        CoefficientStatistics over = edge;
        double* values[] = {&over.fieldMax, &over.fieldMin, &over.fieldSumMax, &over.fieldSumMin,
                            &over.phaseSums[0]};
        *values[i] += i == 1 || i == 3 ? -1e-9 : 1e-9;
        EXPECT_FALSE(FitsChipFormats(over)) << i;
    }
}

TEST_F(CoefficientTableTest, ListingHoldsAddressAndWordBits) {
    const std::vector<double> c = Ramp(96, 0.0011);
    CoefficientTable table = Table(CoefficientText(c), 0);
    // A longer listing left from before is replaced, not just overwritten.
    test::WriteText(folder / "temp.ram", std::string(30000, '7'));
    ASSERT_TRUE(table.Build(1.0));
    ASSERT_TRUE(table.ListingWritten());
    std::istringstream listing(test::ReadText(folder / "temp.ram"));
    std::vector<std::string> lines;
    for (std::string line; std::getline(listing, line);)
        lines.push_back(line);
    ASSERT_EQ(lines.size(), 256u);
    for (const std::string& line : lines)
        ASSERT_EQ(line.size(), 80u);
    const auto bytes = test::WordBytes(FieldOf(c[95]), FieldOf(c[94]), FieldOf(c[93]), FieldOf(c[92]));
    std::string expected = "00100000";
    for (int bit = 71; bit >= 0; --bit)
        expected += (bytes[bit / 8] >> (bit % 8)) & 1 ? '1' : '0';
    EXPECT_EQ(lines[0x20], expected);

    // A listing that can't be written does not stop the table.
    CoefficientTable blocked({folder / "f.coe", 1, FilterGeometry::For(0, false), false, folder.Path()});
    EXPECT_TRUE(blocked.Build(1.0));
    EXPECT_FALSE(blocked.ListingWritten());
}

TEST_F(CoefficientTableTest, PackingChecksEighteenBits) {
    const std::vector<double> c = Ramp(96, 0.0011);
    CoefficientTable table = Table(CoefficientText(c), 0);
    ASSERT_TRUE(table.Build(1.0));
    const auto image = PackTable(table);
    ASSERT_TRUE(image);
    const auto expected = test::WordBytes(FieldOf(c[3]), FieldOf(c[2]), FieldOf(c[1]), FieldOf(c[0]));
    EXPECT_EQ((*image)[0xC1], expected);
    // c[0] is negative: check its sign bits reach byte 8.
    EXPECT_EQ(RamImageLine(0xC1, (*image)[0xC1]).substr(0, 6), "c1\tff ");

    // Field 1 of address 0x20 becomes 131072: one past the largest 18-bit value.
    std::vector<double> big(96, 0.0);
    big[95] = 1.0;
    CoefficientTable over = Table(CoefficientText(big), 0);
    ASSERT_TRUE(over.Build(1.0));
    EXPECT_FALSE(PackTable(over));
    ASSERT_TRUE(over.Build(131071.0 / 131072.0));
    EXPECT_TRUE(PackTable(over));
}

TEST(BestFitTest, FilterThatAlreadyFitsKeepsTheRate) {
    TempFolder folder;
    test::WriteText(folder / "f.coe", CoefficientText(std::vector<double>(96, 0.01)));
    CoefficientTable table({folder / "f.coe", 1, FilterGeometry::For(0, false), false, folder / "temp.ram"});
    ASSERT_EQ(FitBestGain(table, 4.0), GainOutcome::Fitted);
    EXPECT_EQ(table.Gain(), 4.0);
}

TEST(BestFitTest, RootRaisedCosineConvergesAndFits) {
    TempFolder folder;
    test::WriteText(folder / "rrc.coe", CoefficientText(test::RootRaisedCosine(256, 16, 0.35)));
    CoefficientTable table(
        {folder / "rrc.coe", 1, FilterGeometry::For(2, false), false, folder / "temp.ram"});
    ASSERT_EQ(FitBestGain(table, 16.0), GainOutcome::Fitted);
    EXPECT_TRUE(table.Fits());
    EXPECT_GT(table.Gain(), 0.0);
    EXPECT_LT(table.Gain(), 16.0);
    // Every phase sum now within its limit, and the packed words too.
    for (double sum : table.Statistics().phaseSums)
        EXPECT_LE(sum, 0.9999856948853);
    EXPECT_TRUE(PackTable(table));
}

TEST(BestFitTest, AdjustmentRulesApplyInOrder) {
    const double fmax = 0.9999923706055, amax = 0.9999856948853;
    EXPECT_DOUBLE_EQ(AdjustedGain({0, 2.0, -3.0, 0, 0, {5.0}}, 4.0), 4.0 * fmax / 2.0);
    EXPECT_DOUBLE_EQ(AdjustedGain({0, 0.5, -2.0, 0, 0, {5.0}}, 4.0), 2.0);
    // Each exceeding phase scales the running gain in turn.
    EXPECT_DOUBLE_EQ(AdjustedGain({0, 0.5, -0.5, 0, 0, {2.0, 0.5, 4.0}}, 4.0), 4.0 * amax / 2.0 * amax / 4.0);
}

// A table that never fits: Fmax stays at 2 whatever the gain.
struct StubbornTable {
    bool Build(double g) {
        gains.push_back(g);
        return true;
    }
    bool Fits() const { return false; }
    double Gain() const { return gains.back(); }
    const CoefficientStatistics& Statistics() const { return statistics; }
    std::vector<double> gains;
    CoefficientStatistics statistics{0, 2.0, 0, 0, 0, {}};
};

TEST(BestFitTest, GivesUpWhenAThirtyFirstAdjustmentIsNeeded) {
    StubbornTable table;
    EXPECT_EQ(FitBestGain(table, 8.0), GainOutcome::NoFit);
    // The first build and 31 adjustments, the last of them built too.
    ASSERT_EQ(table.gains.size(), 32u);
    EXPECT_EQ(table.gains.front(), 8.0);
    EXPECT_DOUBLE_EQ(table.gains.back(), 8.0 * std::pow(0.9999923706055 / 2.0, 31));
}

TEST(BestFitTest, GivesUpWhenRoundingStallsTheGain) {
    // Two taps of phase 0 whose scaled sum ends a hair above its limit, where G × limit / A(0)
    // rounds back to G: no adjustment can make progress.
    TempFolder folder;
    std::vector<double> c(17, 0.0);
    c[0] = 0.196;
    c[16] = 0.0118;
    test::WriteText(folder / "f.coe", CoefficientText(c));
    CoefficientTable table({folder / "f.coe", 1, FilterGeometry::For(2, false), false, folder / "temp.ram"});
    EXPECT_EQ(FitBestGain(table, 16.0), GainOutcome::NoFit);
    const double phaseSum = table.Statistics().phaseSums[0];
    EXPECT_GT(phaseSum, 0.9999856948853);
    EXPECT_LT(phaseSum - 0.9999856948853, 1e-15);
}

TEST(RamImageTest, BaseNameDropsTheExtensionOfTheFileNameOnly) {
    EXPECT_EQ(RamImageBaseName("/f/lp.coe"), "/f/lp");
    EXPECT_EQ(RamImageBaseName("/ver.2/lp.coe"), "/ver.2/lp");
    EXPECT_EQ(RamImageBaseName("/ver.2/lp"), "/ver.2/lp");
    EXPECT_EQ(RamImageBaseName("/f/lp.filter.imp"), "/f/lp.filter");
    EXPECT_EQ(RamImageBaseName("lp"), "lp");
}

TEST(RamImageTest, DcOffsetWrapsAndRefusesNonNumbers) {
    // Data bit width 3: 6 × 2^3 = 48.
    EXPECT_EQ(DcOffsetRegisterValue(0.5, 3u << 6), 65536u + 48u);
    // trunc(-131.072) + 6 = -125, taken modulo 2^32.
    EXPECT_EQ(DcOffsetRegisterValue(-0.001, 0), 4294967296u - 125u);
    EXPECT_FALSE(DcOffsetRegisterValue(std::nan(""), 0));
}

} // namespace
} // namespace tarsion
