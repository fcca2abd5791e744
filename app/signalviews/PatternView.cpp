#include "PatternView.h"

#include "PlotExport.h"
#include "board/ChipRegisters.h"
#include "pages/PageConversions.h"

#include <QChart>
#include <QChartView>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineSeries>
#include <QPushButton>
#include <QScrollBar>
#include <QValueAxis>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace tarsion {

namespace {
const QColor kIColor(0x1f, 0x77, 0xb4);
const QColor kQColor(0xff, 0x7f, 0x0e);
const QColor kMarkerColor(0x2c, 0xa0, 0x2c);
constexpr double kSpectrumTop = 10.0;
constexpr double kSpectrumBottom = -150.0;
constexpr double kWheelZoom = 0.8;
constexpr std::size_t kFewestShown = 8;
constexpr int kFallbackColumns = 1000;

const char* KindName(std::int32_t kind) {
    switch (kind) {
    case 1:
        return "Sine Wave";
    case 2:
        return "Cos Wave";
    default:
        return "DC";
    }
}

} // namespace

CPatternView::CPatternView(CTarsionDoc& doc, QWidget* parent)
    : QWidget(parent), doc_(doc), redraw_([this] { Redraw(); }) {
    setObjectName(QStringLiteral("patternView"));
    auto* layout = new QVBoxLayout(this);
    auto* middle = new QHBoxLayout();
    plots_ = new QWidget(this);
    auto* plotLayout = new QVBoxLayout(plots_);
    plotLayout->setContentsMargins(0, 0, 0, 0);
    time_ = CreateChart(plots_, QStringLiteral("Pattern memory"), QStringLiteral("Sample pair"),
                        QStringLiteral("Fraction of full scale"));
    iTime_ = time_.AddSeries(QStringLiteral("I"), kIColor);
    qTime_ = time_.AddSeries(QStringLiteral("Q"), kQColor);
    time_.y->setRange(-1.0, 1.0);
    time_.y->setTickCount(5);
    time_.x->setLabelFormat(QStringLiteral("%.0f"));
    time_.view->setRubberBand(QChartView::HorizontalRubberBand);
    time_.view->installEventFilter(this);
    time_.view->setFocusPolicy(Qt::StrongFocus);
    pan_ = new QScrollBar(Qt::Horizontal, plots_);
    spectrum_ =
        CreateChart(plots_, QStringLiteral("Spectrum (Hann window)"), QString(), QStringLiteral("dBFS"));
    iSpectrum_ = spectrum_.AddSeries(QStringLiteral("I"), kIColor);
    qSpectrum_ = spectrum_.AddSeries(QStringLiteral("Q"), kQColor);
    marker_ = spectrum_.AddSeries(QStringLiteral("Pattern frequency"), kMarkerColor, Qt::DashLine);
    spectrum_.y->setRange(kSpectrumBottom, kSpectrumTop);
    spectrum_.y->setTickCount(9);
    plotLayout->addWidget(time_.view, 1);
    plotLayout->addWidget(pan_);
    plotLayout->addWidget(spectrum_.view, 1);
    figures_ = CreateFiguresLabel(this, QStringLiteral("patternFigures"));
    middle->addWidget(plots_, 1);
    middle->addWidget(figures_);
    layout->addLayout(middle, 1);

    auto* bottom = new QHBoxLayout();
    auto* whole = new QPushButton(QStringLiteral("Whole Pattern"), this);
    bottom->addWidget(whole);
    bottom->addWidget(
        CreateExportButtons(this, QStringLiteral("pattern"),
                            {[this](const QString& path) { return ExportPng(*plots_, path); },
                             [this](const QString& path) {
                                 return ExportSvg(*plots_, path, QStringLiteral("Pattern memory"));
                             },
                             [this](const QString& path) { return ExportText(path, CsvText()); }}),
        1);
    layout->addLayout(bottom);

    connect(whole, &QPushButton::clicked, this, &CPatternView::ShowWholePattern);
    connect(pan_, &QScrollBar::valueChanged, this,
            [this](int value) { ShowSamples(static_cast<std::size_t>(std::max(value, 0)), count_); });
    connect(time_.x, &QValueAxis::rangeChanged, this, &CPatternView::OnTimeRangeChanged);
    doc_.AddObserver(this);
    redraw_.MarkStale(false);
}

CPatternView::~CPatternView() {
    doc_.RemoveObserver(this);
}

CPatternView::DrawnState CPatternView::CurrentState() const {
    const RegisterShadow& shadow = doc_.Shadow();
    return {doc_.loaded.Generation(), shadow.FetchBridgeReg(bridgereg::kBoardControl),
            shadow.FetchChipReg(chipreg::kSymbolFrequency), shadow.SysClk(), shadow.ClockPin()};
}

