#pragma once

#include "signal/PatternMerit.h"
#include "views/ViewSettings.h"

#include <QWidget>

#include <optional>

class QComboBox;
class QLabel;
class QSpinBox;

namespace tarsion {

class CFigureTable;
class CRelativeFrequencyEdit;

// The pattern figures beside the spectrum: a table of SFDR, SNR, SINAD, THD, ENOB, channel power and
// ACLR for I, Q and I + jQ with the window each was taken under, and the peak table of the channel
// chosen; with what the user gives them (the number of peaks, the channel width and the offsets of
// its neighbours), kept in the view settings across runs.
class CPatternMeritPanel final : public QWidget {
    Q_OBJECT
public:
    CPatternMeritPanel(IViewSettings& settings, QWidget* parent = nullptr);

    PatternMeritOptions Options() const;
    PatternChannel Channel() const;
    // DataClk, when known: frequencies are typed and shown in hertz.
    void SetSampleRate(std::optional<double> hz);
    void ShowFigures(const PatternMeritSet* merits);
    // The window line and the tables as text (tab-separated, headings first).
    QString FiguresText() const;
    QString PeaksText() const;
    QString NoteText() const;

signals:
    // The figures must be taken again.
    void optionsChanged();
    // Only what is shown changes.
    void channelChanged();

private:
    void Restore();
    void Save();
    void CommitChannel();
    QString FrequencyText(double cyclesPerSample) const;

    IViewSettings& settings_;
    std::optional<double> sampleRate_;
    std::optional<PatternMeritSet> merits_;

    QComboBox* channel_ = nullptr;
    QSpinBox* peaks_ = nullptr;
    CRelativeFrequencyEdit* width_ = nullptr;
    CRelativeFrequencyEdit* offsets_ = nullptr;
    QLabel* widthLabel_ = nullptr;
    QLabel* offsetsLabel_ = nullptr;
    QLabel* note_ = nullptr;
    QLabel* windows_ = nullptr;
    CFigureTable* table_ = nullptr;
    CFigureTable* peakTable_ = nullptr;
};

} // namespace tarsion
