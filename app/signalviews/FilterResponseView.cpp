#include "FilterResponseView.h"

#include "PlotExport.h"
#include "board/ChipRegisters.h"
#include "ops/BoardOperations.h"
#include "ops/MemoryReadBack.h"
#include "pages/PageConversions.h"

#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineSeries>
#include <QPushButton>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

namespace tarsion {

namespace {
constexpr int kShownMismatches = 8;
constexpr double kDbRange = 140.0;
const QColor kQuantizedColor(0x1f, 0x77, 0xb4);
const QColor kIdealColor(0xd6, 0x27, 0x28);

QString Text(const std::string& text) {
    return QString::fromStdString(text).toHtmlEscaped();
}

QString Decibels(double db) {
    return db <= kSilenceDb ? QStringLiteral("below %1 dB").arg(kSilenceDb)
                            : QStringLiteral("%1 dB").arg(db, 0, 'f', 1);
}
} // namespace

CFilterResponseView::CFilterResponseView(CTarsionDoc& doc, CBoardOperations& ops, QWidget* parent)
    : QWidget(parent), doc_(doc), ops_(ops), redraw_([this] { Redraw(); }) {
    setObjectName(QStringLiteral("filterResponseView"));
    auto* layout = new QVBoxLayout(this);

    auto* top = new QHBoxLayout();
    channelChoice_ = new QComboBox(this);
    channelChoice_->addItems({QStringLiteral("I Coefficient RAM"), QStringLiteral("Q Coefficient RAM")});
    auto* verify = new QPushButton(QStringLiteral("Verify"), this);
    verify->setToolTip(QStringLiteral("Reads the RAM back and compares it with what was loaded"));
    auto* verifyConstellation = new QPushButton(QStringLiteral("Verify Constellation RAM"), this);
    top->addWidget(channelChoice_);
    top->addWidget(verify);
    top->addWidget(verifyConstellation);
    top->addStretch(1);
    layout->addLayout(top);

    auto* middle = new QHBoxLayout();
    plots_ = new QWidget(this);
    auto* plotLayout = new QVBoxLayout(plots_);
    plotLayout->setContentsMargins(0, 0, 0, 0);
    magnitude_ =
        CreateChart(plots_, QStringLiteral("Magnitude response"), QString(), QStringLiteral("dB (gain / R)"));
    quantizedSeries_ = magnitude_.AddSeries(QStringLiteral("As loaded (RAM)"), kQuantizedColor);
    idealSeries_ = magnitude_.AddSeries(QStringLiteral("Ideal (file x gain)"), kIdealColor);
    impulse_ = CreateChart(plots_, QStringLiteral("Impulse response"), QStringLiteral("Tap"),
                           QStringLiteral("Value"));
    tapSeries_ = impulse_.AddSeries(QStringLiteral("Taps in the RAM"), kQuantizedColor);
    tapSeries_->setPointsVisible(true);
    plotLayout->addWidget(magnitude_.view, 3);
    plotLayout->addWidget(impulse_.view, 2);
    figures_ = CreateFiguresLabel(this, QStringLiteral("filterFigures"));
    middle->addWidget(plots_, 1);
    middle->addWidget(figures_);
    layout->addLayout(middle, 1);

    layout->addWidget(CreateExportButtons(
        this, QStringLiteral("filter-response"),
        {[this](const QString& path) { return ExportPng(*plots_, path); },
         [this](const QString& path) { return ExportSvg(*plots_, path, QStringLiteral("Filter response")); },
         [this](const QString& path) { return ExportText(path, CsvText()); }}));

    connect(channelChoice_, &QComboBox::currentIndexChanged, this, [this](int index) { ShowChannel(index); });
    connect(verify, &QPushButton::clicked, this, [this] {
        CMemoryVerifier(ops_).Verify(channel_ == 0 ? ChipMemory::CoefficientI : ChipMemory::CoefficientQ);
    });
    connect(verifyConstellation, &QPushButton::clicked, this,
            [this] { CMemoryVerifier(ops_).Verify(ChipMemory::Constellation); });
    doc_.AddObserver(this);
    redraw_.MarkStale(false);
}

CFilterResponseView::~CFilterResponseView() {
    doc_.RemoveObserver(this);
}

CFilterResponseView::DrawnState CFilterResponseView::CurrentState() const {
    return {doc_.loaded.Generation(), channel_, doc_.Shadow().FetchChipReg(chipreg::kSymbolFrequency),
            doc_.Shadow().SysClk()};
}

void CFilterResponseView::OnDocumentUpdate() {
    // Called for every log line and register store: only compare, never draw here.
    if (!redraw_.Stale() && CurrentState() == drawn_)
        return;
    redraw_.MarkStale(isVisible());
}

void CFilterResponseView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    redraw_.Shown();
}

