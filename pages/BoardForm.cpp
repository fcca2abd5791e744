#include "pages/BoardForm.h"

#include "board/ChipRegisters.h"
#include "ops/BoardOperations.h"
#include "ops/FilePaths.h"
#include "ops/PatternImport.h"
#include "ops/PatternMemory.h"
#include "pages/PageLayout.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>

namespace tarsion {

namespace {

constexpr std::uint8_t kFifoResetAll = 0xff;
// Port combo items in order: "0x03BC", "0x0378", "0x0278".
constexpr std::array<std::uint16_t, 3> kPortBases{0x3bc, 0x378, 0x278};

const char* const kDownloadFailed = "Couldn't Download the file\nPlease see LogWindow for Details";

// Samples per cycle times the fewest cycles that give a whole number of sample pairs, searched
// up to the memory's size and rounded up. Empty when samples per cycle is 0 or below. Below one
// sample per cycle the search also stops after as many cycles as the memory has pairs, so a
// tiny value can't hold up the page.
std::optional<double> SuggestedSamples(double samplesPerCycle) {
    if (!(samplesPerCycle > 0))
        return std::nullopt;
    constexpr auto kMostPairs = static_cast<double>(kMaxPatternPairs);
    double samples = samplesPerCycle;
    for (double cycles = 1; samples != std::floor(samples) && samples <= kMostPairs && cycles < kMostPairs;) {
        ++cycles;
        samples = cycles * samplesPerCycle;
    }
    return std::ceil(samples);
}

template <class W>
W* Named(W* widget, const char* name) {
    widget->setObjectName(QLatin1String(name));
    return widget;
}

QComboBox* MakeList(const char* name, const QStringList& items) {
    auto* box = Named(new QComboBox, name);
    box->addItems(items);
    return box;
}

QComboBox* MakeKindList(const char* name) {
    return MakeList(name, {QStringLiteral("DC"), QStringLiteral("Sine Wave"), QStringLiteral("Cos Wave")});
}

QLineEdit* MakeNumberEdit(const char* name) {
    auto* edit = Named(new QLineEdit, name);
    FitEditWidth(edit, 10);
    return edit;
}

QPushButton* MakeButton(const QString& text, const char* name) {
    return Named(new QPushButton(text), name);
}

QGroupBox* MakeColumnGroup(const QString& title, std::initializer_list<QWidget*> widgets) {
    auto* group = new QGroupBox(title);
    auto* column = new QVBoxLayout(group);
    for (QWidget* widget : widgets)
        column->addWidget(widget, 0, Qt::AlignLeft);
    return group;
}

} // namespace

CBoardForm::CBoardForm(PageContext context, QWidget* parent)
    : CInputPage(context, parent),
      dataClk_(MakeList("dataClk", {QStringLiteral("RefClk"), QStringLiteral("2xSymbolClk"),
                                    QStringLiteral("SysClk/2"), QStringLiteral("Tristated ")})),
      patternMemory_(Named(new QCheckBox(QStringLiteral("Pattern Memory")), "patternMemory")),
      ground_(Named(new QCheckBox(QStringLiteral("Gnd")), "ground")),
      tristated_(
          Named(new QCheckBox(QStringLiteral("Tristated  ( External Pattern Generator )")), "tristated")),
      port_(MakeList("port", {QStringLiteral("0x03BC"), QStringLiteral("0x0378"), QStringLiteral("0x0278")})),
      patternFile_(Named(new QLineEdit, "patternFile")), iKind_(MakeKindList("iKind")),
      iAmplitude_(MakeNumberEdit("iAmplitude")), qKind_(MakeKindList("qKind")),
      qAmplitude_(MakeNumberEdit("qAmplitude")), samplesPerCycle_(MakeNumberEdit("samplesPerCycle")),
      numberOfSamples_(MakeNumberEdit("numberOfSamples")), patternState_(Named(new QLabel, "patternState")),
      reviewImport_(std::move(context.reviewImport)) {
    connect(dataClk_, &QComboBox::activated, this, [this](int index) { SelectDataClk(index); });
    connect(patternMemory_, &QCheckBox::clicked, this, [this] { DrivePatternSender(true); });
    connect(ground_, &QCheckBox::clicked, this, [this] { DrivePatternSender(false); });
    connect(tristated_, &QCheckBox::clicked, this, [this] { Tristate(); });
    connect(port_, &QComboBox::activated, this, [this](int index) { SelectPort(index); });

    QVBoxLayout* left = AddColumn();
    left->addWidget(MakeColumnGroup(QStringLiteral("Source for DataClk"), {dataClk_}));
    left->addWidget(
        MakeColumnGroup(QStringLiteral("Source for Din[15:0]"), {patternMemory_, ground_, tristated_}));
    left->addWidget(MakeColumnGroup(QStringLiteral("Parallel Port"), {port_}));

    QGroupBox* contents = MakeGroup(QStringLiteral("Pattern Memory Contents"));
    QGridLayout* contentsGrid = GroupGrid(contents);
    QPushButton* browse = MakeButton(QStringLiteral("Browse"), "browse");
    QPushButton* loadFile = MakeButton(QStringLiteral("Load File"), "loadFile");
    FitEditWidth(patternFile_, 40);
    contentsGrid->addWidget(patternFile_, 0, 0, 1, 3);
    contentsGrid->addWidget(browse, 1, 1);
    contentsGrid->addWidget(loadFile, 1, 2);
    patternState_->setWordWrap(true);
    contentsGrid->addWidget(patternState_, 2, 0, 1, 3);
    contentsGrid->setColumnStretch(0, 1);
    connect(browse, &QPushButton::clicked, this, [this] { Browse(); });
    connect(loadFile, &QPushButton::clicked, this, [this] { LoadFile(); });

    QGroupBox* parameters = MakeGroup(QStringLiteral("Pattern Parameters"));
    QGridLayout* grid = GroupGrid(parameters);
    grid->addWidget(new QLabel(QStringLiteral("I Pattern")), 0, 0);
    grid->addWidget(iKind_, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("I Amplitude")), 0, 2);
    grid->addWidget(iAmplitude_, 0, 3);
    grid->addWidget(new QLabel(QStringLiteral("Q Pattern")), 1, 0);
    grid->addWidget(qKind_, 1, 1);
    grid->addWidget(new QLabel(QStringLiteral("Q Amplitude")), 1, 2);
    grid->addWidget(qAmplitude_, 1, 3);
    grid->addWidget(new QLabel(QStringLiteral("Samples Per Cycle")), 2, 0, 1, 2);
    grid->addWidget(samplesPerCycle_, 2, 2, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("( DataClk / Pattern freq )")), 3, 0, 1, 4, Qt::AlignRight);
    grid->addWidget(new QLabel(QStringLiteral("Total Number Of Sample pairs")), 4, 0, 1, 2);
    grid->addWidget(numberOfSamples_, 4, 2, 1, 2);
    auto* actions = new QHBoxLayout;
    QPushButton* suggest = MakeButton(QStringLiteral("Suggest"), "suggest");
    QPushButton* loadPattern = MakeButton(QStringLiteral("Load Pattern"), "loadPattern");
    actions->addStretch();
    actions->addWidget(suggest);
    actions->addWidget(loadPattern);
    grid->addLayout(actions, 5, 0, 1, 4);
    connect(suggest, &QPushButton::clicked, this, [this] { Suggest(); });
    connect(loadPattern, &QPushButton::clicked, this, [this] { LoadPattern(); });

    QVBoxLayout* right = AddColumn();
    right->addWidget(contents);
    right->addWidget(parameters);

    auto* bottom = new QHBoxLayout;
    QPushButton* refresh = MakeButton(QStringLiteral("Refresh"), "refresh");
    connect(refresh, &QPushButton::clicked, this, [this] { Refresh(); });
    bottom->addStretch();
    bottom->addWidget(refresh);
    right->addLayout(bottom);
    FinishColumns();

    FinishPage([this] { ShowBoard(); });
}