void CPatternView::OnDocumentUpdate() {
    // Called for every log line and register store: only compare, never draw here.
    if (!redraw_.Stale() && CurrentState() == drawn_)
        return;
    redraw_.MarkStale(isVisible());
}

void CPatternView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    redraw_.Shown();
}

void CPatternView::Analyse() {
    analysedGeneration_ = doc_.loaded.Generation();
    const std::optional<LoadedPattern>& pattern = doc_.loaded.Pattern();
    analysis_ = pattern ? AnalysePattern(pattern->pairs, fft_) : PatternAnalysis{};
    patternFrequency_ =
        pattern && pattern->generated ? GeneratedPatternFrequency(pattern->settings) : std::nullopt;
    first_ = 0;
    count_ = PatternLength();
}

void CPatternView::Redraw() {
    drawn_ = CurrentState();
    if (analysedGeneration_ != drawn_.generation)
        Analyse();
    DrawTime();
    DrawSpectrum();
    DrawFigures();
}

void CPatternView::DrawTime() {
    const int width = static_cast<int>(time_.chart->plotArea().width());
    const std::size_t columns = static_cast<std::size_t>(width > 0 ? width : kFallbackColumns);
    iTime_->replace(EnvelopePoints(analysis_.i, first_, count_, columns, 1.0, false));
    qTime_->replace(EnvelopePoints(analysis_.q, first_, count_, columns, 1.0, false));
    settingRange_ = true;
    time_.x->setRange(static_cast<double>(first_),
                      static_cast<double>(first_ + std::max<std::size_t>(count_, 2) - 1));
    const int hidden = static_cast<int>(PatternLength() - count_);
    pan_->blockSignals(true);
    pan_->setRange(0, std::max(hidden, 0));
    pan_->setPageStep(static_cast<int>(std::max<std::size_t>(count_, 1)));
    pan_->setSingleStep(static_cast<int>(std::max<std::size_t>(count_ / 10, 1)));
    pan_->setValue(static_cast<int>(first_));
    pan_->blockSignals(false);
    settingRange_ = false;
}

void CPatternView::DrawSpectrum() {
    const std::optional<double> dataClk = DataClkHz(doc_.Shadow());
    const FrequencyAxisScale scale = FrequencyAxisFor(dataClk, 0.5, QStringLiteral("DataClk"));
    const std::size_t bins = analysis_.iSpectrumDbfs.size();
    const double binStep =
        PatternLength() > 0 ? scale.perMultiple / static_cast<double>(PatternLength()) : 0.0;
    const int width = static_cast<int>(spectrum_.chart->plotArea().width());
    const std::size_t columns = static_cast<std::size_t>(width > 0 ? width : kFallbackColumns);
    // Peaks matter in a spectrum: a column shows its largest bin.
    iSpectrum_->replace(EnvelopePoints(analysis_.iSpectrumDbfs, 0, bins, columns, binStep, true));
    qSpectrum_->replace(EnvelopePoints(analysis_.qSpectrumDbfs, 0, bins, columns, binStep, true));
    spectrum_.x->setTitleText(scale.title);
    spectrum_.x->setRange(0, 0.5 * scale.perMultiple);
    if (patternFrequency_ && bins > 0) {
        const double x = *patternFrequency_ * scale.perMultiple;
        marker_->replace({{x, kSpectrumBottom}, {x, kSpectrumTop}});
    } else {
        marker_->clear();
    }
}

void CPatternView::DrawFigures() {
    const std::optional<LoadedPattern>& pattern = doc_.loaded.Pattern();
    if (!pattern) {
        figures_->setText(
            QStringLiteral("<b>Pattern memory</b><p>Nothing loaded since the program started.</p>"));
        return;
    }
    const PatternSettings& s = pattern->settings;
    QString text = QStringLiteral("<b>Pattern memory</b><br>");
    if (pattern->generated) {
        text += QStringLiteral("Generated: I %1, amplitude %2; Q %3, amplitude %4<br>Samples per cycle: %5")
                    .arg(QString::fromLatin1(KindName(s.iKind)))
                    .arg(s.iAmplitude)
                    .arg(QString::fromLatin1(KindName(s.qKind)))
                    .arg(s.qAmplitude)
                    .arg(s.samplesPerCycle, 0, 'g', 15);
    } else {
        text += QStringLiteral("File: %1").arg(QString::fromStdString(s.fileName).toHtmlEscaped());
    }
    text += QStringLiteral("<br>%1 sample pairs").arg(PatternLength());
    const std::optional<double> dataClk = DataClkHz(doc_.Shadow());
    text += QStringLiteral("<p>DataClk: %1")
                .arg(dataClk ? QString::fromStdString(pageconv::FormatFrequency(*dataClk))
                             : QStringLiteral("unknown"));
    if (patternFrequency_) {
        text += QStringLiteral("<br>Pattern frequency: %1 x DataClk").arg(*patternFrequency_, 0, 'g', 8);
        if (dataClk)
            text += QStringLiteral(" = %1").arg(
                QString::fromStdString(pageconv::FormatFrequency(*patternFrequency_ * *dataClk)));
    }
    text += QStringLiteral("</p>");
    for (const auto& [name, levels] :
         {std::pair{"I", &analysis_.iSpectrumDbfs}, std::pair{"Q", &analysis_.qSpectrumDbfs}}) {
        if (levels->empty())
            continue;
        const auto peak = std::max_element(levels->begin(), levels->end());
        const double bin = static_cast<double>(peak - levels->begin());
        text += QStringLiteral("%1 peak: %2 dBFS at %3 x DataClk<br>")
                    .arg(QString::fromLatin1(name))
                    .arg(*peak, 0, 'f', 2)
                    .arg(bin / static_cast<double>(PatternLength()), 0, 'g', 8);
    }
    text += QStringLiteral("<p>Shown: pairs %1 to %2</p>")
                .arg(first_)
                .arg(first_ + count_ - (count_ > 0 ? 1 : 0));
    figures_->setText(text);
}

