#include "automation/AutomationNumber.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace tarsion {
namespace {

TEST(AutomationInteger, KeepsTheLowBitsOfTheIntegerPart) {
    EXPECT_EQ(AutomationInteger(2147483648.0), 0x80000000u);
    EXPECT_EQ(AutomationInteger(4294967295.0), 0xFFFFFFFFu);
    EXPECT_EQ(AutomationInteger(-1.0), 0xFFFFFFFFFFFFFFFFull);
    EXPECT_EQ(AutomationInteger(-3.7), 0xFFFFFFFFFFFFFFFDull); // toward zero
    EXPECT_EQ(AutomationInteger(10.99), 10u);
}

TEST(AutomationInteger, ReducesNumbersBeyondSixtyFourBitsModuloTwoToTheSixtyFour) {
    EXPECT_EQ(AutomationInteger(1e20), 0x6BC75E2D63100000ull);                    // 10^20 mod 2^64
    EXPECT_EQ(AutomationInteger(-18446744073709555712.0), 0xFFFFFFFFFFFFF000ull); // -(2^64 + 4096)
    EXPECT_EQ(AutomationInteger(9223372036854775808.0), 0x8000000000000000ull);   // 2^63
    EXPECT_EQ(AutomationInteger(-9223372036854775808.0), 0x8000000000000000ull);  // -2^63
    EXPECT_EQ(AutomationInteger(18446744073709551616.0), 0u);                     // 2^64
}

TEST(AutomationInteger, NotANumberAndInfinitiesGiveZero) {
    EXPECT_EQ(AutomationInteger(std::numeric_limits<double>::quiet_NaN()), 0u);
    EXPECT_EQ(AutomationInteger(std::numeric_limits<double>::infinity()), 0u);
    EXPECT_EQ(AutomationInteger(-std::numeric_limits<double>::infinity()), 0u);
}

TEST(AutomationNumber, AddressesAndBytesUseTheLowEightBitsWordsTheLowThirtyTwo) {
    EXPECT_EQ(AutomationByte(266.0), 0x0A);
    EXPECT_EQ(AutomationByte(-2.0), 0xFE);
    EXPECT_EQ(AutomationWord(-1.0), 0xFFFFFFFFu);
    EXPECT_EQ(AutomationWord(1e20), 0x63100000u);
    EXPECT_EQ(AutomationWord(std::nan("")), 0u);
}

} // namespace
} // namespace tarsion