void CBoardForm::ShowBoard() {
    const RegisterShadow& shadow = Doc().Shadow();
    shownDataClk_ = shadow.FetchBridgeReg(bridgereg::kBoardControl) & bridgereg::kDataClkMask;
    const bool tristated = shownDataClk_ == bridgereg::kDataClkTristated;
    const bool sending = (shadow.FetchPldReg(pldreg::kPatternSender) & 1) != 0;
    dataClk_->setCurrentIndex(shownDataClk_);
    tristated_->setChecked(tristated);
    ground_->setChecked(!tristated && !sending);
    patternMemory_->setChecked(!tristated && sending);

    const auto base = std::find(kPortBases.begin(), kPortBases.end(), Ops().Link().BaseAddress());
    port_->setCurrentIndex(base == kPortBases.end() ? -1 : static_cast<int>(base - kPortBases.begin()));
    // The settings the user typed stay while the page's load runs, and after it failed until the
    // document's settings change: the user may mend one field and try again.
    if (!patternAtLoad_ || !(Doc().pattern == *patternAtLoad_)) {
        patternAtLoad_.reset();
        ShowPattern(Doc().pattern);
    }
    const std::optional<std::string> note = Doc().loaded.MismatchNote(ChipMemory::Pattern);
    patternState_->setText(note ? QString::fromStdString(*note) : QString());
    patternState_->setVisible(note.has_value());
}

