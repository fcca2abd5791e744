#include "pages/FilterForm.h"

#include "board/ChipRegisters.h"
#include "ops/BoardOperations.h"
#include "ops/CoefficientTable.h"
#include "ops/UserPrompt.h"
#include "pages/PageLayout.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace tarsion {

namespace {

constexpr std::uint32_t kDcOffsetMask = 0x7ffff;
// "0x%.5x": the 19-bit field's five digits.
const HexEntry kDcOffsetEntry{chipreg::kCoefRamPreload, kDcOffsetMask, 0, 5, 7, HexEntry::Write::Poke};

// The shaping filter's interpolation rate: bits 10-11 of Device Config select 4, 8 or 16; 0 when
// they select none.
int ShapingFilterRate(std::uint32_t deviceConfig) {
    const int field = static_cast<int>((deviceConfig >> 10) & 0x3);
    return field < 3 ? 4 << field : 0;
}

// RAM images written by a coefficient load ("_I.Ram", "_Q.Ram") are no coefficient files.
bool IsRamImage(const QString& path) {
    return QFileInfo(path).suffix() == QLatin1String("Ram");
}

QPushButton* MakeButton(const QString& text, const char* name) {
    auto* button = new QPushButton(text);
    button->setObjectName(QLatin1String(name));
    return button;
}

template <class W>
W* Named(W* widget, const char* prefix, const char* name) {
    widget->setObjectName(QLatin1String(prefix) + QLatin1String(name));
    return widget;
}

} // namespace

CCoefficientInputs::CCoefficientInputs(const QString& title, const char* prefix,
                                       const QString& loadOffsetText)
    : group_(new QGroupBox(title)), file_(Named(new QLineEdit, prefix, "File")),
      bestFit_(Named(new QRadioButton(QStringLiteral("Best Fit")), prefix, "BestFit")),
      forceValue_(Named(new QRadioButton(QStringLiteral("Force Value")), prefix, "ForceValue")),
      scale_(Named(new QLineEdit, prefix, "Scale")),
      loadOffset_(Named(new QCheckBox(loadOffsetText), prefix, "LoadOffset")),
      browse_(Named(new QPushButton(QStringLiteral("Browse")), prefix, "Browse")),
      dcGain_(Named(new QLineEdit, prefix, "DcGain")),
      interpolation_(Named(new QComboBox, prefix, "Interpolation")),
      twoBitMode_(Named(new QCheckBox(QStringLiteral("2 Bit Mode")), prefix, "TwoBitMode")),
      symmetric_(Named(new QCheckBox(QStringLiteral("Symmetric")), prefix, "Symmetric")),
      buttons_(new QHBoxLayout) {
    dcGain_->setReadOnly(true);
    interpolation_->addItems({QStringLiteral("x4"), QStringLiteral("x8"), QStringLiteral("x16")});
    FitEditWidth(file_, 30);
    // Room for the 15 significant digits, a sign and the point.
    FitEditWidth(scale_, 17);
    FitEditWidth(dcGain_, 17);

    auto* grid = new QGridLayout(group_);
    grid->addWidget(new QLabel(QStringLiteral("Coefficient File ")), 0, 0);
    grid->addWidget(file_, 0, 1, 1, 2);
    grid->addWidget(browse_, 0, 3);

    auto* scale = new QGroupBox(QStringLiteral("Scale"));
    auto* scaleRow = new QHBoxLayout(scale);
    scaleRow->addWidget(bestFit_);
    scaleRow->addWidget(forceValue_);
    scaleRow->addSpacing(12);
    scaleRow->addWidget(new QLabel(QStringLiteral("Value")));
    scaleRow->addWidget(scale_, 1);
    grid->addWidget(scale, 1, 0, 1, 4);

    auto* offset = new QGroupBox(QStringLiteral("Offset"));
    (new QVBoxLayout(offset))->addWidget(loadOffset_);
    grid->addWidget(offset, 2, 0, 1, 2);
    auto* dcGain = new QVBoxLayout;
    dcGain->addWidget(new QLabel(QStringLiteral("DC Gain")));
    dcGain->addWidget(dcGain_);
    grid->addLayout(dcGain, 2, 2, 1, 2, Qt::AlignBottom);

    auto* interpolation = new QHBoxLayout;
    interpolation->addWidget(new QLabel(QStringLiteral("Interp Rate")));
    interpolation->addWidget(interpolation_);
    interpolation->addStretch();
    grid->addLayout(interpolation, 3, 0, 1, 2);
    grid->addWidget(twoBitMode_, 3, 2);
    grid->addWidget(symmetric_, 3, 3);
    grid->addLayout(buttons_, 4, 0, 1, 4);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(2, 1);
}

