#include "pages/DlfForm.h"

#include "board/ChipRegisters.h"
#include "pages/PageLayout.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include <array>

namespace tarsion {

namespace {

constexpr int kPage = 3;

struct GainRow {
    const char* name;
    const char* label;
    int mantissaShift;
    int shiftShift;
    double StepSettings::*step;
};

// Register 0x06: mantissa and shift of each loop filter gain.
constexpr std::array<GainRow, 3> kGainRows{{
    {"lead", "Lead", 16, 1, &StepSettings::loopFilterStepLead},
    {"lag", "Lag", 24, 11, &StepSettings::loopFilterStepLag},
    {"freq", "Freq", 20, 6, &StepSettings::loopFilterStepFreq},
}};

} // namespace

CDlfForm::CDlfForm(PageContext context, QWidget* parent) : CRegisterPage(context, parent) {
    QVBoxLayout* left = AddColumn();
    left->addWidget(BuildLoopFilter());
    left->addWidget(BuildDividers());
    AddColumn()->addWidget(BuildLockDetect());
    FinishColumns();
}

QGroupBox* CDlfForm::BuildLoopFilter() {
    using namespace chipreg;
    auto* filter = new QGroupBox(QStringLiteral("Digital Loop Filter"));
    auto* filterGrid = new QGridLayout(filter);

    QGroupBox* control = MakeGroup(QStringLiteral("(0x06)"), AddHexEdit("dlfHex", {.reg = kDlfControl}));
    QGridLayout* grid = GroupGrid(control);
    int row = 0;
    for (const GainRow& gain : kGainRows) {
        QLineEdit* value = AddGainEdit(gain.name, {.reg = kDlfControl,
                                                   .mantissaShift = gain.mantissaShift,
                                                   .exponentShift = gain.shiftShift,
                                                   .format = pageconv::kLoopFilterGain,
                                                   .step = gain.step,
                                                   .sixDecimals = true});
        const std::string stepName = std::string(gain.name) + "Step";
        grid->addWidget(new QLabel(QString::fromLatin1(gain.label)), row, 0);
        grid->addWidget(new QLabel(QStringLiteral("Value")), row, 1);
        grid->addWidget(value, row, 2);
        grid->addWidget(AddArrows(value, true), row, 3);
        grid->addWidget(new QLabel(QStringLiteral("Step")), row, 4);
        grid->addWidget(AddStepSettingEdit(stepName.c_str(), gain.step, pageconv::kLoopFilterStepRange), row,
                        5);
        ++row;
    }
    for (const char* name :
         {"disableLagAccumulator", "disableOffsetFrequency", "invertFrequencyError", "invertPhaseError"})
        grid->addWidget(AddBitBox(PageField(kPage, name)), row++, 0, 1, -1);
    filterGrid->addWidget(control, 0, 0, 1, 2);

    QGroupBox* upper = MakeGroup(QStringLiteral("Upper Limit (0x0c)"));
    GroupGrid(upper)->addWidget(AddHexEdit("upperLimitHex", {.reg = kDlfUpperLimit}), 0, 0);
    QGroupBox* lower = MakeGroup(QStringLiteral("Lower Limit (0x0d)"));
    GroupGrid(lower)->addWidget(AddHexEdit("lowerLimitHex", {.reg = kDlfLowerLimit}), 0, 0);
    filterGrid->addWidget(upper, 1, 0);
    filterGrid->addWidget(lower, 1, 1);
    return filter;
}

QGroupBox* CDlfForm::BuildDividers() {
    using namespace chipreg;
    QGroupBox* dividers = MakeGroup(QStringLiteral("(0x05)"));
    QGridLayout* grid = GroupGrid(dividers);
    const RegisterField& refClk = PageField(kPage, "refClkDivider");
    AddLabelled(grid, QString::fromUtf8(refClk.label), AddIntegerEdit(refClk, 0, 255));
    const RegisterField& nco = PageField(kPage, "ncoDivider");
    AddLabelled(grid, QString::fromUtf8(nco.label), AddIntegerEdit(nco, 0, 16383));
    return dividers;
}

QGroupBox* CDlfForm::BuildLockDetect() {
    using namespace chipreg;
    QGroupBox* group = MakeGroup(QStringLiteral("Lock Detect / APLL (0x07)"),
                                 AddHexEdit("lockDetectHex", {.reg = kLockDetectControl}));
    auto bit = [this](const char* name) { return AddBitBox(PageField(kPage, name)); };
    auto list = [this](QGridLayout* grid, const char* name) {
        const RegisterField& field = PageField(kPage, name);
        AddLabelled(grid, QString::fromUtf8(field.label), AddList(field));
    };

    QGroupBox* lock = MakeGroup(QStringLiteral("Lock Detect"));
    QGridLayout* lockGrid = GroupGrid(lock);
    list(lockGrid, "thresholdDecrement");
    list(lockGrid, "thresholdIncrement");
    AddLabelled(lockGrid, QStringLiteral("Phase Error Threshold"),
                AddHexEdit("phaseErrorThreshold", {.reg = kLockDetectControl,
                                                   .mask = 0xfffff8,
                                                   .shift = 3,
                                                   .digits = 6,
                                                   .maxLength = 8,
                                                   .write = HexEntry::Write::Field}));
    lockGrid->addWidget(bit("analogLockStatus"), lockGrid->rowCount(), 0, 1, -1);

    QGroupBox* analog = MakeGroup(QStringLiteral("Analog PLL"));
    QGridLayout* analogGrid = GroupGrid(analog);
    analogGrid->addWidget(bit("useAnalogPll"), 0, 0, 1, -1);
    analogGrid->addWidget(bit("enableAnalogPll"), 1, 0, 1, -1);
    list(analogGrid, "clkDivider");
    list(analogGrid, "vcoDivider");
    AddLabelled(analogGrid, QStringLiteral("SysClk"), AddReadOnlyEdit("sysClk", [this] {
                    return QString::fromStdString(pageconv::FormatFrequency(SysClk()));
                }));

    QGridLayout* grid = GroupGrid(group);
    grid->addWidget(lock, 0, 0);
    grid->addWidget(analog, 1, 0);
    return group;
}

} // namespace tarsion
