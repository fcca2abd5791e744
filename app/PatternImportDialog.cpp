#include "app/PatternImportDialog.h"

#include "signal/FftwTransform.h"
#include "views/PatternSpectrumChart.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace tarsion {

namespace {
QLabel* Value(QWidget* parent, const QString& name, const QString& text = QString()) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

QString Number(double value) {
    return QString::number(value, 'g', 8);
}
} // namespace

CPatternImportDialog::CPatternImportDialog(ImportPreview preview, std::optional<double> dataClkHz,
                                           QWidget* parent)
    : QDialog(parent), preview_(std::move(preview)), dataClkHz_(dataClkHz),
      fft_(std::make_unique<FftwTransform>()) {
    setObjectName(QStringLiteral("patternImportDialog"));
    setWindowTitle(QStringLiteral("Import Pattern"));
    const ImportReport& report = preview_.prepared->report;
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout();
    form->addRow(QStringLiteral("File:"),
                 Value(this, QStringLiteral("file"), QString::fromStdString(report.file)));
    form->addRow(QStringLiteral("Layout:"),
                 Value(this, QStringLiteral("layout"), QString::fromStdString(report.layout)));
    length_ = Value(this, QStringLiteral("length"));
    form->addRow(QStringLiteral("Length:"), length_);
    range_ = Value(this, QStringLiteral("range"));
    form->addRow(QStringLiteral("Range:"), range_);
    scaling_ = new QComboBox(this);
    scaling_->setObjectName(QStringLiteral("scaling"));
    scaling_->addItem(QStringLiteral("As is"));
    scaling_->addItem(QStringLiteral("Full scale"));
    scale_ = Value(this, QStringLiteral("scale"));
    auto* scalingRow = new QHBoxLayout();
    scalingRow->addWidget(scaling_);
    scalingRow->addWidget(scale_, 1);
    form->addRow(QStringLiteral("Scaling:"), scalingRow);
    clipped_ = Value(this, QStringLiteral("clipped"));
    form->addRow(QStringLiteral("Clipped:"), clipped_);
    form->addRow(QStringLiteral("Negative values:"),
                 Value(this, QStringLiteral("negatives"), QString::fromStdString(report.negatives)));
    layout->addLayout(form);
    spectrum_ = new CPatternSpectrumChart(this);
    // Room for the nine dBFS labels of the axis.
    spectrum_->setMinimumSize(640, 360);
    layout->addWidget(spectrum_, 1);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
    QPushButton* load = buttons->addButton(QStringLiteral("Load"), QDialogButtonBox::AcceptRole);
    load->setObjectName(QStringLiteral("load"));
    load->setDefault(true);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    scaling_->setCurrentIndex(report.scaling == ImportScaling::FullScale ? 1 : 0);
    connect(scaling_, &QComboBox::currentIndexChanged, this, [this](int index) {
        ChooseScaling(index == 1 ? ImportScaling::FullScale : ImportScaling::AsIs);
    });
    ShowReport();
}

CPatternImportDialog::~CPatternImportDialog() = default;

void CPatternImportDialog::ChooseScaling(ImportScaling scaling) {
    if (preview_.prepared->report.scaling == scaling)
        return;
    Rescale(preview_, scaling);
    const QSignalBlocker quiet(scaling_);
    scaling_->setCurrentIndex(scaling == ImportScaling::FullScale ? 1 : 0);
    ShowReport();
}

void CPatternImportDialog::ShowReport() {
    const ImportReport& report = preview_.prepared->report;
    length_->setText(QStringLiteral("%1 sample pairs, %2 words from 0x%3 to 0x3ffff")
                         .arg(report.pairs)
                         .arg(2 * report.pairs)
                         .arg(report.firstAddress, 5, 16, QLatin1Char('0')));
    range_->setText(QStringLiteral("file values %1 to %2, samples %3 to %4")
                        .arg(Number(report.min), Number(report.max))
                        .arg(report.sampleMin)
                        .arg(report.sampleMax));
    const bool integers = preview_.signal->integers;
    scale_->setText(
        report.scaling == ImportScaling::FullScale
            ? QStringLiteral("x %1: the largest magnitude becomes 32767").arg(Number(report.scale))
        : integers ? QStringLiteral("x 1: the integers are the samples")
                   : QStringLiteral("x 32768: 1.0 is full scale"));
    clipped_->setText(
        report.clipped == 0
            ? QStringLiteral("none")
            : QStringLiteral("<b>%1 of %2 samples</b>").arg(report.clipped).arg(2 * report.pairs));
    const PatternAnalysis analysis = AnalysePattern(preview_.prepared->pairs, *fft_);
    spectrum_->Show(analysis.iSpectrumDbfs,
                    preview_.signal->twoChannels ? analysis.qSpectrumDbfs : std::vector<double>(),
                    report.pairs, dataClkHz_);
}

std::optional<ImportPreview> ReviewImport(ImportPreview preview, std::optional<double> dataClkHz,
                                          QWidget* parent) {
    CPatternImportDialog dialog(std::move(preview), dataClkHz, parent);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.Preview();
}

} // namespace tarsion
