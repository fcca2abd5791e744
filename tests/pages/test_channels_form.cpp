#include "PageBench.h"

#include <QComboBox>

namespace tarsion::test {
namespace {

constexpr int kDataFlowPage = 2;

class ChannelsFormTest : public PageTest {
protected:
    void SetUp() override { Open(kDataFlowPage); }
    void Select(const char* name, int index) {
        auto* list = Find<QComboBox>(name);
        list->setCurrentIndex(index);
        emit list->activated(index);
    }
};

TEST_F(ChannelsFormTest, ScaleAndOffsetEntriesBecomeTenBitFields) {
    Preset(0x03, 0xab000003); // threshold and rounding stay
    Type("iScale", "1.25");
    EXPECT_EQ(Chip(0x03), 0xab000003u | (1023u << 14));
    Type("iScale", "0.9");
    EXPECT_EQ(Chip(0x03), 0xab000003u);
    Type("iScale", "1.1");
    EXPECT_EQ(Chip(0x03), 0xab000003u | (409u << 14));
    EXPECT_EQ(Text("iScale"), "1.09985");
    Type("qOffset", "0.1");
    EXPECT_EQ(Chip(0x04), 409u << 4);
    Type("qOffset", "-0.1");
    EXPECT_EQ(Chip(0x04), 0u);
    Type("qOffset", "x");
    EXPECT_EQ(Text("qOffset"), "0");
    EXPECT_EQ(Logged("ModifyBits 04"), 2u);
}

TEST_F(ChannelsFormTest, ScaleAndOffsetStepping) {
    Arrow("iScale", true);
    EXPECT_EQ((Chip(0x03) >> 14) & 0x3ff, 1u);
    Arrow("iScale", false);
    Arrow("iScale", false); // already at 1.0
    EXPECT_EQ(Chip(0x03), 0u);
    Preset(0x04, 1023u << 4);
    Key("qOffset", Qt::Key_Up);
    EXPECT_EQ(Chip(0x04), 1023u << 4);
    EXPECT_EQ(Logged("ModifyBits 04 00003ff0 00003ff0 "), 1u);
    Key("qOffset", Qt::Key_Down);
    EXPECT_EQ(Chip(0x04), 1022u << 4);
}

TEST_F(ChannelsFormTest, GainIsWrittenMantissaFirstThenExponent) {
    Type("postShapingGain", "3");
    EXPECT_EQ(Chip(0x05), (32u << 26) | (12u << 22));
    const auto mantissa = log_.text.find("ModifyBits 05 80000000 fc000000 ");
    ASSERT_NE(mantissa, std::string::npos);
    EXPECT_NE(log_.text.find("ModifyBits 05 03000000 03c00000 ", mantissa), std::string::npos);
    EXPECT_EQ(Text("postShapingGain"), "3");
    Type("postShapingGain", "100");
    EXPECT_EQ(Chip(0x05), (63u << 26) | (15u << 22));
    EXPECT_EQ(Text("postShapingGain"), "31.75");
    Type("postShapingGain", "0");
    EXPECT_EQ(Chip(0x05), 0u);
    EXPECT_EQ(Text("postShapingGain"), "0.000488281");
}

TEST_F(ChannelsFormTest, GainSteppingKeepsTheDividerBitsAndStopsAtTheTop) {
    Preset(0x05, (63u << 26) | (15u << 22) | 0x1234);
    Arrow("postShapingGain", true);
    EXPECT_EQ(Chip(0x05), (63u << 26) | (15u << 22) | 0x1234);
    EXPECT_EQ(Logged("ModifyBits 05"), 2u);
    Preset(0x05, 11u << 22); // 1.0; one step of the smallest size is finer than a code
    Arrow("postShapingGain", true);
    EXPECT_EQ(Chip(0x05), (1u << 26) | (11u << 22));
    doc_.steps.postShappingFilterStep = 0;
    Arrow("postShapingGain", true);
    EXPECT_EQ(Chip(0x05), (1u << 26) | (11u << 22));
    EXPECT_EQ(Logged("ModifyBits 05"), 4u);
}

TEST_F(ChannelsFormTest, FailedMantissaWriteSkipsTheExponent) {
    board_->InjectFault(VirtualBoard::Fault::NotConnected);
    Type("postShapingGain", "3");
    EXPECT_EQ(Logged("ModifyBits 05"), 1u);
    EXPECT_EQ(Text("postShapingGain"), "0.000488281");
}

TEST_F(ChannelsFormTest, InterpolationListFollowsTheDecimateBit) {
    Preset(0x01, 0x800);
    EXPECT_EQ(Find<QComboBox>("shapingInterpolation")->currentIndex(), 3);
    Select("shapingInterpolation", 0); // x2: decimate by 2, field 0
    EXPECT_EQ(Chip(0x01), 0x4u);
    EXPECT_EQ(Find<QComboBox>("shapingInterpolation")->currentIndex(), 0);
    Select("shapingInterpolation", 3); // x 16: field 2, no decimation
    EXPECT_EQ(Chip(0x01), 0x800u);
    Preset(0x01, 0x804);
    EXPECT_EQ(Find<QComboBox>("shapingInterpolation")->currentIndex(), 2);
    Preset(0x01, 0xc00);
    EXPECT_EQ(Find<QComboBox>("shapingInterpolation")->currentIndex(), -1);
}

TEST_F(ChannelsFormTest, FactorHalfIsRangeCheckedOnCapture) {
    Preset(0x01, 0x12340000);
    EXPECT_EQ(Text("factorHalf"), QString::number(0x1234 + 1));
    Type("factorHalf", "1");
    EXPECT_EQ(Chip(0x01), 0u);
    Type("factorHalf", "65536");
    EXPECT_EQ(Chip(0x01), 0xffff0000u);
    Type("factorHalf", "65537");
    Type("factorHalf", "ten");
    ASSERT_EQ(prompt_.messages.size(), 2u);
    EXPECT_EQ(prompt_.messages[0], "Please enter an integer between 1 and 65536.");
    EXPECT_EQ(prompt_.messages[1], "Please enter an integer.");
    EXPECT_EQ(Text("factorHalf"), "ten");
    EXPECT_EQ(Chip(0x01), 0xffff0000u);
    EXPECT_EQ(Logged("ModifyBits 01"), 2u);
}

TEST_F(ChannelsFormTest, DeviceConfigFieldsAndBits) {
    Type("dataBitWidth", "7");
    EXPECT_EQ(Chip(0x01), 0x1c0u);
    EXPECT_EQ(Text("dataBitWidth"), "0x7");
    Click("twoBitMode");
    Click("shapingBypass");
    EXPECT_EQ(Chip(0x01), 0x11c8u);
    Click("shapingBypass");
    EXPECT_EQ(Chip(0x01), 0x11c0u);
}

TEST_F(ChannelsFormTest, StepEditsAreClampedIntoTheSettings) {
    Type("iScaleStep", "0.0001");
    EXPECT_DOUBLE_EQ(doc_.steps.iScaleFactorStep, 0.000244140625);
    EXPECT_EQ(Text("iScaleStep"), "0.000244141");
    Type("qOffsetStep", "0");
    EXPECT_DOUBLE_EQ(doc_.steps.qDcOffsetStep, 0.0);
    Type("qOffsetStep", "-1");
    EXPECT_DOUBLE_EQ(doc_.steps.qDcOffsetStep, 0.000244140625);
    Type("postShapingGainStep", "40");
    EXPECT_DOUBLE_EQ(doc_.steps.postShappingFilterStep, 31.75);
    EXPECT_EQ(Logged("Poke"), 0u);
}

TEST_F(ChannelsFormTest, DcOffsetWiderThanTheRegisterIsRefused) {
    Type("dcOffsetHex", "0x12345");
    EXPECT_EQ(Chip(0x11), 0x12345u);
    Type("dcOffsetHex", "80000");
    EXPECT_EQ(Chip(0x11), 0x12345u);
    EXPECT_EQ(Text("dcOffsetHex"), "0x12345");
}

} // namespace
} // namespace tarsion::test