void CFilterResponseView::ShowChannel(int which) {
    channel_ = which == 0 ? 0 : 1;
    if (channelChoice_->currentIndex() != channel_)
        channelChoice_->setCurrentIndex(channel_);
    OnDocumentUpdate();
}

void CFilterResponseView::DrawNothing() {
    for (QLineSeries* series : {quantizedSeries_, idealSeries_, tapSeries_})
        series->clear();
    frequencies_.clear();
    quantizedDb_.clear();
    idealDb_.clear();
    taps_.clear();
    idealTaps_.clear();
    figures_->setText(
        QStringLiteral("<b>%1</b><p>Nothing loaded into this RAM since the program started.</p>%2")
            .arg(channelChoice_->currentText(), VerifyLines()));
}

void CFilterResponseView::Analyse(const LoadedCoefficients& loaded) {
    const FilterGeometry& g = loaded.geometry;
    taps_ = TapsFromTable(loaded.words, g);
    idealTaps_ = loaded.idealTaps;
    const auto quantized = FrequencyResponse(taps_, g.rate, kResponsePoints);
    const auto ideal = FrequencyResponse(idealTaps_, g.rate, kResponsePoints);
    quantizedDb_ = MagnitudeDb(quantized, g.rate);
    idealDb_ = MagnitudeDb(ideal, g.rate);
    filterFigures_ = FilterFiguresOf(quantized, ideal, g.rate);
    frequencies_.resize(kResponsePoints);
    for (int k = 0; k < kResponsePoints; ++k)
        frequencies_[k] = ResponseFrequency(k, g.rate, kResponsePoints);
}

void CFilterResponseView::Redraw() {
    const DrawnState previous = drawn_;
    drawn_ = CurrentState();
    const std::optional<LoadedCoefficients>& loaded = doc_.loaded.Coefficients(channel_);
    if (!loaded) {
        DrawNothing();
        return;
    }
    // A new symbol rate or SysClk only rescales the frequency axis: the taps are the same.
    if (drawn_.generation != previous.generation || drawn_.channel != previous.channel)
        Analyse(*loaded);
    const FilterGeometry& g = loaded->geometry;

    const std::optional<double> symbolRate = SymbolRateHz(doc_.Shadow());
    const FrequencyAxisScale scale =
        FrequencyAxisFor(symbolRate, g.rate / 2.0, QStringLiteral("symbol rate"));
    // 2048 points on a few hundred pixels: draw each column's extremes, nulls included.
    const int width = static_cast<int>(magnitude_.chart->plotArea().width());
    const std::size_t columns = static_cast<std::size_t>(width > 0 ? width : kResponsePoints);
    const double step = ResponseFrequency(1, g.rate, kResponsePoints) * scale.perMultiple;
    quantizedSeries_->replace(EnvelopePoints(quantizedDb_, 0, quantizedDb_.size(), columns, step, false));
    idealSeries_->replace(EnvelopePoints(idealDb_, 0, idealDb_.size(), columns, step, false));
    magnitude_.x->setTitleText(scale.title);
    magnitude_.x->setRange(0, g.rate / 2.0 * scale.perMultiple);
    const auto [lowest, highest] = std::minmax_element(quantizedDb_.begin(), quantizedDb_.end());
    const double top = std::ceil((*highest + 5.0) / 10.0) * 10.0;
    magnitude_.y->setRange(std::max(top - kDbRange, std::floor(*lowest / 10.0) * 10.0), top);
    magnitude_.y->applyNiceNumbers();

    QList<QPointF> tapPoints;
    tapPoints.reserve(static_cast<qsizetype>(taps_.size()));
    for (std::size_t n = 0; n < taps_.size(); ++n)
        tapPoints.append({static_cast<double>(n), taps_[n]});
    tapSeries_->replace(tapPoints);
    const auto [low, high] = std::minmax_element(taps_.begin(), taps_.end());
    const double margin = std::max(0.05 * (*high - *low), 1e-3);
    impulse_.x->setRange(0, static_cast<double>(std::max<std::size_t>(taps_.size(), 2) - 1));
    impulse_.y->setRange(*low - margin, *high + margin);
    impulse_.x->applyNiceNumbers();
    impulse_.y->applyNiceNumbers();

    const QString edge = symbolRate ? QString::fromStdString(pageconv::FormatFrequency(*symbolRate))
                                    : QStringLiteral("unknown (register 0x0B is 0)");
    QString text = QStringLiteral("<b>%1</b><br>File: %2<br>Rate %3, %4 taps%5%6")
                       .arg(channelChoice_->currentText(), Text(loaded->fileName))
                       .arg(g.rate)
                       .arg(g.taps)
                       .arg(g.twoBitMode ? QStringLiteral(", 2-bit mode") : QString(),
                            loaded->symmetric ? QStringLiteral(", symmetric") : QString());
    text += QStringLiteral("<p>Gain used: %1 (%2)<br>DC gain: %3 (ideal %4)<br>"
                           "Worst stop band beyond the symbol rate: %5 (re DC)<br>"
                           "Largest difference from the ideal: %6 (%7 re unity)<br>Symbol rate: %8</p>")
                .arg(loaded->gain, 0, 'g', 10)
                .arg(loaded->bestFit ? QStringLiteral("Best Fit") : QStringLiteral("forced"))
                .arg(filterFigures_.dcGain, 0, 'f', 6)
                .arg(filterFigures_.idealDcGain, 0, 'f', 6)
                .arg(Decibels(filterFigures_.stopBandDb))
                .arg(filterFigures_.largestDifference, 0, 'g', 3)
                .arg(Decibels(filterFigures_.largestDifference > 0
                                  ? 20.0 * std::log10(filterFigures_.largestDifference)
                                  : kSilenceDb))
                .arg(edge);
    figures_->setText(text + VerifyLines());
}