void CCoefficientInputs::Show(const CoefficientSettings& settings) {
    file_->setText(QString::fromStdString(settings.fileName));
    bestFit_->setChecked(settings.bestFit);
    forceValue_->setChecked(!settings.bestFit);
    ShowReal(scale_, settings.scale);
    loadOffset_->setChecked(settings.loadOffset);
    ShowReal(dcGain_, settings.dcGain);
    interpolation_->setCurrentIndex(settings.interpolation < interpolation_->count() ? settings.interpolation
                                                                                     : -1);
    twoBitMode_->setChecked(settings.twoBitMode);
    symmetric_->setChecked(settings.symmetric);
}

std::optional<CoefficientSettings> CCoefficientInputs::Capture(IUserPrompt& prompt) const {
    const auto scale = CaptureReal(scale_, prompt);
    if (!scale)
        return std::nullopt;
    CoefficientSettings settings;
    settings.fileName = file_->text().toStdString();
    settings.bestFit = bestFit_->isChecked();
    settings.scale = *scale;
    settings.loadOffset = loadOffset_->isChecked();
    settings.interpolation = interpolation_->currentIndex();
    settings.twoBitMode = twoBitMode_->isChecked();
    settings.symmetric = symmetric_->isChecked();
    return settings;
}

CFilterForm::CFilterForm(PageContext context, QWidget* parent)
    : CInputPage(context, parent), channels_{CCoefficientInputs(QStringLiteral("I Coefficient Memory"), "i",
                                                                QStringLiteral("Load ")),
                                             CCoefficientInputs(QStringLiteral("Q Coefficient Memory"), "q",
                                                                QStringLiteral("Load"))},
      constellationFile_(new QLineEdit), memoryState_(new QLabel) {
    // I above the constellation, Q above the DC offset: the channels stand side by side.
    QVBoxLayout* left = AddColumn();
    QVBoxLayout* right = AddColumn();
    for (const Channel channel : {I, Q}) {
        CCoefficientInputs& inputs = channels_[channel];
        connect(inputs.BrowseButton(), &QPushButton::clicked, this,
                [this, channel] { BrowseCoefficients(channel); });
        (channel == I ? left : right)->addWidget(inputs.Group());
    }
    QPushButton* loadBoth = MakeButton(QStringLiteral("Load I + Q"), "loadIQ");
    QPushButton* loadI = MakeButton(QStringLiteral("Load I "), "loadI");
    QPushButton* loadQ = MakeButton(QStringLiteral("Load Q"), "loadQ");
    channels_[I].ButtonRow()->addWidget(loadBoth);
    channels_[I].ButtonRow()->addWidget(loadI);
    channels_[Q].ButtonRow()->addStretch();
    channels_[Q].ButtonRow()->addWidget(loadQ);
    connect(loadBoth, &QPushButton::clicked, this, [this] { LoadCoefficients(2); });
    connect(loadI, &QPushButton::clicked, this, [this] { LoadCoefficients(0); });
    connect(loadQ, &QPushButton::clicked, this, [this] { LoadCoefficients(1); });

    QGroupBox* constellation = MakeGroup(QStringLiteral("Constellation Memory"));
    QGridLayout* constellationGrid = GroupGrid(constellation);
    constellationFile_->setObjectName(QStringLiteral("constellationFile"));
    FitEditWidth(constellationFile_, 30);
    QPushButton* constellationBrowse = MakeButton(QStringLiteral("Browse"), "constellationBrowse");
    QPushButton* constellationLoad = MakeButton(QStringLiteral("Load"), "constellationLoad");
    constellationGrid->addWidget(new QLabel(QStringLiteral("Constellation File")), 0, 0, 1, 3);
    constellationGrid->addWidget(constellationFile_, 1, 0);
    constellationGrid->addWidget(constellationBrowse, 1, 1);
    constellationGrid->addWidget(constellationLoad, 1, 2);
    constellationGrid->setColumnStretch(0, 1);
    connect(constellationBrowse, &QPushButton::clicked, this, [this] { BrowseConstellation(); });
    connect(constellationLoad, &QPushButton::clicked, this, [this] { LoadConstellation(); });
    left->addWidget(constellation);
    memoryState_->setObjectName(QStringLiteral("memoryState"));
    memoryState_->setWordWrap(true);
    left->addWidget(memoryState_);

    auto* lower = new QHBoxLayout;
    QGroupBox* dcOffset = MakeGroup(QStringLiteral("Shaping Filter DC Offset (0x11)"));
    GroupGrid(dcOffset)->addWidget(AddHexEdit("dcOffset", kDcOffsetEntry), 0, 0);
    lower->addWidget(dcOffset);
    QPushButton* refresh = MakeButton(QStringLiteral("Refresh"), "refresh");
    connect(refresh, &QPushButton::clicked, this, [this] { Refresh(); });
    lower->addStretch();
    lower->addWidget(refresh, 0, Qt::AlignBottom);
    right->addLayout(lower);
    FinishColumns();

    FinishPage([this] { ShowDocument(); });
}

