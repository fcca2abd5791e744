#include "app/automation/AutomationNumber.h"

#include <QDBusVariant>
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

TEST(AutomationNumber, OnlyShortIntAndDoubleVariantsCarryANumber) {
    EXPECT_EQ(AutomationNumber(QDBusVariant(QVariant::fromValue<short>(-2))), -2.0);
    EXPECT_EQ(AutomationNumber(QDBusVariant(QVariant::fromValue<int>(0x10A))), 266.0);
    EXPECT_EQ(AutomationNumber(QDBusVariant(QVariant::fromValue(2147483648.0))), 2147483648.0);
    EXPECT_EQ(AutomationNumber(QDBusVariant(QVariant::fromValue(QStringLiteral("0x0a")))), 0.0);
    EXPECT_EQ(AutomationNumber(QDBusVariant(QVariant::fromValue(true))), 0.0);
    EXPECT_EQ(AutomationNumber(QDBusVariant(QVariant::fromValue<uint>(7))), 0.0);
    EXPECT_EQ(AutomationNumber(QDBusVariant(QVariant::fromValue<qlonglong>(7))), 0.0);
    EXPECT_EQ(AutomationNumber(QDBusVariant(QVariant::fromValue<uchar>(7))), 0.0);
    EXPECT_EQ(AutomationNumber(QDBusVariant(QVariant::fromValue(QDBusVariant(QVariant::fromValue<int>(7))))),
              0.0);
}

TEST(AutomationNumber, AddressesAndBytesUseTheLowEightBitsWordsTheLowThirtyTwo) {
    EXPECT_EQ(AutomationByte(QDBusVariant(QVariant::fromValue<int>(0x10A))), 0x0A);
    EXPECT_EQ(AutomationByte(QDBusVariant(QVariant::fromValue<short>(-2))), 0xFE);
    EXPECT_EQ(AutomationWord(QDBusVariant(QVariant::fromValue<int>(-1))), 0xFFFFFFFFu);
    EXPECT_EQ(AutomationWord(QDBusVariant(QVariant::fromValue(1e20))), 0x63100000u);
    EXPECT_EQ(AutomationWord(QDBusVariant(QVariant::fromValue(std::nan("")))), 0u);
}

} // namespace
} // namespace tarsion
