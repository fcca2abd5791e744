#pragma once

#include "signal/SpectrumTrace.h"
#include "views/ChartParts.h"

#include <QWidget>

#include <optional>

class QPushButton;
class QScatterSeries;
class QTableWidget;

namespace tarsion {

// Markers on a spectrum: a click places the marker on the highest point near it, Peak Search puts it
// on the highest peak and Next Peak on the next one down; with Delta on, these move a second marker
// and the table reads its distance from the first. Markers keep their frequency when the trace
// changes, and land on its nearest point.
class CSpectrumMarkers final : public QWidget {
    Q_OBJECT
public:
    CSpectrumMarkers(const ChartParts& spectrum, QWidget* parent = nullptr);

    // The trace the markers read (kept by the caller until the next call), the axis units per cycle
    // per sample, and the sample rate when known (frequencies in hertz in the table).
    void SetTrace(const SpectrumTrace* trace, double axisPerCycle, std::optional<double> sampleRateHz);
    // What a click at this frequency (cycles per sample) does.
    void PlaceNear(double frequency);
    void PeakSearch();
    void NextPeak();
    void SetDelta(bool on);
    void Clear();

    std::optional<std::size_t> Marker() const { return marker_; }
    std::optional<std::size_t> DeltaMarker() const { return delta_; }
    const QTableWidget& Table() const { return *table_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The marker that clicks and searches move.
    std::optional<std::size_t>& Moving() { return delta_ ? delta_ : marker_; }
    void Move(std::size_t index);
    void Show();
    QString FrequencyText(double cyclesPerSample, bool difference) const;
    static std::optional<std::size_t> Reattach(const SpectrumTrace* trace, std::optional<double> frequency);

    const ChartParts spectrum_;
    // The chart's viewport, kept from when the filter was installed: while the chart view is being
    // destroyed its viewport still sends events, and the view can no longer be asked for it.
    QWidget* viewport_ = nullptr;
    const SpectrumTrace* trace_ = nullptr;
    double axisPerCycle_ = 1.0;
    std::optional<double> sampleRate_;
    std::optional<std::size_t> marker_;
    std::optional<std::size_t> delta_;
    // Where the markers were, for a trace that replaces the one they were on.
    std::optional<double> markerFrequency_;
    std::optional<double> deltaFrequency_;

    QPushButton* deltaButton_ = nullptr;
    QTableWidget* table_ = nullptr;
    QScatterSeries* markerSeries_ = nullptr;
    QScatterSeries* deltaSeries_ = nullptr;
};

} // namespace tarsion