void CBoardForm::ShowPattern(const PatternSettings& pattern) {
    patternFile_->setText(QString::fromStdString(pattern.fileName));
    iKind_->setCurrentIndex(pattern.iKind < iKind_->count() ? pattern.iKind : -1);
    qKind_->setCurrentIndex(pattern.qKind < qKind_->count() ? pattern.qKind : -1);
    ShowReal(iAmplitude_, pattern.iAmplitude);
    ShowReal(qAmplitude_, pattern.qAmplitude);
    ShowReal(samplesPerCycle_, pattern.samplesPerCycle);
    ShowReal(numberOfSamples_, pattern.numberOfSamples);
}

std::optional<PatternSettings> CBoardForm::CapturePattern() {
    PatternSettings pattern;
    for (const auto& [edit, value] :
         {std::pair{iAmplitude_, &pattern.iAmplitude}, std::pair{qAmplitude_, &pattern.qAmplitude},
          std::pair{samplesPerCycle_, &pattern.samplesPerCycle},
          std::pair{numberOfSamples_, &pattern.numberOfSamples}}) {
        const auto number = CaptureReal(edit, Ops().Prompt());
        if (!number)
            return std::nullopt;
        *value = *number;
    }
    pattern.iKind = iKind_->currentIndex();
    pattern.qKind = qKind_->currentIndex();
    pattern.fileName = patternFile_->text().toStdString();
    return pattern;
}

void CBoardForm::SelectDataClk(int index) {
    const int old = shownDataClk_;
    if (index == old)
        return;
    if (!Ops().Write(bridgereg::kBoardControl, static_cast<std::uint8_t>(index))) {
        shownDataClk_ = old;
        dataClk_->setCurrentIndex(old);
    }
}

void CBoardForm::DrivePatternSender(bool send) {
    const std::uint8_t control = Doc().Shadow().FetchBridgeReg(bridgereg::kBoardControl);
    if ((control & bridgereg::kDataClkMask) == bridgereg::kDataClkTristated &&
        !Ops().Write(bridgereg::kBoardControl, 0)) {
        Refresh();
        return;
    }
    if (!(send ? Ops().Send() : Ops().Stop()))
        Refresh();
}

void CBoardForm::Tristate() {
    if (!Ops().Write(bridgereg::kBoardControl, bridgereg::kDataClkTristated))
        Refresh();
}

void CBoardForm::SelectPort(int index) {
    // Only the link changes: the next transfer goes to the new port.
    Ops().Link().SetBaseAddress(index == 0 ? kPortBases[0] : index == 2 ? kPortBases[2] : kPortBases[1]);
    // The status bar names the port in use.
    Doc().UpdateAllViews();
}