void CFilterForm::ShowDocument() {
    channels_[I].Show(Doc().coefficientI);
    channels_[Q].Show(Doc().coefficientQ);
    constellationFile_->setText(QString::fromStdString(Doc().constellationFile));
    // A load that stopped part way, or a change since the load: the names above are those of the
    // last good load.
    QStringList notes;
    for (const auto& [memory, name] : {std::pair{ChipMemory::CoefficientI, "I Coefficient RAM"},
                                       std::pair{ChipMemory::CoefficientQ, "Q Coefficient RAM"},
                                       std::pair{ChipMemory::Constellation, "Constellation RAM"}}) {
        if (const std::optional<std::string> note = Doc().loaded.MismatchNote(memory))
            notes << QStringLiteral("%1: %2").arg(QLatin1String(name), QString::fromStdString(*note));
    }
    memoryState_->setText(notes.join(QLatin1Char('\n')));
    memoryState_->setVisible(!notes.isEmpty());
}

void CFilterForm::BrowseCoefficients(Channel channel) {
    const QString path = ChooseFile(
        "filters", QStringLiteral("Coefficient Files (*.coe *.imp);;All Files (*)"), QStringLiteral("coe"));
    if (path.isEmpty())
        return;
    if (IsRamImage(path)) {
        ShowMessage(QStringLiteral("Cannot use a coe file with the extension .ram"));
        return;
    }
    channels_[channel].FileEdit()->setText(path);
}

void CFilterForm::BrowseConstellation() {
    const QString path =
        ChooseFile("constellations", QStringLiteral("Constellation Files (*.hex);;All Files (*)"),
                   QStringLiteral("coe"));
    if (!path.isEmpty())
        constellationFile_->setText(path);
}

void CFilterForm::LoadCoefficients(int which) {
    // Only the group whose options the load uses is read; "Load I + Q" takes the I options. A
    // refused scale stops the load: it would otherwise run with options the user did not mean.
    const auto captured = channels_[which == 1 ? Q : I].Capture(Ops().Prompt());
    if (!captured)
        return;
    const CoefficientSettings& options = *captured;
    if (!ConfirmInterpolation(options.interpolation))
        return;
    if (!Ops().LoadCoefficientRam(static_cast<std::int16_t>(which), options.fileName, options.bestFit,
                                  options.scale, options.loadOffset,
                                  static_cast<std::int16_t>(options.interpolation), options.twoBitMode,
                                  options.symmetric))
        Refresh();
}

bool CFilterForm::ConfirmInterpolation(int selector) {
    const int table = FilterGeometry::For(selector, false).rate;
    const int shaping = ShapingFilterRate(Doc().Shadow().FetchChipReg(chipreg::kDeviceConfig));
    if (table == shaping)
        return true;
    const QString set = shaping ? QStringLiteral("x%1").arg(shaping) : QStringLiteral("none");
    const QString text =
        QStringLiteral("The Interp Rate x%1 differs from the shaping filter interpolation set on "
                       "the DataFlow page (%2, register 0x01).\nLoad anyway?")
            .arg(table)
            .arg(set);
    return Ops().Prompt().AskYesNo("Interp Rate", text.toStdString());
}

void CFilterForm::LoadConstellation() {
    if (!Ops().LoadConstellationRam(constellationFile_->text().toStdString()))
        Refresh();
}

} // namespace tarsion
