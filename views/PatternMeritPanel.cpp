#include "views/PatternMeritPanel.h"

#include "views/ChartParts.h"
#include "views/FigureTable.h"
#include "views/RelativeFrequencyEdit.h"

#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QSpinBox>
#include <QVBoxLayout>

#include <cmath>
#include <functional>

namespace tarsion {

namespace {
const QString kChannelKey = QStringLiteral("PatternFigureChannel");
const QString kPeaksKey = QStringLiteral("PatternPeaks");
const QString kWidthKey = QStringLiteral("PatternChannelWidth");
const QString kOffsetsKey = QStringLiteral("PatternChannelOffsets");
constexpr int kMostPeaks = 50;
constexpr int kDefaultPeaks = 10;

// Finite numbers of magnitude at most `largest`, separated by blanks, no more than a list edit takes;
// anything else gives none.
std::vector<double> StoredNumbers(const QString& text, double largest) {
    std::vector<double> values;
    const QStringList parts = text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (parts.size() > CRelativeFrequencyEdit::kMostValues)
        return {};
    for (const QString& part : parts) {
        bool ok = false;
        const double value = part.toDouble(&ok);
        if (!ok || !std::isfinite(value) || std::abs(value) > largest)
            return {};
        values.push_back(value);
    }
    return values;
}

QString StoredText(const std::vector<double>& values) {
    QStringList parts;
    for (const double value : values)
        parts.append(QString::number(value, 'g', 17));
    return parts.join(QLatin1Char(' '));
}
} // namespace

CPatternMeritPanel::CPatternMeritPanel(IViewSettings& settings, QWidget* parent)
    : QWidget(parent), settings_(settings) {
    setObjectName(QStringLiteral("patternMeritPanel"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* form = new QFormLayout();
    channel_ = new QComboBox(this);
    channel_->setObjectName(QStringLiteral("figureChannel"));
    channel_->addItems({QStringLiteral("I"), QStringLiteral("Q"), QStringLiteral("I+jQ")});
    channel_->setToolTip(QStringLiteral("The channel of the peak table and the markers"));
    peaks_ = new QSpinBox(this);
    peaks_->setObjectName(QStringLiteral("figurePeaks"));
    peaks_->setRange(1, kMostPeaks);
    width_ = new CRelativeFrequencyEdit(false, this);
    width_->setObjectName(QStringLiteral("figureChannelWidth"));
    width_->setToolTip(QStringLiteral("Channel power is taken over this width about DC; empty: none"));
    offsets_ = new CRelativeFrequencyEdit(true, this);
    offsets_->setObjectName(QStringLiteral("figureChannelOffsets"));
    offsets_->setToolTip(QStringLiteral("Centres of the adjacent channels, separated by commas; empty: one "
                                        "channel width either side"));
    widthLabel_ = new QLabel(this);
    offsetsLabel_ = new QLabel(this);
    form->addRow(QStringLiteral("Channel"), channel_);
    form->addRow(QStringLiteral("Peaks"), peaks_);
    form->addRow(widthLabel_, width_);
    form->addRow(offsetsLabel_, offsets_);
    layout->addLayout(form);
    note_ = new QLabel(this);
    note_->hide();
    layout->addWidget(note_);
    windows_ = new QLabel(this);
    windows_->setObjectName(QStringLiteral("patternWindows"));
    layout->addWidget(windows_);
    table_ = new CFigureTable(QStringLiteral("patternMeritTable"), this);
    layout->addWidget(table_);
    peakTable_ = new CFigureTable(QStringLiteral("patternPeakTable"), this);
    layout->addWidget(peakTable_);
    Restore();
    SetSampleRate(std::nullopt);

    connect(channel_, &QComboBox::currentIndexChanged, this, [this] {
        Save();
        ShowFigures(merits_ ? &*merits_ : nullptr);
        emit channelChanged();
    });
    connect(peaks_, &QSpinBox::valueChanged, this, [this] {
        Save();
        emit optionsChanged();
    });
    connect(width_, &CRelativeFrequencyEdit::committed, this, &CPatternMeritPanel::CommitChannel);
    connect(offsets_, &CRelativeFrequencyEdit::committed, this, &CPatternMeritPanel::CommitChannel);
}

void CPatternMeritPanel::Restore() {
    bool ok = false;
    const int channel = settings_.ViewSetting(kChannelKey).toInt(&ok);
    channel_->setCurrentIndex(ok && channel >= 0 && channel <= 2 ? channel : 0);
    const int peaks = settings_.ViewSetting(kPeaksKey).toInt(&ok);
    peaks_->setValue(ok && peaks >= 1 && peaks <= kMostPeaks ? peaks : kDefaultPeaks);
    std::vector<double> width = StoredNumbers(settings_.ViewSetting(kWidthKey), 1.0);
    if (width.size() != 1 || !(width.front() > 0))
        width.clear();
    width_->SetValues(width);
    offsets_->SetValues(StoredNumbers(settings_.ViewSetting(kOffsetsKey), 1.0));
}

void CPatternMeritPanel::Save() {
    settings_.SetViewSetting(kChannelKey, QString::number(channel_->currentIndex()));
    settings_.SetViewSetting(kPeaksKey, QString::number(peaks_->value()));
    settings_.SetViewSetting(kWidthKey, StoredText(width_->Values()));
    settings_.SetViewSetting(kOffsetsKey, StoredText(offsets_->Values()));
}

PatternMeritOptions CPatternMeritPanel::Options() const {
    PatternMeritOptions options;
    options.peaks = peaks_->value();
    options.channelWidth = width_->Value();
    options.channelOffsets = offsets_->Values();
    return options;
}

PatternChannel CPatternMeritPanel::Channel() const {
    return static_cast<PatternChannel>(channel_->currentIndex());
}

void CPatternMeritPanel::SetSampleRate(std::optional<double> hz) {
    sampleRate_ = hz;
    const QString unit = hz ? QString() : QStringLiteral(" (cycles/sample)");
    widthLabel_->setText(QStringLiteral("Channel width") + unit);
    offsetsLabel_->setText(QStringLiteral("Adjacent offsets") + unit);
    width_->SetReference(hz);
    offsets_->SetReference(hz);
}

void CPatternMeritPanel::CommitChannel() {
    const std::optional<double> width = width_->Value();
    bool sound = !width || (*width > 0 && *width <= 1.0);
    for (const double offset : offsets_->Values())
        sound = sound && std::abs(offset) <= 1.0;
    if (!sound) {
        // Put back what the figures were taken with.
        const std::vector<double> stored = StoredNumbers(settings_.ViewSetting(kWidthKey), 1.0);
        width_->SetValues(stored.size() == 1 ? stored : std::vector<double>{});
        offsets_->SetValues(StoredNumbers(settings_.ViewSetting(kOffsetsKey), 1.0));
        note_->setText(QStringLiteral(
            "The channel width must be above 0 and,\nlike each offset, at most the sample rate."));
        note_->show();
        return;
    }
    note_->hide();
    Save();
    emit optionsChanged();
}

QString CPatternMeritPanel::FrequencyText(double cyclesPerSample) const {
    if (std::isnan(cyclesPerSample))
        return NoFigure();
    if (!sampleRate_)
        return QStringLiteral("%1 cyc/sample").arg(cyclesPerSample, 0, 'g', 6);
    return CompactFrequency(cyclesPerSample * *sampleRate_);
}

void CPatternMeritPanel::ShowFigures(const PatternMeritSet* merits) {
    merits_ = merits ? std::optional<PatternMeritSet>(*merits) : std::nullopt;
    if (!merits) {
        windows_->clear();
        table_->Show({}, {});
        peakTable_->Show({}, {});
        return;
    }
    const PatternMerit* columns[] = {&merits->i, &merits->q, &merits->iq};
    const auto window = [](const PatternMerit& m) { return QString::fromLatin1(WindowName(m.window)); };
    windows_->setText(merits->i.window == merits->q.window && merits->q.window == merits->iq.window
                          ? QStringLiteral("Window: %1").arg(window(merits->i))
                          : QStringLiteral("Windows: I %1, Q %2,\nI+jQ %3")
                                .arg(window(merits->i), window(merits->q), window(merits->iq)));
    struct Row {
        QString name;
        std::function<QString(const PatternMerit&)> text;
    };
    const auto number = [](double value, int decimals) { return FigureText(value, decimals, QString()); };
    std::vector<Row> rows = {
        {QStringLiteral("Tone"),
         [this](const PatternMerit& m) { return FrequencyText(m.fundamentalFrequency); }},
        {QStringLiteral("Tone (dBFS)"), [&](const PatternMerit& m) { return number(m.fundamentalDbfs, 2); }},
        {QStringLiteral("SFDR (dB)"), [&](const PatternMerit& m) { return number(m.sfdrDb, 2); }},
        {QStringLiteral("SNR (dB)"), [&](const PatternMerit& m) { return number(m.snrDb, 2); }},
        {QStringLiteral("SINAD (dB)"), [&](const PatternMerit& m) { return number(m.sinadDb, 2); }},
        {QStringLiteral("THD (dB)"), [&](const PatternMerit& m) { return number(m.thdDb, 2); }},
        {QStringLiteral("ENOB (bits)"), [&](const PatternMerit& m) { return number(m.enob, 2); }},
    };
    const PatternMeritOptions options = Options();
    if (options.channelWidth) {
        rows.push_back({QStringLiteral("Channel (dBFS)"), [&](const PatternMerit& m) {
                            return m.channelPowerDbfs ? number(*m.channelPowerDbfs, 2) : NoFigure();
                        }});
        const std::vector<double> offsets =
            options.channelOffsets.empty()
                ? std::vector<double>{-*options.channelWidth, *options.channelWidth}
                : options.channelOffsets;
        for (std::size_t k = 0; k < offsets.size(); ++k)
            rows.push_back({QStringLiteral("ACLR %1 (dB)").arg(FrequencyText(offsets[k])),
                            [&, k](const PatternMerit& m) {
                                return k < m.aclrDb.size() ? number(m.aclrDb[k], 2) : NoFigure();
                            }});
    }
    std::vector<QStringList> cells;
    for (const Row& row : rows) {
        QStringList line = {row.name};
        for (const PatternMerit* column : columns)
            line.append(row.text(*column));
        cells.push_back(line);
    }
    table_->Show({QString(), QStringLiteral("I"), QStringLiteral("Q"), QStringLiteral("I+jQ")}, cells);

    const PatternMerit& chosen = *columns[channel_->currentIndex()];
    std::vector<QStringList> peaks;
    for (std::size_t k = 0; k < chosen.peaks.size(); ++k)
        peaks.push_back({QString::number(k + 1), FrequencyText(chosen.peaks[k].frequency),
                         number(chosen.peaks[k].dbfs, 2)});
    peakTable_->Show({QStringLiteral("Peak of %1").arg(channel_->currentText()), QStringLiteral("Frequency"),
                      QStringLiteral("dBFS")},
                     peaks);
}

QString CPatternMeritPanel::FiguresText() const {
    return windows_->text() + QLatin1Char('\n') + table_->Text();
}

QString CPatternMeritPanel::PeaksText() const {
    return peakTable_->Text();
}

QString CPatternMeritPanel::NoteText() const {
    return note_->isHidden() ? QString() : note_->text();
}

} // namespace tarsion
