#include "PageBench.h"

#include <QCheckBox>
#include <QComboBox>
#include <QRadioButton>
#include <QWheelEvent>

namespace tarsion::test {
namespace {

constexpr int kFifoPage = 1;

class FifoFormTest : public PageTest {
protected:
    void SetUp() override { Open(kFifoPage); }
    bool Ticked(const char* name) { return Find<QCheckBox>(name)->isChecked(); }
};

TEST_F(FifoFormTest, ClearRegisterShowsOnlyTheActiveLowBoxTicked) {
    for (auto* box : page_->findChildren<QCheckBox*>())
        EXPECT_EQ(box->isChecked(), box->objectName() == "gateFifoWrites") << box->objectName().toStdString();
    EXPECT_TRUE(Find<QRadioButton>("emptyPin")->isChecked());
    EXPECT_EQ(Find<QComboBox>("fifoThresholdMode")->currentText(), "Disabled ");
    EXPECT_EQ(Text("fifoErrorTerm"), "0x00");
    EXPECT_EQ(Text("fifoControlHex"), "0x00000000");
    EXPECT_EQ(Edit("fifoControlHex")->maxLength(), 10);
    EXPECT_EQ(Edit("fifoUpperThreshold")->maxLength(), 4);
}

TEST_F(FifoFormTest, ShowsEachFieldOfTheRegisters) {
    Preset(0x02, 0xa5290081);
    Preset(0x03, 0x3c000000);
    Preset(0x04, 0xc3000000);
    EXPECT_TRUE(Ticked("qDacEnable"));
    EXPECT_TRUE(Ticked("enableIout"));
    EXPECT_FALSE(Ticked("iDacEnable"));
    EXPECT_TRUE(Ticked("zeroDataTxInactive"));                          // bit 19
    EXPECT_TRUE(Find<QRadioButton>("underflowPin")->isChecked());       // bit 16 = 1
    EXPECT_EQ(Find<QComboBox>("fifoThresholdMode")->currentIndex(), 2); // bits 21..20 = 2
    EXPECT_EQ(Text("fifoErrorTerm"), "0xa5");
    EXPECT_EQ(Text("fifoControlHex"), "0xa5290081");
    EXPECT_EQ(Text("fifoUpperThreshold"), "0x3c");
    EXPECT_EQ(Text("fifoLowerThreshold"), "0xc3");
}

TEST_F(FifoFormTest, CheckBoxesSetAndClearTheirBits) {
    Click("enableInterruptPin");
    EXPECT_EQ(Chip(0x02), 0x100u);
    EXPECT_TRUE(Ticked("enableInterruptPin"));
    Click("enableInterruptPin");
    EXPECT_EQ(Chip(0x02), 0u);
    EXPECT_FALSE(Ticked("enableInterruptPin"));
    // Active low: ticking clears bit 18, and the tick stays after the refresh.
    Preset(0x02, 0x40000);
    EXPECT_FALSE(Ticked("gateFifoWrites"));
    Click("gateFifoWrites");
    EXPECT_EQ(Chip(0x02), 0u);
    EXPECT_TRUE(Ticked("gateFifoWrites"));
    EXPECT_NE(log_.text.find("ResetBits 02 00040000 "), std::string::npos);
}

TEST_F(FifoFormTest, UnderflowPinChoiceAgreesWithBit16InBothDirections) {
    Click("underflowPin");
    EXPECT_EQ(Chip(0x02), 0x10000u);
    EXPECT_TRUE(Find<QRadioButton>("underflowPin")->isChecked());
    Click("emptyPin");
    EXPECT_EQ(Chip(0x02), 0u);
    EXPECT_TRUE(Find<QRadioButton>("emptyPin")->isChecked());
}

TEST_F(FifoFormTest, ThresholdModeWritesOnlyAChangedIndex) {
    auto* list = Find<QComboBox>("fifoThresholdMode");
    emit list->activated(0);
    EXPECT_EQ(Logged("ModifyBits"), 0u);
    list->setCurrentIndex(3);
    emit list->activated(3);
    EXPECT_EQ(Chip(0x02), 0x300000u);
    EXPECT_EQ(Logged("ModifyBits 02 00300000 00300000 "), 1u);
}

TEST_F(FifoFormTest, WheelOverAListScrollsInsteadOfWriting) {
    auto* list = Find<QComboBox>("fifoThresholdMode");
    QWheelEvent wheel(QPointF(5, 5), QPointF(5, 5), QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(list, &wheel);
    EXPECT_EQ(list->currentIndex(), 0);
    EXPECT_EQ(Logged("ModifyBits"), 0u);
}

TEST_F(FifoFormTest, TopByteEditsWriteTheLowEightBitsOfTheEntry) {
    Preset(0x03, 0x00123456);
    Type("fifoUpperThreshold", "1ff");
    EXPECT_EQ(Chip(0x03), 0xff123456u);
    EXPECT_EQ(Text("fifoUpperThreshold"), "0xff");
    Type("fifoLowerThreshold", "0x7");
    EXPECT_EQ(Chip(0x04), 0x07000000u);
    Type("fifoErrorTerm", "12zz");
    EXPECT_EQ(Chip(0x02), 0x12000000u);
}

TEST_F(FifoFormTest, EditWritesOnceAndOnlyWhenItsTextChanged) {
    LoseFocus("fifoControlHex");
    QTest::keyClick(Edit("fifoControlHex"), Qt::Key_Return);
    EXPECT_EQ(Logged("Poke"), 0u);

    Type("fifoControlHex", "0x81");
    QTest::keyClick(Edit("fifoControlHex"), Qt::Key_Return);
    LoseFocus("fifoControlHex");
    EXPECT_EQ(Chip(0x02), 0x81u);
    EXPECT_EQ(Logged("Poke 02 00000081 "), 1u);
    EXPECT_EQ(Logged("Poke"), 1u);
}

TEST_F(FifoFormTest, FocusLossCommitsTypedText) {
    Type("fifoControlHex", "3", false);
    LoseFocus("fifoControlHex");
    EXPECT_EQ(Chip(0x02), 3u);
}

TEST_F(FifoFormTest, TextWithoutNumberOrWiderThan32BitsWritesNothing) {
    Preset(0x02, 0x55);
    Type("fifoControlHex", "zz");
    EXPECT_EQ(Text("fifoControlHex"), "0x00000055");
    EXPECT_TRUE(prompt_.messages.empty());
    // Too wide: refused with a message, the typed text kept for correction.
    Type("fifoControlHex", "1234567890");
    EXPECT_EQ(Text("fifoControlHex"), "1234567890");
    EXPECT_EQ(prompt_.messages.size(), 1u);
    EXPECT_EQ(Chip(0x02), 0x55u);
    EXPECT_EQ(Logged("Poke"), 0u);
}

TEST_F(FifoFormTest, AnyRegisterStoreDiscardsUncommittedTyping) {
    Type("fifoUpperThreshold", "44", false);
    ASSERT_TRUE(ops_->Poke(0x03, 0x11000000));
    CatchUp();
    EXPECT_EQ(Text("fifoUpperThreshold"), "0x11");
    // The discarded text is not committed later either.
    LoseFocus("fifoUpperThreshold");
    EXPECT_EQ(Chip(0x03), 0x11000000u);
}

TEST_F(FifoFormTest, ClickOnAbsentBoardIsUndoneAndLogged) {
    board_->InjectFault(VirtualBoard::Fault::NotConnected);
    Click("iDacEnable");
    EXPECT_FALSE(Ticked("iDacEnable"));
    EXPECT_NE(log_.text.find("Couldn't Set Bits Specified with the Mask 00000002"), std::string::npos);
    Click("underflowPin");
    EXPECT_TRUE(Find<QRadioButton>("emptyPin")->isChecked());
    Type("fifoErrorTerm", "5");
    EXPECT_EQ(Text("fifoErrorTerm"), "0x00");
    EXPECT_EQ(board_->ChipRegister(0x02), 0u);
}

} // namespace
} // namespace tarsion::test

namespace tarsion::test {
namespace {

// Real keyboard focus on a shown page rather than synthetic focus events.
class FifoFormFocusTest : public FifoFormTest {
protected:
    void SetUp() override {
        FifoFormTest::SetUp();
        page_->show();
        QApplication::setActiveWindow(page_.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(page_.get()));
    }
};

TEST_F(FifoFormFocusTest, MovingTheFocusCommitsAndRemovingThePageIsSafe) {
    Edit("fifoUpperThreshold")->setFocus();
    Type("fifoUpperThreshold", "5a", false);
    Edit("fifoLowerThreshold")->setFocus();
    EXPECT_EQ(Chip(0x03), 0x5a000000u);

    // Clearing the focus before the page goes commits what was typed.
    Type("fifoLowerThreshold", "3c", false);
    QApplication::focusWidget()->clearFocus();
    EXPECT_EQ(Chip(0x04), 0x3c000000u);

    // Destroyed with typing still in a focused edit: nothing is written, nothing breaks.
    Edit("fifoErrorTerm")->setFocus();
    Type("fifoErrorTerm", "77", false);
    page_.reset();
    EXPECT_EQ(Chip(0x02), 0u);
    EXPECT_EQ(Logged("ModifyBits 02"), 0u);
}

} // namespace
} // namespace tarsion::test
