#include "ops/CallNumber.h"

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

// From the bus every number converts; a replayed script's number must be whole and in range.
TEST(CallNumber, BusNumbersConvertReplayedNumbersMustFit) {
    EXPECT_EQ(CCallNumber(266.0).Byte(), 0x0A);
    EXPECT_EQ(CCallNumber(-1.0).Word(), 0xFFFFFFFFu);
    struct Case {
        double value;
        bool byteFits;
        bool wordFits;
    };
    const Case cases[] = {
        {0.0, true, true},           {255.0, true, true},          {256.0, false, true},
        {4294967295.0, false, true}, {4294967296.0, false, false}, {-1.0, false, false},
        {1.5, false, false},         {std::nan(""), false, false},
    };
    for (const Case& c : cases) {
        bool byteRefused = false;
        bool wordRefused = false;
        const std::uint8_t byte = CCallNumber(c.value, byteRefused).Byte();
        const std::uint32_t word = CCallNumber(c.value, wordRefused).Word();
        EXPECT_EQ(byteRefused, !c.byteFits) << c.value;
        EXPECT_EQ(wordRefused, !c.wordFits) << c.value;
        EXPECT_EQ(byte, c.byteFits ? static_cast<std::uint8_t>(c.value) : 0) << c.value;
        EXPECT_EQ(word, c.wordFits ? static_cast<std::uint32_t>(c.value) : 0u) << c.value;
    }
}

} // namespace
} // namespace tarsion
