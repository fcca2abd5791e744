#include "PageBench.h"

#include <QComboBox>

namespace tarsion::test {
namespace {

constexpr int kPllPage = 3;

class DlfFormTest : public PageTest {
protected:
    void SetUp() override { Open(kPllPage); }
};

TEST_F(DlfFormTest, LoopGainsAreTwoWritesIntoTheirFields) {
    Type("lead", "1.0"); // shift 17, mantissa 0
    EXPECT_EQ(Chip(0x06), 17u << 1);
    const auto mantissa = log_.text.find("ModifyBits 06 00000000 000f0000 ");
    ASSERT_NE(mantissa, std::string::npos);
    EXPECT_NE(log_.text.find("ModifyBits 06 00000022 0000003e ", mantissa), std::string::npos);
    EXPECT_EQ(Text("lead"), "1.000000");
    Type("lag", "3.0"); // shift 18, mantissa 8
    EXPECT_EQ(Chip(0x06), (17u << 1) | (8u << 24) | (18u << 11));
    Type("freq", "40000"); // clamped: shift 31, mantissa 15
    EXPECT_EQ(Chip(0x06) & 0xf007c0, (15u << 20) | (31u << 6));
    EXPECT_EQ(Text("freq"), "31744.000000");
    Type("lead", "0.001");
    EXPECT_EQ(Text("lead"), "0.000977");
}

TEST_F(DlfFormTest, GainSteppingHonoursTheStepSetting) {
    Preset(0x06, (15u << 16) | (31u << 1));
    Arrow("lead", true);
    EXPECT_EQ(Chip(0x06), (15u << 16) | (31u << 1));
    EXPECT_EQ(Logged("ModifyBits 06"), 2u);
    doc_.steps.loopFilterStepLead = 0;
    Arrow("lead", false);
    Key("lead", Qt::Key_Down);
    EXPECT_EQ(Logged("ModifyBits 06"), 2u);
    Preset(0x06, 17u << 11); // lag 1.0
    Key("lag", Qt::Key_Up);
    EXPECT_EQ(Chip(0x06), (1u << 24) | (17u << 11));
}

TEST_F(DlfFormTest, StepEditsAreClamped) {
    Type("leadStep", "1e-9");
    EXPECT_DOUBLE_EQ(doc_.steps.loopFilterStepLead, 4.768371582031e-7);
    EXPECT_EQ(Text("leadStep"), "4.76837e-07");
    Type("freqStep", "1e6");
    EXPECT_DOUBLE_EQ(doc_.steps.loopFilterStepFreq, 31793.152);
}

TEST_F(DlfFormTest, DividersAreRangeCheckedIntegers) {
    Preset(0x05, 0xfc000000);
    Type("refClkDivider", "256");
    ASSERT_EQ(prompt_.messages.size(), 1u);
    EXPECT_EQ(prompt_.messages[0], "Please enter an integer between 0 and 255.");
    EXPECT_EQ(Logged("ModifyBits"), 0u);
    Type("refClkDivider", "200");
    Type("ncoDivider", "16383");
    EXPECT_EQ(Chip(0x05), 0xfc000000u | 0x3fff00u | 200u);
    // The same number again writes nothing.
    Type("ncoDivider", "016383");
    EXPECT_EQ(Logged("ModifyBits 05"), 2u);
}

TEST_F(DlfFormTest, LockDetectFields) {
    Type("phaseErrorThreshold", "1fffff");
    EXPECT_EQ(Chip(0x07), 0xfffff8u);
    EXPECT_EQ(Text("phaseErrorThreshold"), "0x1fffff");
    auto* increment = Find<QComboBox>("thresholdIncrement");
    increment->setCurrentIndex(3);
    emit increment->activated(3);
    EXPECT_EQ(Chip(0x07), 0xfffffeu);
    Type("upperLimitHex", "0x7fffffff");
    EXPECT_EQ(Chip(0x0c), 0x7fffffffu);
}

TEST_F(DlfFormTest, SysClkFollowsTheAnalogPll) {
    doc_.Shadow().SetClockPin(20e6);
    Preset(0x07, 0);
    EXPECT_EQ(Text("sysClk"), "20.000000MHz");
    auto* vco = Find<QComboBox>("vcoDivider");
    vco->setCurrentIndex(3);
    emit vco->activated(3);
    auto* clk = Find<QComboBox>("clkDivider");
    clk->setCurrentIndex(1);
    emit clk->activated(1);
    Click("enableAnalogPll");
    EXPECT_EQ(Text("sysClk"), "20.000000MHz");
    Click("useAnalogPll");
    EXPECT_EQ(Chip(0x07), 0x37000000u);
    EXPECT_EQ(Text("sysClk"), "80.000000MHz");
    Click("enableAnalogPll");
    EXPECT_EQ(Text("sysClk"), "20.000000MHz");
}

TEST_F(DlfFormTest, PageSwitchShowsTheShadowAgain) {
    Type("lowerLimitHex", "1234", false);
    Open(kPllPage);
    EXPECT_EQ(Text("lowerLimitHex"), "0x00000000");
    Preset(0x0d, 0x80000000);
    EXPECT_EQ(Text("lowerLimitHex"), "0x80000000");
}

} // namespace
} // namespace tarsion::test
