#include "PageBench.h"

#include <QCheckBox>
#include <QComboBox>

namespace tarsion::test {
namespace {

constexpr int kNcoPage = 0;

class ControlFormTest : public PageTest {
protected:
    void SetUp() override { Open(kNcoPage); }
};

TEST_F(ControlFormTest, CarrierFrequencyBecomesTheNcoWordAt80MHz) {
    Type("carrierFrequency", "10M");
    EXPECT_EQ(Chip(0x0a), 0x20000000u);
    EXPECT_EQ(Text("carrierFrequency"), "10.000000MHz");
    EXPECT_EQ(Text("carrierHex"), "0x20000000");
    EXPECT_EQ(Logged("Poke 0a 20000000 "), 1u);
    Type("carrierFrequency", "-10 MHz");
    EXPECT_EQ(Chip(0x0a), 0xe0000001u);
    EXPECT_EQ(Text("carrierFrequency"), "-10.000000MHz");
    Type("carrierFrequency", "-1");
    EXPECT_EQ(Chip(0x0a), 0xffffffcbu);
    // Half SysClk is the largest word, which reads back as the negative end.
    Type("carrierFrequency", "50M");
    EXPECT_EQ(Chip(0x0a), 0x80000000u);
    EXPECT_EQ(Text("carrierFrequency"), "-40.000000MHz");
}

TEST_F(ControlFormTest, EnterTwiceAndFocusLossWriteOnce) {
    Type("carrierFrequency", "1M");
    QTest::keyClick(Edit("carrierFrequency"), Qt::Key_Return);
    LoseFocus("carrierFrequency");
    EXPECT_EQ(Chip(0x0a), 0x03333333u);
    EXPECT_EQ(Logged("Poke 0a"), 1u);
}

TEST_F(ControlFormTest, SymbolRateWithinLimitsIsWrittenWithoutAQuestion) {
    Type("symbolFrequency", "30M"); // below the 40 MHz maximum, above SysClk/4
    EXPECT_EQ(Chip(0x0b), 0x40000000u);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    Preset(0x01, 0x8); // shaping filter bypassed: no maximum
    Type("symbolFrequency", "25M");
    EXPECT_EQ(Chip(0x0b), 0x40000000u);
    Type("symbolFrequency", "-5M");
    EXPECT_EQ(Chip(0x0b), 0u);
}

TEST_F(ControlFormTest, SymbolRateAboveMaximumAsks) {
    AnswerNextDialog("Set to Maximum allowed");
    Type("symbolFrequency", "50M");
    EXPECT_EQ(dialogTitle_, "Symbol Rate exceeds maximum allowed ");
    // The text stays; the number to act on follows.
    EXPECT_EQ(dialogText_, "Symbol Rate exceeds maximum allowed value for this configuration\n"
                           "The maximum is 40.000000MHz.");
    EXPECT_EQ(Chip(0x0b), 0x80000000u);

    AnswerNextDialog("Ignore Maximum Limit");
    Type("symbolFrequency", "50M");
    EXPECT_EQ(Chip(0x0b), 0x40000000u);

    Preset(0x0b, 0);
    AnswerNextDialog(QString()); // closing ignores the limit too
    Type("symbolFrequency", "45M");
    EXPECT_EQ(Chip(0x0b), 0x40000000u);
}

TEST_F(ControlFormTest, SteppingStopsAtTheRangeEnds) {
    Preset(0x01, 0x1c0); // data bit width 8: maximum 5 MHz
    Type("symbolFrequency", "4.5M");
    EXPECT_EQ(Chip(0x0b), 0x0e666666u);
    Arrow("symbolFrequency", true);
    EXPECT_EQ(Chip(0x0b), 0x10000000u);
    EXPECT_EQ(Text("symbolFrequency"), "5.000000MHz");

    Type("carrierFrequency", "39.5M");
    Arrow("carrierFrequency", true);
    EXPECT_EQ(Chip(0x0a), 0x80000000u);
    // The step starts from the text shown: -40 MHz up one step.
    Key("carrierFrequency", Qt::Key_Up);
    EXPECT_EQ(Chip(0x0a), 0x83333335u);
    Type("carrierFrequency", "10M");
    Key("carrierFrequency", Qt::Key_Down);
    EXPECT_EQ(Chip(0x0a), 0x1ccccccdu);
}

TEST_F(ControlFormTest, StepSizeEditsChangeTheSettingOnly) {
    Type("carrierStep", "500k");
    EXPECT_DOUBLE_EQ(doc_.steps.carrierFrequencyStep, 500e3);
    EXPECT_EQ(Text("carrierStep"), "500.000000kHz");
    Type("symbolStep", "2m");
    EXPECT_DOUBLE_EQ(doc_.steps.symbolFrequencyStep, 2e6);
    EXPECT_EQ(Logged("Poke"), 0u);
    Type("carrierFrequency", "10M");
    Arrow("carrierFrequency", false);
    EXPECT_EQ(Text("carrierFrequency"), "9.500000MHz");
}

TEST_F(ControlFormTest, ClockPinChangesFrequenciesButNotWords) {
    Type("carrierFrequency", "10M");
    Type("symbolFrequency", "20M");
    Type("clockPin", "40M");
    EXPECT_DOUBLE_EQ(doc_.Shadow().ClockPin(), 40e6);
    EXPECT_EQ(Text("sysClk"), "40.000000MHz");
    EXPECT_EQ(Text("carrierFrequency"), "5.000000MHz");
    EXPECT_EQ(Text("symbolFrequency"), "10.000000MHz");
    EXPECT_EQ(Chip(0x0a), 0x20000000u);
    EXPECT_EQ(Chip(0x0b), 0x40000000u);
}

TEST_F(ControlFormTest, SysClkFollowsTheAnalogPllRegister) {
    Type("clockPin", "20M");
    Type("carrierFrequency", "10M"); // word 0x80000000 against 20 MHz
    // Both analog PLL bits, VCO divider 8 (field 3), clock divider 2 (field 1): 80 MHz.
    ASSERT_TRUE(ops_->Poke(0x07, 0x37000000));
    CatchUp();
    EXPECT_EQ(Text("sysClk"), "80.000000MHz");
    EXPECT_EQ(Text("carrierFrequency"), "-40.000000MHz");
    ASSERT_TRUE(ops_->ResetBits(0x07, 0x1000000));
    CatchUp();
    EXPECT_EQ(Text("sysClk"), "20.000000MHz");
    EXPECT_EQ(Chip(0x0a), 0x80000000u);
}

// A clock pin whose SysClk could be infinite (the analog PLL multiplies by up to 2^7) is refused;
// the largest below that still shows.
TEST_F(ControlFormTest, AClockPinThatWouldGiveAnInfiniteSysClkIsRefused) {
    ASSERT_TRUE(ops_->Poke(0x07, 0x73000000)); // both PLL bits, VCO divider 128, clock divider 1
    CatchUp();
    Type("clockPin", "1e306");
    EXPECT_EQ(doc_.Shadow().ClockPin(), 1e306);
    for (const char* text : {"1e308", "1e307", "2e306"}) {
        Type("clockPin", text);
        EXPECT_EQ(doc_.Shadow().ClockPin(), 1e306) << text;
        EXPECT_FALSE(Text("sysClk").contains(QStringLiteral("inf"))) << text;
    }
}

TEST_F(ControlFormTest, WithoutClockFrequenciesReadZeroAndNothingIsWritten) {
    Preset(0x0a, 0x20000000);
    Preset(0x0b, 0x40000000);
    Type("clockPin", "0");
    EXPECT_EQ(Text("carrierFrequency"), "0.000000Hz");
    EXPECT_EQ(Text("symbolFrequency"), "0.000000Hz");
    Type("carrierFrequency", "10M");
    Type("symbolFrequency", "10M");
    Arrow("carrierFrequency", true);
    EXPECT_EQ(Logged("Poke"), 0u);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_EQ(Text("carrierFrequency"), "0.000000Hz");
    EXPECT_EQ(Chip(0x0a), 0x20000000u);
}

TEST_F(ControlFormTest, EightBitRegistersKeepTheLowByte) {
    Type("interruptEnableHex", "7f");
    EXPECT_EQ(Chip(0x09), 0x7fu);
    Type("interruptEnableHex", "1ff");
    EXPECT_EQ(Chip(0x09), 0xffu);
    EXPECT_EQ(Text("interruptEnableHex"), "0x7f"); // bits 0..6 shown
    Type("memoryControlHex", "1a5");
    EXPECT_EQ(Chip(0x00), 0xa5u);
    Type("memoryControlHex", "0x1a5"); // the fifth character does not fit
    EXPECT_EQ(Chip(0x00), 0x1au);
}

TEST_F(ControlFormTest, MemoryControlListsAndBoxes) {
    auto* access = Find<QComboBox>("memoryAccessSelect");
    access->setCurrentIndex(4);
    emit access->activated(4);
    EXPECT_EQ(Chip(0x00), 0x10u);
    Click("autoIncrement");
    EXPECT_EQ(Chip(0x00), 0x50u);
    auto* word = Find<QComboBox>("wordSelect");
    word->setCurrentIndex(3);
    emit word->activated(3);
    EXPECT_EQ(Chip(0x00), 0x53u);
    Preset(0x00, 0x18); // access field 6: no item
    EXPECT_EQ(access->currentIndex(), -1);
}

TEST_F(ControlFormTest, StatusIsReadAndClearedOnRequest) {
    board_->SetChipRegister(0x08, 0x15);
    EXPECT_FALSE(Find<QCheckBox>("statusResetDone")->isChecked());
    Click("updateStatus");
    EXPECT_TRUE(Find<QCheckBox>("statusResetDone")->isChecked());
    EXPECT_TRUE(Find<QCheckBox>("statusFifoOverflow")->isChecked());
    EXPECT_EQ(Text("interruptStatusHex"), "0x15");
    Click("clearStatus");
    EXPECT_EQ(Text("interruptStatusHex"), "0x00");
    const auto poke = log_.text.find("Poke 08 000000ff ");
    ASSERT_NE(poke, std::string::npos);
    EXPECT_NE(log_.text.find("Peek 08", poke), std::string::npos);
}

TEST_F(ControlFormTest, InterruptEnableBoxOnAbsentBoardReturnsToItsState) {
    board_->InjectFault(VirtualBoard::Fault::NotConnected);
    Click("enableFifoFull");
    EXPECT_FALSE(Find<QCheckBox>("enableFifoFull")->isChecked());
    EXPECT_NE(log_.text.find("Couldn't Set Bits Specified with the Mask 00000040"), std::string::npos);
}

} // namespace
} // namespace tarsion::test
