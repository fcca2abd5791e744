#pragma once

#include "ops/TarsionDoc.h"
#include "signal/FftwTransform.h"
#include "signal/SignalAnalysis.h"
#include "views/ChartParts.h"
#include "views/DeferredRedraw.h"

#include <QWidget>

#include <cstddef>
#include <cstdint>

class QLabel;
class QLineSeries;
class QScrollBar;

namespace tarsion {

class CBoardOperations;

// The pattern memory as last read back from the board, else as last written: I and Q against sample number
// (zoom with the wheel, the rubber band or the keys, pan with the scroll bar; at most a minimum and a maximum
// per pixel column are drawn), and the spectrum of each channel with a marker at a generated pattern's
// frequency.
class CPatternView final : public QWidget, public IDocumentObserver {
    Q_OBJECT
public:
    CPatternView(CTarsionDoc& doc, CBoardOperations& ops, QWidget* parent = nullptr);
    ~CPatternView() override;

    void OnDocumentUpdate() override;
    // A load may mark its memory after its last log line: catch up when the operation ends.
    void OnDocumentSettled(bool) override { OnDocumentUpdate(); }
    void Redraw();
    bool RedrawPending() const { return redraw_.Pending(); }

    // Samples [first, first + count) shown; clamped to the pattern. False when they already were.
    bool ShowSamples(std::size_t first, std::size_t count);
    void ShowWholePattern();
    std::size_t FirstShown() const { return first_; }
    std::size_t CountShown() const { return count_; }
    // Points the time plot draws for a channel; bounded by two per pixel column.
    qsizetype TimePointCount() const;

    QWidget& Plots() { return *plots_; }
    QString FiguresText() const;
    QString CsvText() const;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct DrawnState {
        std::uint64_t generation = ~0ull;
        std::uint8_t boardControl = 0;
        std::uint32_t symbolWord = 0;
        double sysClk = 0;
        double clockPin = 0;
        bool operator==(const DrawnState&) const = default;
    };
    DrawnState CurrentState() const;
    void Analyse();
    void DrawTime();
    void DrawSpectrum();
    void DrawFigures();
    void Zoom(double factor, double centre);
    void OnTimeRangeChanged(double min, double max);
    std::size_t PatternLength() const { return analysis_.i.size(); }
    void Verify();
    QString VerifyLine() const;

    CTarsionDoc& doc_;
    CBoardOperations& ops_;
    DrawnState drawn_;
    std::uint64_t analysedGeneration_ = ~0ull;
    CDeferredRedraw redraw_;
    FftwTransform fft_;
    PatternAnalysis analysis_;
    std::optional<double> patternFrequency_; // multiples of DataClk
    std::size_t first_ = 0;
    std::size_t count_ = 0;
    bool settingRange_ = false;

    QWidget* plots_ = nullptr;
    ChartParts time_;
    ChartParts spectrum_;
    QLineSeries* iTime_ = nullptr;
    QLineSeries* qTime_ = nullptr;
    QLineSeries* iSpectrum_ = nullptr;
    QLineSeries* qSpectrum_ = nullptr;
    QLineSeries* marker_ = nullptr;
    QScrollBar* pan_ = nullptr;
    QLabel* figures_ = nullptr;
};

} // namespace tarsion
