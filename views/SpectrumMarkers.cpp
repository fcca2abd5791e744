#include "views/SpectrumMarkers.h"

#include <QChart>
#include <QChartView>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLegendMarker>
#include <QMouseEvent>
#include <QPushButton>
#include <QScatterSeries>
#include <QTableWidget>
#include <QVBoxLayout>
#include <QValueAxis>

#include <algorithm>

namespace tarsion {

namespace {
const QColor kMarkerColor(0xd6, 0x27, 0x28);
const QColor kDeltaColor(0x94, 0x67, 0xbd);
// A click lands on the highest point within this many pixels of it.
constexpr double kClickPixels = 4.0;
const QString kDelta = QString(QChar(0x0394));

QScatterSeries* AddMarkerSeries(const ChartParts& chart, const QString& name, const QColor& color) {
    auto* series = new QScatterSeries(chart.chart);
    series->setName(name);
    series->setColor(color);
    series->setBorderColor(color);
    series->setMarkerSize(9);
    series->setPointLabelsFormat(name);
    series->setPointLabelsVisible(true);
    series->setPointLabelsColor(color);
    chart.chart->addSeries(series);
    series->attachAxis(chart.x);
    series->attachAxis(chart.y);
    for (QLegendMarker* marker : chart.chart->legend()->markers(series))
        marker->setVisible(false);
    return series;
}
} // namespace

CSpectrumMarkers::CSpectrumMarkers(const ChartParts& spectrum, QWidget* parent)
    : QWidget(parent), spectrum_(spectrum) {
    setObjectName(QStringLiteral("spectrumMarkers"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* buttons = new QHBoxLayout();
    auto* peak = new QPushButton(QStringLiteral("Peak Search"), this);
    peak->setObjectName(QStringLiteral("peakSearch"));
    peak->setToolTip(QStringLiteral("Puts the marker on the highest peak"));
    auto* next = new QPushButton(QStringLiteral("Next Peak"), this);
    next->setObjectName(QStringLiteral("nextPeak"));
    next->setToolTip(QStringLiteral("Moves the marker to the next lower peak"));
    deltaButton_ = new QPushButton(QStringLiteral("Delta"), this);
    deltaButton_->setObjectName(QStringLiteral("deltaMarker"));
    deltaButton_->setCheckable(true);
    deltaButton_->setToolTip(QStringLiteral("A second marker, read against the first"));
    auto* clear = new QPushButton(QStringLiteral("Clear"), this);
    clear->setObjectName(QStringLiteral("clearMarkers"));
    for (QPushButton* button : {peak, next, deltaButton_, clear})
        buttons->addWidget(button);
    buttons->addStretch(1);
    layout->addLayout(buttons);
    table_ = new QTableWidget(2, 3, this);
    table_->setObjectName(QStringLiteral("markerTable"));
    table_->setHorizontalHeaderLabels(
        {QStringLiteral("Marker"), QStringLiteral("Frequency"), QStringLiteral("Level")});
    table_->verticalHeader()->hide();
    table_->setToolTip(
        QStringLiteral("The level of the bin under each marker: a tone between two bins reads a "
                       "little below the level the peak table gives its whole lobe"));
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    table_->setFixedHeight(table_->horizontalHeader()->sizeHint().height() + 2 * table_->rowHeight(0) +
                           2 * table_->frameWidth());
    layout->addWidget(table_);
    markerSeries_ = AddMarkerSeries(spectrum_, QStringLiteral("M1"), kMarkerColor);
    deltaSeries_ = AddMarkerSeries(spectrum_, QStringLiteral("D2"), kDeltaColor);
    viewport_ = spectrum_.view->viewport();
    viewport_->installEventFilter(this);
    spectrum_.view->setToolTip(QStringLiteral("Click to place a marker"));

    connect(peak, &QPushButton::clicked, this, &CSpectrumMarkers::PeakSearch);
    connect(next, &QPushButton::clicked, this, &CSpectrumMarkers::NextPeak);
    connect(deltaButton_, &QPushButton::toggled, this, &CSpectrumMarkers::SetDelta);
    connect(clear, &QPushButton::clicked, this, &CSpectrumMarkers::Clear);
    Show();
}

std::optional<std::size_t> CSpectrumMarkers::Reattach(const SpectrumTrace* trace,
                                                      std::optional<double> frequency) {
    if (!trace || trace->Empty() || !frequency)
        return std::nullopt;
    return NearestPoint(*trace, *frequency);
}

void CSpectrumMarkers::SetTrace(const SpectrumTrace* trace, double axisPerCycle,
                                std::optional<double> sampleRateHz) {
    trace_ = trace;
    axisPerCycle_ = axisPerCycle;
    sampleRate_ = sampleRateHz;
    marker_ = Reattach(trace_, markerFrequency_);
    delta_ = Reattach(trace_, deltaFrequency_);
    Show();
}

void CSpectrumMarkers::Move(std::size_t index) {
    Moving() = index;
    (delta_ ? deltaFrequency_ : markerFrequency_) = trace_->frequency[index];
    Show();
}

void CSpectrumMarkers::PlaceNear(double frequency) {
    if (!trace_ || trace_->Empty())
        return;
    const double width = std::max(spectrum_.chart->plotArea().width(), 1.0);
    const auto radius = static_cast<std::size_t>(
        std::max(1.0, kClickPixels * static_cast<double>(trace_->dbfs.size()) / width));
    Move(HighestNear(*trace_, NearestPoint(*trace_, frequency), radius));
}

void CSpectrumMarkers::PeakSearch() {
    if (const std::optional<std::size_t> peak = trace_ ? HighestPeak(*trace_) : std::nullopt)
        Move(*peak);
}

void CSpectrumMarkers::NextPeak() {
    const std::optional<std::size_t> from = Moving();
    if (!from) {
        PeakSearch();
        return;
    }
    if (const std::optional<std::size_t> next = tarsion::NextPeak(*trace_, *from))
        Move(*next);
}

void CSpectrumMarkers::SetDelta(bool on) {
    if (deltaButton_->isChecked() != on) {
        const QSignalBlocker block(deltaButton_);
        deltaButton_->setChecked(on);
    }
    if (!on) {
        delta_.reset();
        deltaFrequency_.reset();
    } else if (!delta_) {
        // The delta marker starts where the marker is.
        if (!marker_)
            PeakSearch();
        delta_ = marker_;
        deltaFrequency_ = markerFrequency_;
    }
    Show();
}

void CSpectrumMarkers::Clear() {
    SetDelta(false);
    marker_.reset();
    markerFrequency_.reset();
    Show();
}

QString CSpectrumMarkers::FrequencyText(double cyclesPerSample, bool difference) const {
    const QString prefix = difference ? kDelta : QString();
    if (!sampleRate_)
        return prefix + QStringLiteral("%1 cyc/sample").arg(cyclesPerSample, 0, 'g', 6);
    return prefix + CompactFrequency(cyclesPerSample * *sampleRate_);
}

void CSpectrumMarkers::Show() {
    const auto point = [this](std::size_t k) {
        return QPointF(trace_->frequency[k] * axisPerCycle_, trace_->dbfs[k]);
    };
    const auto cell = [this](int row, int column, const QString& text) {
        auto* item = table_->item(row, column);
        if (!item) {
            item = new QTableWidgetItem;
            table_->setItem(row, column, item);
        }
        item->setText(text);
    };
    const bool marked = trace_ && marker_;
    const bool delta = trace_ && delta_;
    markerSeries_->replace(marked ? QList<QPointF>{point(*marker_)} : QList<QPointF>{});
    deltaSeries_->replace(delta ? QList<QPointF>{point(*delta_)} : QList<QPointF>{});
    cell(0, 0, QStringLiteral("M1"));
    cell(0, 1, marked ? FrequencyText(trace_->frequency[*marker_], false) : NoFigure());
    cell(0, 2, marked ? FigureText(trace_->dbfs[*marker_], 2, QStringLiteral("dBFS")) : NoFigure());
    cell(1, 0, QStringLiteral("D2"));
    cell(1, 1,
         delta && marked ? FrequencyText(trace_->frequency[*delta_] - trace_->frequency[*marker_], true)
                         : NoFigure());
    cell(1, 2,
         delta && marked
             ? kDelta + FigureText(trace_->dbfs[*delta_] - trace_->dbfs[*marker_], 2, QStringLiteral("dB"))
             : NoFigure());
}

bool CSpectrumMarkers::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonPress && watched == viewport_) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        const QPointF scene = spectrum_.view->mapToScene(mouse->position().toPoint());
        if (mouse->button() == Qt::LeftButton && spectrum_.chart->plotArea().contains(scene) &&
            axisPerCycle_ > 0)
            PlaceNear(spectrum_.chart->mapToValue(scene).x() / axisPerCycle_);
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace tarsion
