#pragma once

#include "ops/TarsionDoc.h"
#include "signal/FftwTransform.h"
#include "signal/FilterMerit.h"
#include "signal/SignalAnalysis.h"
#include "views/ChartParts.h"
#include "views/DeferredRedraw.h"

#include <QWidget>

#include <cstdint>
#include <memory>
#include <optional>
#include <utility>

class QComboBox;
class QLabel;
class QLineSeries;

namespace tarsion {

class CBoardOperations;
class CConstellationChart;
class CFilterMeritPanel;
class IViewSettings;

// The loaded filters: magnitude response of the taps the I or Q coefficient RAM holds against the
// ideal filter (the file's taps times the gain), the impulse response, and figures beside them:
// gain, DC gain, stop band, quantization error, and the last read-back verification; the figures of
// merit of the RAM as written, of the file's taps and of the RAM as read back, over the band the user
// sets; and the constellation RAM's points as written and as read back.
class CFilterResponseView final : public QWidget, public IDocumentObserver {
    Q_OBJECT
public:
    static constexpr int kResponsePoints = 2048;

    // The figures of merit of each set of taps the view shows; empty where there is none.
    struct Merits {
        std::optional<FilterMerit> written;
        std::optional<FilterMerit> file;
        std::optional<FilterMerit> read;
    };

    CFilterResponseView(CTarsionDoc& doc, CBoardOperations& ops, IViewSettings& settings,
                        QWidget* parent = nullptr);
    ~CFilterResponseView() override;

    void OnDocumentUpdate() override;
    // A load may mark its memory after its last log line: catch up when the operation ends.
    void OnDocumentSettled(bool) override { OnDocumentUpdate(); }
    // 0 = I, 1 = Q.
    void ShowChannel(int which);
    int Channel() const { return channel_; }
    void Redraw();
    bool RedrawPending() const { return redraw_.Pending(); }

    QWidget& Plots() { return *plots_; }
    const CConstellationChart& ConstellationChart() const { return *constellation_; }
    QString FiguresText() const;
    QString CsvText() const;
    const Merits& ShownMerits() const { return merits_; }
    CFilterMeritPanel& MeritPanel() { return *meritPanel_; }
    // How often the figures of merit were computed: only for a shown view whose data or band changed.
    int MeritAnalyses() const { return meritAnalyses_; }

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Everything a redraw depends on; a notification that changes none of it costs nothing.
    struct DrawnState {
        std::uint64_t generation = ~0ull;
        int channel = -1;
        std::uint32_t symbolWord = 0;
        double sysClk = 0;
        std::uint64_t band = 0;
        bool operator==(const DrawnState&) const = default;
    };
    DrawnState CurrentState() const;
    void AnalyseMerits(const LoadedCoefficients* loaded, const CoefficientRamImage* read,
                       const FilterGeometry& g);
    void ShowMerits(const FilterGeometry& g);
    // Taps, responses and figures of what was written and what was read back; redone only when
    // the loads, the reads or the channel change.
    void Analyse(const LoadedCoefficients* loaded, const CoefficientRamImage* read, const FilterGeometry& g);
    void DrawNothing();
    void ShowConstellation();
    void DrawMagnitude();
    void ResetZoom();
    QString PartialLine() const;
    void ReadFromBoard();
    void Verify(ChipMemory memory);
    ChipMemory ShownMemory() const {
        return channel_ == 0 ? ChipMemory::CoefficientI : ChipMemory::CoefficientQ;
    }
    QString VerifyLines() const;

    CTarsionDoc& doc_;
    CBoardOperations& ops_;
    int channel_ = 0;
    DrawnState drawn_;
    CDeferredRedraw redraw_;

    QComboBox* channelChoice_ = nullptr;
    QWidget* plots_ = nullptr;
    ChartParts magnitude_;
    ChartParts impulse_;
    QLineSeries* quantizedSeries_ = nullptr;
    QLineSeries* idealSeries_ = nullptr;
    QLineSeries* tapSeries_ = nullptr;
    QLineSeries* readSeries_ = nullptr;
    QLineSeries* readTapSeries_ = nullptr;
    QLabel* figures_ = nullptr;
    CFilterMeritPanel* meritPanel_ = nullptr;
    std::unique_ptr<CConstellationChart> constellation_;
    FftwTransform fft_;
    Merits merits_;
    std::uint64_t band_ = 0; // counts the user's changes of the band
    int meritAnalyses_ = 0;

    // The numbers of the last analysis, for the plots, the figures and the CSV export.
    std::vector<double> frequencies_;
    std::vector<double> quantizedDb_;
    std::vector<double> idealDb_;
    std::vector<double> taps_;
    std::vector<double> idealTaps_;
    std::vector<double> readDb_;
    std::vector<double> readTaps_;
    double rate_ = 1;
    double frequencyScale_ = 1;                     // axis units per multiple of the symbol rate
    std::optional<std::pair<double, double>> zoom_; // the frequency range shown, in axis units
    bool settingRange_ = false;
    FilterFigures filterFigures_;
};

} // namespace tarsion
