#pragma once

#include "signal/FilterMerit.h"
#include "views/ViewSettings.h"

#include <QWidget>

#include <optional>
#include <vector>

class QLabel;
class QLineEdit;

namespace tarsion {

class CFigureTable;
class CRelativeFrequencyEdit;

// The filter figures beside the response plot, and the band they are taken over: the symbol rate
// and roll-off the user designed for, with pass and stop band edges that follow the roll-off until
// the user types his own. All four are kept in the view settings across runs.
class CFilterMeritPanel final : public QWidget {
    Q_OBJECT
public:
    // One column of the table: the figures of one set of taps, under its heading.
    struct Column {
        QString heading;
        FilterMerit merit;
    };

    CFilterMeritPanel(IViewSettings& settings, QWidget* parent = nullptr);

    // The symbol rate register 0x0B gives: the reference while the user gives none.
    void SetChipSymbolRate(std::optional<double> hz);
    // The user's symbol rate, else the chip's; empty when neither is known.
    std::optional<double> SymbolRateHz() const;
    double Rolloff() const { return rolloff_; }
    // The band in cycles per output sample of a filter running at `rate` times the symbol rate.
    FilterBandEdges Edges(int rate) const;
    // Edges in multiples of the symbol rate: the user's, else the roll-off's.
    double PassbandMultiple() const;
    double StopbandMultiple() const;

    void ShowFigures(const std::vector<Column>& columns, int rate);
    // The table as text (tab-separated, headings first) and the band it was taken over.
    QString FiguresText() const;
    QString NoteText() const;

signals:
    void bandChanged();

private:
    void Restore();
    void Save();
    void CommitSymbolRate();
    void CommitRolloff();
    void CommitEdges();
    void UseRolloffEdges();
    void ShowInputs();
    QString FrequencyText(double cyclesPerSample, int rate) const;

    IViewSettings& settings_;
    std::optional<double> chipSymbolRate_;
    std::optional<double> symbolRate_; // typed by the user
    double rolloff_ = kDefaultRolloff;
    std::optional<double> passband_; // typed by the user, multiples of the symbol rate
    std::optional<double> stopband_;

    QLineEdit* symbolRateEdit_ = nullptr;
    QLineEdit* rolloffEdit_ = nullptr;
    CRelativeFrequencyEdit* passEdit_ = nullptr;
    CRelativeFrequencyEdit* stopEdit_ = nullptr;
    QLabel* passLabel_ = nullptr;
    QLabel* stopLabel_ = nullptr;
    QLabel* note_ = nullptr;
    CFigureTable* table_ = nullptr;
    QLabel* bandNote_ = nullptr;
};

} // namespace tarsion
