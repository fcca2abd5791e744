#include "FifoForm.h"

#include "PageLayout.h"
#include "board/ChipRegisters.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QRadioButton>
#include <QVBoxLayout>

#include <array>

namespace tarsion {

namespace {

struct FifoBit {
    const char* name;
    const char* text;
    int bit;
    bool activeLow;
};

// Register 0x02 in the order the group shows it; "Gate Fifo Writes With TxEnable" is active low.
constexpr std::array<FifoBit, 21> kFifoBits{{
    {"qDacEnable", "QDac Enable", 0, false},
    {"iDacEnable", "IDac Enable", 1, false},
    {"noFifoReset", "No Fifo Reset on active TxEnable", 2, false},
    {"invertSysClk2", "Invert SysClk/2", 3, false},
    {"iStrobeActiveHigh", "iStrobe Active High", 4, false},
    {"txEnableActiveLow", "TxEnable Active Low", 5, false},
    {"enableQout", "Enable Qout Bus", 6, false},
    {"enableIout", "Enable Iout Bus", 7, false},
    {"enableInterruptPin", "Enable Interrupt Pin", 8, false},
    {"enableSysClk2Output", "Enable SysClk/2 Output", 9, false},
    {"enableLockDetectOutput", "Enable LockDetect Output", 10, false},
    {"enableFifoEmptyOutput", "Enable Fifo Empty/Under Output", 11, false},
    {"enableFifoOverflowOutput", "Enable Fifo Overflow Output", 12, false},
    {"enableFifoFullOutput", "Enable FifoFull Output", 13, false},
    {"enable2xSymbolClockOutput", "Enable 2xSymbolClock Output", 14, false},
    {"symbolClkActiveHigh", "2xSymbolClk pulse Active High", 15, false},
    {"gateFifoReads", "Gate Fifo Reads With TxEnable", 17, false},
    {"gateFifoWrites", "Gate Fifo Writes With TxEnable", 18, true},
    {"zeroDataTxInactive", "Zero Data ifTxEnable is inactive", 19, false},
    {"zeroFifoOutput", "Zero Fifo Output When Empty", 22, false},
    {"stopWritingWhenFull", "Stop Writing when Fifo Full", 23, false},
}};

constexpr std::uint32_t kUnderflowPinBit = 1u << 16;
constexpr std::uint32_t kThresholdModeMask = 0x00300000;
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
    constexpr int kRows = (kFifoBits.size() + 1) / 2;
    for (std::size_t i = 0; i < kFifoBits.size(); ++i) {
        const FifoBit& bit = kFifoBits[i];
        QCheckBox* box =
            AddBitBox(bit.name, QString::fromLatin1(bit.text), kFifoControl, 1u << bit.bit, bit.activeLow);
        grid->addWidget(box, static_cast<int>(i) % kRows, static_cast<int>(i) / kRows);
    }

    auto* pin = new QGroupBox(QStringLiteral("UnderFlow / Empty Pin function"));
    auto* pinRow = new QHBoxLayout(pin);
    auto* underflow = new QRadioButton(QStringLiteral("UnderFlow"));
    auto* empty = new QRadioButton(QStringLiteral("Empty"));
    underflow->setObjectName(QStringLiteral("underflowPin"));
    empty->setObjectName(QStringLiteral("emptyPin"));
    pinRow->addWidget(underflow);
    pinRow->addWidget(empty);
    AddBitChoice(underflow, empty, kFifoControl, kUnderflowPinBit);
    grid->addWidget(pin, kRows, 0, 1, 2);

    auto* lower = new QGridLayout;
    AddLabelled(lower, QStringLiteral("Fifo Threshold Mode"),
                AddList("fifoThresholdMode",
                        {QStringLiteral("Disabled "), QStringLiteral("No Action"),
                         QStringLiteral("Fifo Freq Error Term"), QStringLiteral("Loop Filter to Limit")},
                        kFifoControl, PlainListEncoding(kThresholdModeMask, 20, 4)));
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
