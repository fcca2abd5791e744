#include "pages/FifoForm.h"

#include "board/ChipRegisters.h"
#include "pages/PageLayout.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QRadioButton>
#include <QVBoxLayout>

#include <iterator>

namespace tarsion {

namespace {

constexpr int kPage = 1;

// Register 0x02's check boxes in the order the group shows them.
constexpr const char* kFifoBits[] = {
    "qDacEnable",
    "iDacEnable",
    "noFifoReset",
    "invertSysClk2",
    "iStrobeActiveHigh",
    "txEnableActiveLow",
    "enableQout",
    "enableIout",
    "enableInterruptPin",
    "enableSysClk2Output",
    "enableLockDetectOutput",
    "enableFifoEmptyOutput",
    "enableFifoOverflowOutput",
    "enableFifoFullOutput",
    "enable2xSymbolClockOutput",
    "symbolClkActiveHigh",
    "gateFifoReads",
    "gateFifoWrites",
    "zeroDataTxInactive",
    "zeroFifoOutput",
    "stopWritingWhenFull",
};

constexpr std::uint32_t kTopByte = 0xff000000;

HexEntry TopByte(std::uint8_t reg) {
    return HexEntry{reg, kTopByte, 24, 2, 4, HexEntry::Write::Field};
}

} // namespace

CFifoForm::CFifoForm(PageContext context, QWidget* parent) : CRegisterPage(context, parent) {
    using namespace chipreg;
    QVBoxLayout* left = AddColumn();
    QVBoxLayout* right = AddColumn();

    QGroupBox* control = MakeGroup(QStringLiteral("Fifo/I0 Control Register (0x02)"),
                                   AddHexEdit("fifoControlHex", {kFifoControl}));
    QGridLayout* grid = GroupGrid(control);
    constexpr int kRows = (std::size(kFifoBits) + 1) / 2;
    for (std::size_t i = 0; i < std::size(kFifoBits); ++i) {
        QCheckBox* box = AddBitBox(PageField(kPage, kFifoBits[i]));
        grid->addWidget(box, static_cast<int>(i) % kRows, static_cast<int>(i) / kRows);
    }

    const RegisterField& pinField = PageField(kPage, "underflowPin");
    auto* pin = new QGroupBox(QString::fromUtf8(pinField.label));
    auto* pinRow = new QHBoxLayout(pin);
    auto* underflow = new QRadioButton(QStringLiteral("UnderFlow"));
    auto* empty = new QRadioButton(QStringLiteral("Empty"));
    underflow->setObjectName(QStringLiteral("underflowPin"));
    empty->setObjectName(QStringLiteral("emptyPin"));
    pinRow->addWidget(underflow);
    pinRow->addWidget(empty);
    AddBitChoice(underflow, empty, pinField.reg, pinField.mask);
    grid->addWidget(pin, kRows, 0, 1, 2);

    auto* lower = new QGridLayout;
    const RegisterField& thresholdMode = PageField(kPage, "fifoThresholdMode");
    AddLabelled(lower, QString::fromUtf8(thresholdMode.label), AddList(thresholdMode));
    AddLabelled(lower, QStringLiteral("Fifo Frequency Error Term"),
                AddHexEdit("fifoErrorTerm", TopByte(kFifoControl)));
    grid->addLayout(lower, kRows + 1, 0, 1, 2);
    left->addWidget(control);

    QGroupBox* iChannel = MakeGroup(QStringLiteral("I Channel Control Register (0x03)"));
    AddLabelled(GroupGrid(iChannel), QStringLiteral("FifoUpperThreshold"),
                AddHexEdit("fifoUpperThreshold", TopByte(kIChannelControl)));
    QGroupBox* qChannel = MakeGroup(QStringLiteral("Q Channel Control Register (0x04)"));
    AddLabelled(GroupGrid(qChannel), QStringLiteral("FifoLowerThreshold"),
                AddHexEdit("fifoLowerThreshold", TopByte(kQChannelControl)));
    right->addWidget(iChannel);
    right->addWidget(qChannel);
    FinishColumns();
}

} // namespace tarsion
