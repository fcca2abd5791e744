#pragma once

#include "ops/TarsionDoc.h"
#include "signal/FftwTransform.h"
#include "signal/PatternMerit.h"
#include "signal/SignalAnalysis.h"
#include "signal/SpectrumTrace.h"
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
class CPatternMeritPanel;
class CSpectrumMarkers;
class IViewSettings;

// The pattern memory as last read back from the board, else as last written: I and Q against sample number
// (zoom with the wheel, the rubber band or the keys, pan with the scroll bar; at most a minimum and a maximum
// per pixel column are drawn), the spectrum of each channel or of I + jQ with a line at a generated
// pattern's frequency and the user's markers, and the figures of merit of I, Q and I + jQ beside it.
class CPatternView final : public QWidget, public IDocumentObserver {
    Q_OBJECT
public:
    CPatternView(CTarsionDoc& doc, CBoardOperations& ops, IViewSettings& settings, QWidget* parent = nullptr);
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
    // The figures of the pattern shown; empty while there is none.
    const std::optional<PatternMeritSet>& ShownMerits() const { return merits_; }
    // The spectrum plotted for the channel chosen, which the markers read.
    const SpectrumTrace& ShownTrace() const;
    CPatternMeritPanel& MeritPanel() { return *meritPanel_; }
    CSpectrumMarkers& Markers() { return *markers_; }
    const ChartParts& Spectrum() const { return spectrum_; }
    // How often the figures were computed: only for a shown view whose data or options changed.
    int MeritAnalyses() const { return meritAnalyses_; }

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
        std::uint64_t options = 0;
        std::uint64_t channelChoices = 0;
        bool operator==(const DrawnState&) const = default;
    };
    DrawnState CurrentState() const;
    void Analyse();
    void AnalyseMerits();
    void TraceSpectra();
    void DrawTime();
    void DrawSpectrum();
    void DrawFigures();
    void Zoom(double factor, double centre);
    void OnTimeRangeChanged(double min, double max);
    std::size_t PatternLength() const { return i_.size(); }
    void Verify();
    QString VerifyLine() const;

    CTarsionDoc& doc_;
    CBoardOperations& ops_;
    DrawnState drawn_;
    std::uint64_t analysedGeneration_ = ~0ull;
    std::uint64_t analysedOptions_ = ~0ull;
    std::uint64_t options_ = 0;        // counts the user's changes of the figures' options
    std::uint64_t channelChoices_ = 0; // and of the channel shown
    CDeferredRedraw redraw_;
    FftwTransform fft_;
    // The pairs shown: as read back from the board once read, else as written.
    std::vector<SamplePair> pairs_;
    std::vector<double> i_;
    std::vector<double> q_;
    std::optional<PatternMeritSet> merits_;
    SpectrumTrace iTrace_;
    SpectrumTrace qTrace_;
    SpectrumTrace iqTrace_;
    int meritAnalyses_ = 0;
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
    CPatternMeritPanel* meritPanel_ = nullptr;
    CSpectrumMarkers* markers_ = nullptr;
};

} // namespace tarsion
