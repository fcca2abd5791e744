#pragma once

#include <QColor>
#include <QList>
#include <QPointF>
#include <QString>

#include <cstddef>
#include <optional>
#include <vector>

class QBoxLayout;
class QChart;
class QLabel;
class QChartView;
class QLineSeries;
class QValueAxis;
class QVBoxLayout;
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
// Points of values [first, first + count) at x = index x xStep: each value when they fit the columns,
// else the minimum and maximum of each column (or its maximum alone), so a line fills every column
// from its smallest to its largest value and no more than two points per pixel are drawn.
QList<QPointF> EnvelopePoints(const std::vector<double>& values, std::size_t first, std::size_t count,
                              std::size_t columns, double xStep, bool maximaOnly);

// The range [min, max] with ticks at a round interval (1, 2 or 5 times a power of ten, at least 1
// when `integers`), labelled with the decimals that interval needs.
void SetRoundTicks(QValueAxis* axis, double min, double max, bool integers);
// The interval SetRoundTicks chooses, and the decimals of its labels.
double RoundTickInterval(double span, bool integers);
int TickDecimals(double interval);

ChartParts CreateChart(QWidget* parent, const QString& title, const QString& xTitle, const QString& yTitle);

// A figure beside the plots: "12.34 dB" with `decimals` ("12.34" without a unit), a dash for a figure
// without a value (NaN).
QString FigureText(double value, int decimals, const QString& unit);
QString NoFigure();
// The unit a frequency reads best in: GHz, MHz, kHz or Hz.
struct FrequencyUnit {
    double hz = 1.0;
    QString name;
};
FrequencyUnit UnitFor(double hz);
// A frequency in a figure table: seven digits and the unit that reads best, "1.234567 MHz".
QString CompactFrequency(double hz);

// The column beside a view's plots, added to `row`, of one width for all it holds: a wrapped text then
// takes the height it needs at the width it is shown at, and the tables above it keep theirs.
QVBoxLayout* AddSideColumn(QWidget* parent, QBoxLayout& row, int width);

// The figures beside a view's plots: top-aligned, selectable, wrapped in a narrow column.
QLabel* CreateFiguresLabel(QWidget* parent, const QString& objectName);

} // namespace tarsion
