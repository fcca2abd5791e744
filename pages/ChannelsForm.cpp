#include "pages/ChannelsForm.h"

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

namespace tarsion {

namespace {

constexpr int kPage = 2;
constexpr std::uint32_t kFractionMask = pageconv::kFractionFieldLargest;

// The interpolation list shows x2 as "x 4" with decimate by 2 (bit 2): with bit 2 the index is
// bits 10-11, without it bits 10-11 + 1.
ListEncoding InterpolationEncoding(const RegisterField& field) {
    constexpr std::uint32_t kDecimate = 0x4;
    return ListEncoding{
        field.indexOf,
        [](int index) { return index == 0 ? kDecimate : static_cast<std::uint32_t>(index - 1) << 10; },
        field.mask};
}

} // namespace

CChannelsForm::CChannelsForm(PageContext context, QWidget* parent) : CRegisterPage(context, parent) {
    using namespace chipreg;
    QVBoxLayout* left = AddColumn();
    QVBoxLayout* right = AddColumn();
    left->addWidget(BuildDeviceConfig());
    right->addWidget(BuildCalibration(QStringLiteral("I Calibration (0x03)"), kIChannelControl,
                                      &StepSettings::iScaleFactorStep, &StepSettings::iDcOffsetStep, "i"));
    right->addWidget(BuildCalibration(QStringLiteral("Q Calibration (0x04)"), kQChannelControl,
                                      &StepSettings::qScaleFactorStep, &StepSettings::qDcOffsetStep, "q"));

    QGroupBox* gain =
        MakeGroup(QStringLiteral("Gain Control (0x05)"), AddHexEdit("gainHex", {.reg = kGainControl}));
    QLineEdit* gainValue = AddGainEdit("postShapingGain", {.reg = kGainControl,
                                                           .mantissaShift = 26,
                                                           .exponentShift = 22,
                                                           .format = pageconv::kPostShapingGain,
                                                           .step = &StepSettings::postShappingFilterStep});
    GroupGrid(gain)->addWidget(new QLabel(QStringLiteral("Post Shaping Filter Gain")), 0, 0, 1, -1);
    AddSteppedRow(GroupGrid(gain), QString(), gainValue, AddArrows(gainValue, true),
                  QStringLiteral("Step Size"),
                  AddStepSettingEdit("postShapingGainStep", &StepSettings::postShappingFilterStep,
                                     pageconv::kPostShapingStepRange));
    left->addWidget(gain);

    QGroupBox* dcOffset = MakeGroup(
        QStringLiteral("Shaping Filter DC Offset (0x11)"),
        AddHexEdit("dcOffsetHex", {.reg = kCoefRamPreload, .mask = 0x7ffff, .digits = 5, .maxLength = 7}));
    left->addWidget(dcOffset);
    FinishColumns();
}

QGroupBox* CChannelsForm::BuildDeviceConfig() {
    using namespace chipreg;
    QGroupBox* config = MakeGroup(QStringLiteral("Device Config (0x01)"),
                                  AddHexEdit("deviceConfigHex", {.reg = kDeviceConfig}));
    QGridLayout* grid = GroupGrid(config);
    auto bit = [this](const char* name) { return AddBitBox(PageField(kPage, name)); };
    grid->addWidget(bit("fifoBypass"), 0, 0);
    grid->addWidget(bit("constellationBypass"), 1, 0);
    grid->addWidget(bit("halfBandEnable"), 2, 0);
    grid->addWidget(bit("xSinXBypass"), 3, 0);
    grid->addWidget(bit("reserved"), 4, 0);
    auto* width = new QGridLayout;
    AddLabelled(width, QStringLiteral("Data Bit Width"),
                AddHexEdit("dataBitWidth", {.reg = kDeviceConfig,
                                            .mask = 0x3c0,
                                            .shift = 6,
                                            .digits = 1,
                                            .maxLength = 3,
                                            .write = HexEntry::Write::Field}));
    grid->addLayout(width, 5, 0);

    QGroupBox* shaping = MakeGroup(QStringLiteral("Shaping Filter"));
    QGridLayout* shapingGrid = GroupGrid(shaping);
    shapingGrid->addWidget(bit("shapingBypass"), 0, 0, 1, 2);
    shapingGrid->addWidget(bit("twoBitMode"), 1, 0, 1, 2);
    const RegisterField& shapingInterpolation = PageField(kPage, "shapingInterpolation");
    AddLabelled(shapingGrid, QString::fromUtf8(shapingInterpolation.label),
                AddList(shapingInterpolation, InterpolationEncoding(shapingInterpolation)));
    grid->addWidget(shaping, 6, 0);

    QGroupBox* interpolation = MakeGroup(QStringLiteral("Interpolation Filter"));
    QGridLayout* interpolationGrid = GroupGrid(interpolation);
    interpolationGrid->addWidget(bit("interpolationBypass"), 0, 0, 1, 2);
    interpolationGrid->addWidget(bit("integerInterpolation"), 1, 0, 1, 2);
    const RegisterField& factorHalf = PageField(kPage, "factorHalf");
    AddLabelled(interpolationGrid, QString::fromUtf8(factorHalf.label), AddIntegerEdit(factorHalf, 1, 65536));
    grid->addWidget(interpolation, 7, 0);
    return config;
}

QGroupBox* CChannelsForm::BuildCalibration(const QString& title, std::uint8_t reg,
                                           double StepSettings::*scaleStep, double StepSettings::*offsetStep,
                                           const char* prefix) {
    const QString name = QString::fromLatin1(prefix);
    QGroupBox* group = MakeGroup(title, AddHexEdit(qPrintable(name + "Hex"), {.reg = reg}));
    QGridLayout* grid = GroupGrid(group);
    AddLabelled(grid, QString(), AddList(PageField(kPage, qPrintable(name + "Rounding"))));
    AddFractionRow(grid, QStringLiteral("Scale"), reg, 14, pageconv::kScaleBase, scaleStep,
                   pageconv::kScaleStepRange, name + "Scale");
    AddFractionRow(grid, QStringLiteral("Offset"), reg, 4, pageconv::kOffsetBase, offsetStep,
                   pageconv::kOffsetStepRange, name + "Offset");
    const int row = grid->rowCount();
    grid->addWidget(AddBitBox(PageField(kPage, qPrintable(name + "NegateScale"))), row, 0, 1, 2);
    grid->addWidget(AddBitBox(PageField(kPage, qPrintable(name + "NegateOffset"))), row, 2, 1, 3);
    return group;
}

void CChannelsForm::AddFractionRow(QGridLayout* grid, const QString& label, std::uint8_t reg, int shift,
                                   double base, double StepSettings::*step,
                                   const pageconv::StepRange& stepRange, const QString& name) {
    const std::uint32_t mask = kFractionMask << shift;
    auto field = [this, reg, shift] { return (Word(reg) >> shift) & kFractionMask; };
    QLineEdit* value = AddNumberEdit(
        qPrintable(name),
        [field, base] {
            return QString::fromStdString(pageconv::FormatG(pageconv::FieldToFraction(field(), base)));
        },
        [this, reg, shift, base, mask](const QString& text) {
            const auto entered = pageconv::ParseNumber(text.toStdString());
            if (!entered)
                return FieldResult::Refresh;
            return ModifyBits(reg, pageconv::FractionToField(*entered, base) << shift, mask);
        },
        [this, field, reg, shift, base, mask, step](int direction, const QString&) {
            const std::uint32_t next = pageconv::StepFraction(field(), Steps().*step, direction, base);
            return ModifyBits(reg, next << shift, mask);
        });
    AddSteppedRow(grid, label, value, AddArrows(value, true), QStringLiteral("Step"),
                  AddStepSettingEdit(qPrintable(name + "Step"), step, stepRange));
}

} // namespace tarsion
