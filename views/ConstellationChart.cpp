#include "views/ConstellationChart.h"

#include "ops/ConstellationRam.h"

#include <QChart>
#include <QChartView>
#include <QPen>
#include <QScatterSeries>
#include <QValueAxis>

#include <set>
#include <utility>

namespace tarsion {

namespace {
const QColor kWrittenColor(0x1f, 0x77, 0xb4);
const QColor kReadColor(0x2c, 0xa0, 0x2c);
// Wide enough for the legend to name the time of the read in full.
constexpr int kChartWidth = 360;
constexpr int kChartHeight = 320;

QScatterSeries* AddPoints(ChartParts& parts, const QString& name, QScatterSeries::MarkerShape shape,
                          qreal size, const QPen& pen, const QBrush& brush) {
    auto* series = new QScatterSeries(parts.chart);
    series->setName(name);
    series->setMarkerShape(shape);
    series->setMarkerSize(size);
    series->setPen(pen);
    series->setBrush(brush);
    parts.chart->addSeries(series);
    series->attachAxis(parts.x);
    series->attachAxis(parts.y);
    return series;
}

// Each distinct point once: most of a map's 256 entries share a handful of points.
QList<QPointF> DistinctPoints(const ConstellationImage& image) {
    std::set<std::pair<int, int>> seen;
    QList<QPointF> points;
    for (const IqPoint& point : ConstellationPoints(image)) {
        if (seen.insert({point.i, point.q}).second)
            points.append(QPointF(point.i, point.q));
    }
    return points;
}

void SetNibbleAxis(QValueAxis* axis) {
    axis->setRange(-9, 8);
    axis->setTickType(QValueAxis::TicksDynamic);
    axis->setTickAnchor(0);
    axis->setTickInterval(2);
    axis->setLabelFormat(QStringLiteral("%.0f"));
}
} // namespace

CConstellationChart::CConstellationChart(QWidget* parent)
    : parts_(CreateChart(parent, QStringLiteral("Constellation RAM"), QStringLiteral("I"),
                         QStringLiteral("Q"))) {
    parts_.view->setObjectName(QStringLiteral("constellationChart"));
    parts_.view->setMinimumSize(kChartWidth, kChartHeight);
    parts_.view->setMaximumWidth(kChartWidth);
    parts_.view->setRenderHint(QPainter::Antialiasing, true);
    SetNibbleAxis(parts_.x);
    SetNibbleAxis(parts_.y);
    // A large ring for what was written, a small square for what was read: a read point alone
    // is an entry that differs.
    written_ = AddPoints(parts_, QStringLiteral("As written"), QScatterSeries::MarkerShapeCircle, 15,
                         QPen(kWrittenColor, 2),
                         QColor(kWrittenColor.red(), kWrittenColor.green(), kWrittenColor.blue(), 60));
    read_ = AddPoints(parts_, QStringLiteral("Read from board"), QScatterSeries::MarkerShapeRectangle, 7,
                      QPen(kReadColor), QBrush(kReadColor));
}

void CConstellationChart::Show(const ConstellationImage* written, const ReadBack<ConstellationImage>* read) {
    written_->replace(written ? DistinctPoints(*written) : QList<QPointF>());
    read_->replace(read ? DistinctPoints(read->contents) : QList<QPointF>());
    read_->setName(read ? QStringLiteral("Read from board %1").arg(QString::fromStdString(read->readAt))
                        : QStringLiteral("Read from board"));
}

QList<QPointF> CConstellationChart::WrittenPoints() const {
    return written_->points();
}

QList<QPointF> CConstellationChart::ReadPoints() const {
    return read_->points();
}

QString CConstellationChart::ReadName() const {
    return read_->name();
}

} // namespace tarsion