bool CPatternView::ShowSamples(std::size_t first, std::size_t count) {
    const std::size_t length = PatternLength();
    count = std::clamp(count, std::min(kFewestShown, length), length);
    first = std::min(first, length - count);
    if (first == first_ && count == count_)
        return false;
    first_ = first;
    count_ = count;
    DrawTime();
    DrawFigures();
    return true;
}

void CPatternView::ShowWholePattern() {
    ShowSamples(0, PatternLength());
}

qsizetype CPatternView::TimePointCount() const {
    return iTime_->count();
}

void CPatternView::Zoom(double factor, double centre) {
    const double count = std::max(static_cast<double>(count_) * factor, 1.0);
    const double first = centre - (centre - static_cast<double>(first_)) * factor;
    ShowSamples(static_cast<std::size_t>(std::max(first, 0.0)),
                static_cast<std::size_t>(std::llround(count)));
}

void CPatternView::OnTimeRangeChanged(double min, double max) {
    // The rubber band and its right-click zoom-out move the axis; follow them.
    if (settingRange_)
        return;
    const double first = std::max(std::floor(min), 0.0);
    // Samples already shown: put the axis back on them.
    if (!ShowSamples(static_cast<std::size_t>(first),
                     static_cast<std::size_t>(std::max(std::ceil(max) - first + 1, 1.0))))
        DrawTime();
}

bool CPatternView::eventFilter(QObject* watched, QEvent* event) {
    if (watched != time_.view || PatternLength() == 0)
        return QWidget::eventFilter(watched, event);
    if (event->type() == QEvent::Wheel) {
        auto* wheel = static_cast<QWheelEvent*>(event);
        const QPointF value = time_.chart->mapToValue(time_.view->mapToScene(wheel->position().toPoint()));
        Zoom(wheel->angleDelta().y() > 0 ? kWheelZoom : 1.0 / kWheelZoom, value.x());
        return true;
    }
    if (event->type() == QEvent::KeyPress) {
        const double centre = static_cast<double>(first_) + static_cast<double>(count_) / 2.0;
        switch (static_cast<QKeyEvent*>(event)->key()) {
        case Qt::Key_Plus:
            Zoom(kWheelZoom, centre);
            return true;
        case Qt::Key_Minus:
            Zoom(1.0 / kWheelZoom, centre);
            return true;
        case Qt::Key_Left:
            ShowSamples(first_ - std::min(first_, std::max<std::size_t>(count_ / 10, 1)), count_);
            return true;
        case Qt::Key_Right:
            ShowSamples(first_ + std::max<std::size_t>(count_ / 10, 1), count_);
            return true;
        case Qt::Key_Home:
            ShowWholePattern();
            return true;
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

QString CPatternView::FiguresText() const {
    return figures_->text();
}

QString CPatternView::CsvText() const {
    QString csv = QStringLiteral("pair,i,q,bin,frequency_x_dataclk,i_dbfs,q_dbfs\n");
    const std::size_t bins = analysis_.iSpectrumDbfs.size();
    for (std::size_t n = 0; n < PatternLength(); ++n) {
        csv +=
            QStringLiteral("%1,%2,%3").arg(n).arg(analysis_.i[n], 0, 'g', 10).arg(analysis_.q[n], 0, 'g', 10);
        if (n < bins)
            csv += QStringLiteral(",%1,%2,%3,%4")
                       .arg(n)
                       .arg(static_cast<double>(n) / static_cast<double>(PatternLength()), 0, 'g', 12)
                       .arg(analysis_.iSpectrumDbfs[n], 0, 'g', 10)
                       .arg(analysis_.qSpectrumDbfs[n], 0, 'g', 10);
        else
            csv += QStringLiteral(",,,,");
        csv += QLatin1Char('\n');
    }
    return csv;
}

} // namespace tarsion
