#include "views/PatternSpectrumChart.h"

#include <QChart>
#include <QChartView>
#include <QLineSeries>
#include <QResizeEvent>
#include <QVBoxLayout>
#include <QValueAxis>

namespace tarsion {

namespace {
const QColor kIColor(0x1f, 0x77, 0xb4);
const QColor kQColor(0xff, 0x7f, 0x0e);
constexpr double kTop = 10.0;
constexpr double kBottom = -150.0;
constexpr int kFallbackColumns = 600;
} // namespace

CPatternSpectrumChart::CPatternSpectrumChart(QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    chart_ = CreateChart(this, QStringLiteral("Spectrum (Hann window)"), QString(), QStringLiteral("dBFS"));
    i_ = chart_.AddSeries(QStringLiteral("I"), kIColor);
    q_ = chart_.AddSeries(QStringLiteral("Q"), kQColor);
    chart_.y->setRange(kBottom, kTop);
    chart_.y->setTickCount(9);
    layout->addWidget(chart_.view);
}

void CPatternSpectrumChart::Show(std::vector<double> iDbfs, std::vector<double> qDbfs, std::size_t length,
                                 std::optional<double> dataClkHz) {
    iDbfs_ = std::move(iDbfs);
    qDbfs_ = std::move(qDbfs);
    length_ = length;
    dataClkHz_ = dataClkHz;
    Draw();
}

void CPatternSpectrumChart::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Draw();
}

void CPatternSpectrumChart::Draw() {
    const FrequencyAxisScale scale = FrequencyAxisFor(dataClkHz_, 0.5, QStringLiteral("DataClk"));
    const double binStep = length_ > 0 ? scale.perMultiple / static_cast<double>(length_) : 0.0;
    const int width = static_cast<int>(chart_.chart->plotArea().width());
    const std::size_t columns = static_cast<std::size_t>(width > 0 ? width : kFallbackColumns);
    i_->replace(EnvelopePoints(iDbfs_, 0, iDbfs_.size(), columns, binStep, true));
    q_->replace(EnvelopePoints(qDbfs_, 0, qDbfs_.size(), columns, binStep, true));
    chart_.x->setTitleText(scale.title);
    SetRoundTicks(chart_.x, 0, 0.5 * scale.perMultiple, false);
}

} // namespace tarsion