void CBoardForm::Browse() {
    const QString path =
        ChooseFile("patterns",
                   QStringLiteral("Pattern Files (*.pat *.imp);;Test Patterns (*.csv *.npy *.npz "
                                  "*.wav);;All Files (*)"),
                   QStringLiteral("pat"));
    if (!path.isEmpty())
        patternFile_->setText(path);
}

bool CBoardForm::RunLoad(const std::function<bool()>& load) {
    const std::uint64_t before = Doc().loaded.Generation();
    patternAtLoad_ = Doc().pattern;
    if (load()) {
        patternAtLoad_.reset();
        return true;
    }
    const std::optional<PartialLoad>& partial = Doc().loaded.Partial(ChipMemory::Pattern);
    const bool marked = partial && Doc().loaded.Generation() != before;
    if (marked && partial->cancelled)
        ShowMessage(QString::fromStdString(partial->note));
    else
        ShowMessage(QString::fromLatin1(kDownloadFailed) +
                    (marked ? QStringLiteral("\n") + QString::fromStdString(partial->note) : QString()));
    return false;
}

void CBoardForm::LoadFile() {
    const std::string file = patternFile_->text().toStdString();
    if (IsImportFileName(WithoutTrailingBlanks(file))) {
        ImportFile(file);
        return;
    }
    if (!RunLoad([this, &file] { return Ops().LoadExternalMemory(file); }))
        return;
    if (StartSending())
        ShowMessage(QStringLiteral("File DownLoad to External Memory Complete"));
}

void CBoardForm::ImportFile(const std::string& file) {
    ImportPreview preview = PreviewImport(Doc().startDirectory, file, ImportScaling::AsIs);
    if (!preview.prepared) {
        // Logged like any refused load; the memory stays as it was.
        Ops().ImportPattern(preview);
        ShowMessage(QString::fromStdString(preview.refusal) +
                    QStringLiteral("\nThe pattern memory is unchanged."));
        return;
    }
    // Nothing reaches the board unless the user saw the preview and confirmed it.
    if (!reviewImport_) {
        ShowMessage(QStringLiteral("This window has no import preview: the pattern memory is unchanged."));
        return;
    }
    const std::optional<ImportPreview> confirmed = reviewImport_(std::move(preview));
    if (!confirmed || !RunLoad([this, &confirmed] { return Ops().ImportPattern(*confirmed); }))
        return;
    if (StartSending())
        ShowMessage(QStringLiteral("File DownLoad to External Memory Complete"));
}

void CBoardForm::LoadPattern() {
    auto pattern = CapturePattern();
    if (!pattern)
        return;
    if (!(pattern->numberOfSamples >= pattern->samplesPerCycle)) {
        ShowMessage(QStringLiteral("NumberOfSamplesPerCycle can't exceed NumberOfSamples"));
        return;
    }
    for (double* amplitude : {&pattern->iAmplitude, &pattern->qAmplitude}) {
        if (*amplitude > 1.0 || *amplitude < -1.0) {
            *amplitude = *amplitude > 1.0 ? 1.0 : -1.0;
            ShowPattern(*pattern);
        }
    }
    if (!RunLoad([this, &pattern] {
            return Ops().LoadExternalMem(pattern->iKind, pattern->qKind, pattern->iAmplitude,
                                         pattern->qAmplitude, pattern->samplesPerCycle,
                                         pattern->numberOfSamples);
        }))
        return;
    StartSending();
}

void CBoardForm::Suggest() {
    const auto samplesPerCycle = CaptureReal(samplesPerCycle_, Ops().Prompt());
    if (!samplesPerCycle)
        return;
    if (const auto samples = SuggestedSamples(*samplesPerCycle))
        ShowReal(numberOfSamples_, *samples);
}

bool CBoardForm::StartSending() {
    if (!Ops().Write(bridgereg::kFifoReset, kFifoResetAll)) {
        ShowMessage(QStringLiteral("Couldn't Reset Fifo"));
        return false;
    }
    if (!Ops().Send()) {
        ShowMessage(QStringLiteral("Couldn't Send Memory Data"));
        return false;
    }
    return true;
}

} // namespace tarsion
