#include "pages/ControlForm.h"

#include "board/ChipRegisters.h"
#include "board/RegisterShadow.h"
#include "ops/BoardOperations.h"
#include "pages/PageLayout.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

#include <array>

namespace tarsion {

namespace {

using pageconv::FormatFrequency;
using pageconv::ParseFrequency;

constexpr int kPage = 0;

// Bits 0..6 of interrupt enable (0x09) and interrupt status (0x08), side by side.
constexpr std::array<std::array<const char*, 2>, 7> kInterruptBits{{
    {"enableResetDone", "statusResetDone"},
    {"enableReserved", "statusReserved"},
    {"enablePllLock", "statusPllLock"},
    {"enableFifoUnderflow", "statusFifoUnderflow"},
    {"enableFifoOverflow", "statusFifoOverflow"},
    {"enableFifoEmpty", "statusFifoEmpty"},
    {"enableFifoFull", "statusFifoFull"},
}};

constexpr std::uint32_t kInterruptBitsMask = 0x7f;
constexpr std::uint32_t kClearAllInterrupts = 0xff;

QString FrequencyText(double hz) {
    return QString::fromStdString(FormatFrequency(hz));
}

std::optional<double> FrequencyOf(const QString& text) {
    return ParseFrequency(text.toStdString());
}

} // namespace

CControlForm::CControlForm(PageContext context, QWidget* parent) : CRegisterPage(context, parent) {
    QVBoxLayout* left = AddColumn();
    BuildNcoGroups(left);
    BuildMemoryControl(left);
    BuildInterrupts(AddColumn());
    FinishColumns();
}

void CControlForm::BuildNcoGroups(QVBoxLayout* column) {
    using namespace chipreg;
    QGroupBox* carrier = MakeGroup(QStringLiteral("Carrier Frequency (0x0A)"),
                                   AddHexEdit("carrierHex", {.reg = kCarrierFrequency}));
    QLineEdit* carrierFrequency = AddEdit(
        "carrierFrequency",
        [this] { return FrequencyText(pageconv::CarrierFrequency(Word(kCarrierFrequency), SysClk())); },
        [this](const QString& text) { return WriteCarrier(FrequencyOf(text)); },
        [this](int direction, const QString& shown) {
            const auto start = FrequencyOf(shown);
            if (!start)
                return FieldResult::Refresh;
            return WriteCarrier(*start + direction * Steps().carrierFrequencyStep);
        });
    QLineEdit* carrierStep = AddEdit(
        "carrierStep", [this] { return FrequencyText(Steps().carrierFrequencyStep); },
        [this](const QString& text) {
            if (const auto hz = FrequencyOf(text))
                Steps().carrierFrequencyStep = *hz;
            return FieldResult::Refresh;
        });
    AddSteppedRow(GroupGrid(carrier), QStringLiteral("Frequency"), carrierFrequency,
                  AddArrows(carrierFrequency, false), QStringLiteral("Step Size"), carrierStep);
    column->addWidget(carrier);

    auto* clocks = new QGridLayout;
    AddLabelled(clocks, QStringLiteral("Clk Pin"),
                AddEdit(
                    "clockPin", [this] { return FrequencyText(Doc().Shadow().ClockPin()); },
                    [this](const QString& text) {
                        if (const auto hz = FrequencyOf(text); hz && RegisterShadow::UsableClockPin(*hz)) {
                            Doc().Shadow().SetClockPin(*hz);
                            Doc().Shadow().RecomputeSysClk();
                        }
                        return FieldResult::Refresh;
                    }));
    AddLabelled(clocks, QStringLiteral("SysClk ( DAC clock )"),
                AddReadOnlyEdit("sysClk", [this] { return FrequencyText(SysClk()); }));
    column->addLayout(clocks);

    QGroupBox* symbol =
        MakeGroup(QStringLiteral("Symbol Rate (0x0B)"), AddHexEdit("symbolHex", {.reg = kSymbolFrequency}));
    QLineEdit* symbolFrequency = AddEdit(
        "symbolFrequency",
        [this] { return FrequencyText(pageconv::SymbolRate(Word(kSymbolFrequency), SysClk())); },
        [this](const QString& text) { return WriteSymbolRate(FrequencyOf(text), true); },
        [this](int direction, const QString& shown) {
            const auto start = FrequencyOf(shown);
            if (!start)
                return FieldResult::Refresh;
            return WriteSymbolRate(*start + direction * Steps().symbolFrequencyStep, false);
        });
    QLineEdit* symbolStep = AddEdit(
        "symbolStep", [this] { return FrequencyText(Steps().symbolFrequencyStep); },
        [this](const QString& text) {
            if (const auto hz = FrequencyOf(text))
                Steps().symbolFrequencyStep = *hz;
            return FieldResult::Refresh;
        });
    AddSteppedRow(GroupGrid(symbol), QStringLiteral("Frequency"), symbolFrequency,
                  AddArrows(symbolFrequency, false), QStringLiteral("Step Size"), symbolStep);
    column->addWidget(symbol);
}

void CControlForm::BuildMemoryControl(QVBoxLayout* column) {
    using namespace chipreg;
    QGroupBox* memory = MakeGroup(QStringLiteral("Memory Control  Register (0x00)"),
                                  AddHexEdit("memoryControlHex", {.reg = kMemoryControl,
                                                                  .mask = 0xff,
                                                                  .digits = 2,
                                                                  .maxLength = 4,
                                                                  .write = HexEntry::Write::PokeLowByte}));
    QGridLayout* grid = GroupGrid(memory);
    grid->addWidget(AddBitBox(PageField(kPage, "autoIncrement")), 0, 0, 1, 2);
    grid->addWidget(AddBitBox(PageField(kPage, "readNotWrite")), 1, 0, 1, 2);
    for (const char* name : {"memoryAccessSelect", "wordSelect"}) {
        const RegisterField& list = PageField(kPage, name);
        AddLabelled(grid, QString::fromUtf8(list.label), AddList(list));
    }
    column->addWidget(memory);
}

void CControlForm::BuildInterrupts(QVBoxLayout* column) {
    using namespace chipreg;
    QLineEdit* enableHex = AddHexEdit("interruptEnableHex", {.reg = kInterruptEnable,
                                                             .mask = kInterruptBitsMask,
                                                             .digits = 2,
                                                             .maxLength = 4,
                                                             .write = HexEntry::Write::PokeLowByte});
    QGroupBox* enable = MakeGroup(QStringLiteral("Interrupt Enable Register (0x09)"), enableHex);
    QLineEdit* statusHex = AddReadOnlyEdit("interruptStatusHex", [this] {
        return QString::fromStdString(pageconv::FormatHex(Word(kInterruptStatus) & kInterruptBitsMask, 2));
    });
    statusHex->setFixedWidth(enableHex->minimumWidth());
    QGroupBox* status = MakeGroup(QStringLiteral("Interrupt Status Register (0x08)"), statusHex);
    for (std::size_t bit = 0; bit < kInterruptBits.size(); ++bit) {
        GroupGrid(enable)->addWidget(AddBitBox(PageField(kPage, kInterruptBits[bit][0])),
                                     static_cast<int>(bit), 0);
        GroupGrid(status)->addWidget(AddStatusBox(PageField(kPage, kInterruptBits[bit][1])),
                                     static_cast<int>(bit), 0);
    }

    auto* update = new QPushButton(QStringLiteral("Update Status"));
    update->setObjectName(QStringLiteral("updateStatus"));
    connect(update, &QPushButton::clicked, this, [this] {
        std::uint32_t value = 0;
        Ops().Peek(kInterruptStatus, value);
    });
    auto* clear = new QPushButton(QStringLiteral("Clear Status"));
    clear->setObjectName(QStringLiteral("clearStatus"));
    connect(clear, &QPushButton::clicked, this, [this] {
        // Writing ones clears the status bits; the read shows what is left.
        Ops().Poke(kInterruptStatus, kClearAllInterrupts);
        std::uint32_t value = 0;
        Ops().Peek(kInterruptStatus, value);
    });
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(update);
    buttons->addWidget(clear);
    static_cast<QVBoxLayout*>(status->layout())->addLayout(buttons);

    column->addWidget(enable);
    column->addWidget(status);
}

FieldResult CControlForm::WriteCarrier(std::optional<double> hz) {
    if (!hz)
        return FieldResult::Refresh;
    const auto word = pageconv::NcoWord(pageconv::ClampCarrier(*hz, SysClk()), SysClk());
    if (!word)
        return FieldResult::Refresh;
    return Poke(chipreg::kCarrierFrequency, *word);
}

FieldResult CControlForm::WriteSymbolRate(std::optional<double> hz, bool askAboveMaximum) {
    const double sysClk = SysClk();
    // Without a clock there is no word to write, and nothing to ask.
    if (!hz || sysClk == 0)
        return FieldResult::Refresh;
    const std::uint32_t config = Word(chipreg::kDeviceConfig);
    const double maximum = pageconv::SymbolRateMaximum(config, sysClk);
    const double quarter = sysClk / 4;
    double rate = *hz;
    if (!pageconv::ShapingFilterBypassed(config) && rate > maximum) {
        if (!askAboveMaximum || AskSetToMaximum(maximum))
            rate = maximum;
        else if (rate > quarter)
            rate = quarter;
    } else if (rate > quarter) {
        rate = quarter;
    } else if (rate < 0) {
        rate = 0;
    }
    const auto word = pageconv::NcoWord(rate, sysClk);
    if (!word)
        return FieldResult::Refresh;
    return Poke(chipreg::kSymbolFrequency, *word);
}

bool CControlForm::AskSetToMaximum(double maximum) {
    QMessageBox box(this);
    box.setWindowTitle(QStringLiteral("Symbol Rate exceeds maximum allowed "));
    box.setText(QStringLiteral("Symbol Rate exceeds maximum allowed value for this configuration"));
    box.setInformativeText(QStringLiteral("The maximum is %1.").arg(FrequencyText(maximum)));
    QPushButton* setToMaximum =
        box.addButton(QStringLiteral("Set to Maximum allowed"), QMessageBox::AcceptRole);
    QPushButton* ignore = box.addButton(QStringLiteral("Ignore Maximum Limit"), QMessageBox::RejectRole);
    box.setDefaultButton(setToMaximum);
    box.setEscapeButton(ignore);
    box.exec();
    return box.clickedButton() == setToMaximum;
}

} // namespace tarsion
