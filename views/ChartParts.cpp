#include "views/ChartParts.h"

#include "signal/SignalAnalysis.h"

#include <QBoxLayout>
#include <QChart>
#include <QChartView>
#include <QLabel>
#include <QLineSeries>
#include <QPen>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

namespace tarsion {

FrequencyAxisScale FrequencyAxisFor(std::optional<double> referenceHz, double largestMultiple,
                                    const QString& referenceName) {
    if (!referenceHz)
        return {1.0, QStringLiteral("Frequency (x %1)").arg(referenceName)};
    struct Unit {
        double hz;
        const char* name;
    };
    const Unit units[] = {{1e9, "GHz"}, {1e6, "MHz"}, {1e3, "kHz"}, {1.0, "Hz"}};
    const double largestHz = std::abs(largestMultiple * *referenceHz);
    for (const Unit& unit : units) {
        if (largestHz >= unit.hz || unit.hz == 1.0)
            return {*referenceHz / unit.hz,
                    QStringLiteral("Frequency (%1)").arg(QString::fromLatin1(unit.name))};
    }
    return {*referenceHz, QStringLiteral("Frequency (Hz)")};
}

double RoundTickInterval(double span, bool integers) {
    constexpr double kTicks = 6.0;
    if (!(span > 0) || !std::isfinite(span))
        return 1.0;
    const double raw = span / kTicks;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    const double mantissa = raw / power;
    const double interval = power * (mantissa <= 1.0   ? 1.0
                                     : mantissa <= 2.0 ? 2.0
                                     : mantissa <= 5.0 ? 5.0
                                                       : 10.0);
    return integers ? std::max(std::round(interval), 1.0) : interval;
}

int TickDecimals(double interval) {
    return interval >= 1.0 ? 0 : static_cast<int>(std::ceil(-std::log10(interval) - 1e-9));
}

void SetRoundTicks(QValueAxis* axis, double min, double max, bool integers) {
    if (!(max > min))
        max = min + 1.0;
    const double interval = RoundTickInterval(max - min, integers);
    axis->setRange(min, max);
    axis->setTickType(QValueAxis::TicksDynamic);
    axis->setTickAnchor(0.0);
    axis->setTickInterval(interval);
    axis->setLabelFormat(QStringLiteral("%.") + QString::number(TickDecimals(interval)) +
                         QStringLiteral("f"));
}

QLineSeries* ChartParts::AddSeries(const QString& name, const QColor& color, Qt::PenStyle style) {
    auto* series = new QLineSeries(chart);
    series->setName(name);
    // A cosmetic pen of one pixel is drawn without the stroker: a redraw costs a third of a wide one.
    QPen pen(color, 1.0, style);
    pen.setCosmetic(true);
    series->setPen(pen);
    chart->addSeries(series);
    series->attachAxis(x);
    series->attachAxis(y);
    return series;
}

ChartParts CreateChart(QWidget* parent, const QString& title, const QString& xTitle, const QString& yTitle) {
    ChartParts parts;
    parts.chart = new QChart();
    parts.chart->setTitle(title);
    parts.chart->legend()->setAlignment(Qt::AlignBottom);
    parts.chart->setMargins(QMargins(4, 4, 4, 4));
    parts.x = new QValueAxis(parts.chart);
    parts.y = new QValueAxis(parts.chart);
    parts.x->setTitleText(xTitle);
    parts.y->setTitleText(yTitle);
    parts.chart->addAxis(parts.x, Qt::AlignBottom);
    parts.chart->addAxis(parts.y, Qt::AlignLeft);
    parts.view = new QChartView(parts.chart, parent);
    parts.view->setRenderHint(QPainter::Antialiasing, false);
    parts.view->setMinimumSize(320, 200);
    return parts;
}

// Min/max per column as a zigzag: the line then fills each column from its minimum to its maximum.
QList<QPointF> EnvelopePoints(const std::vector<double>& values, std::size_t first, std::size_t count,
                              std::size_t columns, double xStep, bool maximaOnly) {
    QList<QPointF> points;
    if (count <= columns) {
        points.reserve(static_cast<qsizetype>(count));
        for (std::size_t n = first; n < first + count; ++n)
            points.append({static_cast<double>(n) * xStep, values[n]});
        return points;
    }
    const std::vector<ColumnRange> ranges = MinMaxColumns(values, first, first + count, columns);
    points.reserve(static_cast<qsizetype>(2 * ranges.size()));
    for (std::size_t c = 0; c < ranges.size(); ++c) {
        const double x =
            (static_cast<double>(first) + (c + 0.5) * static_cast<double>(count) / ranges.size()) * xStep;
        if (!maximaOnly)
            points.append({x, ranges[c].min});
        points.append({x, ranges[c].max});
    }
    return points;
}
QString FigureText(double value, int decimals, const QString& unit) {
    if (std::isnan(value))
        return NoFigure();
    const QString number = QString::number(value, 'f', decimals);
    return unit.isEmpty() ? number : number + QLatin1Char(' ') + unit;
}

QString NoFigure() {
    return QString(QChar(0x2014));
}

FrequencyUnit UnitFor(double hz) {
    const struct {
        double scale;
        const char* unit;
    } units[] = {{1e9, "GHz"}, {1e6, "MHz"}, {1e3, "kHz"}};
    for (const auto& unit : units) {
        if (std::abs(hz) >= unit.scale)
            return {unit.scale, QString::fromLatin1(unit.unit)};
    }
    return {1.0, QStringLiteral("Hz")};
}

QString CompactFrequency(double hz) {
    const FrequencyUnit unit = UnitFor(hz);
    return QStringLiteral("%1 %2").arg(hz / unit.hz, 0, 'g', 7).arg(unit.name);
}

QVBoxLayout* AddSideColumn(QWidget* parent, QBoxLayout& row, int width) {
    auto* column = new QWidget(parent);
    column->setFixedWidth(width);
    auto* layout = new QVBoxLayout(column);
    layout->setContentsMargins(0, 0, 0, 0);
    row.addWidget(column);
    return layout;
}

QLabel* CreateFiguresLabel(QWidget* parent, const QString& objectName) {
    auto* label = new QLabel(parent);
    label->setObjectName(objectName);
    label->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    label->setMinimumWidth(230);
    label->setMaximumWidth(300);
    label->setWordWrap(true);
    return label;
}

} // namespace tarsion