QString CFilterResponseView::VerifyLines() const {
    const std::pair<ChipMemory, const char*> memories[] = {{ChipMemory::CoefficientI, "I Coefficient RAM"},
                                                           {ChipMemory::CoefficientQ, "Q Coefficient RAM"},
                                                           {ChipMemory::Constellation, "Constellation RAM"}};
    QString text = QStringLiteral("<p><b>Read back</b>");
    for (const auto& [memory, name] : memories) {
        const std::optional<VerifyReport>& report = doc_.loaded.LastVerify(memory);
        text += QStringLiteral("<br>%1: %2")
                    .arg(QString::fromLatin1(name),
                         report ? Text(report->summary) : QStringLiteral("not verified"));
    }
    text += QStringLiteral("</p>");
    const std::optional<VerifyReport>& shown =
        doc_.loaded.LastVerify(channel_ == 0 ? ChipMemory::CoefficientI : ChipMemory::CoefficientQ);
    if (shown && !shown->mismatches.empty()) {
        text += QStringLiteral("<p><tt>");
        const int count = static_cast<int>(shown->mismatches.size());
        for (int i = 0; i < std::min(count, kShownMismatches); ++i) {
            const WordMismatch& m = shown->mismatches[static_cast<std::size_t>(i)];
            text += QStringLiteral("%1: expected %2 read %3<br>")
                        .arg(m.address, 2, 16, QLatin1Char('0'))
                        .arg(Text(m.expected), Text(m.read));
        }
        if (count > kShownMismatches)
            text += QStringLiteral("... %1 more in the log").arg(count - kShownMismatches);
        text += QStringLiteral("</tt></p>");
    }
    return text;
}

QString CFilterResponseView::FiguresText() const {
    return figures_->text();
}

QString CFilterResponseView::CsvText() const {
    QString csv = QStringLiteral("frequency_x_symbol_rate,loaded_db,ideal_db,tap,loaded_tap,ideal_tap\n");
    const std::size_t rows = std::max(frequencies_.size(), taps_.size());
    for (std::size_t row = 0; row < rows; ++row) {
        if (row < frequencies_.size())
            csv += QStringLiteral("%1,%2,%3")
                       .arg(frequencies_[row], 0, 'g', 12)
                       .arg(quantizedDb_[row], 0, 'g', 12)
                       .arg(idealDb_[row], 0, 'g', 12);
        else
            csv += QStringLiteral(",,");
        if (row < taps_.size())
            csv += QStringLiteral(",%1,%2,%3")
                       .arg(row)
                       .arg(taps_[row], 0, 'g', 17)
                       .arg(row < idealTaps_.size() ? idealTaps_[row] : 0.0, 0, 'g', 17);
        else
            csv += QStringLiteral(",,,");
        csv += QLatin1Char('\n');
    }
    return csv;
}

} // namespace tarsion
