#pragma once

#include <QColor>
#include <QList>
#include <QPointF>
#include <QString>

#include <optional>

class QChart;
class QChartView;
class QLineSeries;
class QValueAxis;
class QWidget;

namespace tarsion {

// A frequency axis in hertz (scaled to a readable unit) when the reference clock is known, in
// multiples of the reference otherwise.
struct FrequencyAxisScale {
    double perMultiple = 1.0; // axis units per multiple of the reference
    QString title;
};
FrequencyAxisScale FrequencyAxisFor(std::optional<double> referenceHz, double largestMultiple,
                                    const QString& referenceName);

// One chart with a value axis on each side; series added with AddSeries share them.
struct ChartParts {
    QChartView* view = nullptr;
    QChart* chart = nullptr;
    QValueAxis* x = nullptr;
    QValueAxis* y = nullptr;

    QLineSeries* AddSeries(const QString& name, const QColor& color, Qt::PenStyle style = Qt::SolidLine);
};
ChartParts CreateChart(QWidget* parent, const QString& title, const QString& xTitle, const QString& yTitle);

} // namespace tarsion
