#pragma once

#include "ops/LoadedMemories.h"
#include "views/ChartParts.h"

#include <QList>
#include <QPointF>
#include <QString>

class QScatterSeries;

namespace tarsion {

// The constellation RAM in the I/Q plane: the map as the program last wrote it and as the board
// last returned it, so an entry changed behind the program's back shows as a point apart.
class CConstellationChart {
public:
    explicit CConstellationChart(QWidget* parent);

    QChartView* View() const { return parts_.view; }
    // `written` only while the RAM holds the whole of the last load; `read` once it was read back.
    void Show(const ConstellationImage* written, const ReadBack<ConstellationImage>* read);

    QList<QPointF> WrittenPoints() const;
    QList<QPointF> ReadPoints() const;
    QString ReadName() const;

private:
    ChartParts parts_;
    QScatterSeries* written_ = nullptr;
    QScatterSeries* read_ = nullptr;
};

} // namespace tarsion
