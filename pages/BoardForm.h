#pragma once

#include "LoadInputs.h"

#include <optional>

class QPushButton;

namespace tarsion {

struct PatternSettings;

// "Board": the board around the chip. The DataClk source and the source of Din[15:0] mirror
// bridge register 9 and PLD register 12; the parallel port's base address; the pattern memory,
// loaded from a pattern file or generated from the pattern parameters.
class CBoardForm final : public CInputPage {
    Q_OBJECT
public:
    CBoardForm(PageContext context, QWidget* parent);

private:
    void ShowBoard();
    void ShowPattern(const PatternSettings& pattern);
    std::optional<PatternSettings> CapturePattern();
    void SelectDataClk(int index);
    // The Din sources "Pattern Memory" (send) and "Gnd" (stop); a tristated DataClk goes to RefClk first.
    void DrivePatternSender(bool send);
    void Tristate();
    void SelectPort(int index);
    void Browse();
    void LoadFile();
    void LoadPattern();
    void Suggest();
    // FIFO reset and Send after a pattern load; false after the message of the first failure.
    bool StartSending();

    QComboBox* dataClk_;
    QCheckBox* patternMemory_;
    QCheckBox* ground_;
    QCheckBox* tristated_;
    QComboBox* port_;
    QLineEdit* patternFile_;
    QComboBox* iKind_;
    QLineEdit* iAmplitude_;
    QComboBox* qKind_;
    QLineEdit* qAmplitude_;
    QLineEdit* samplesPerCycle_;
    QLineEdit* numberOfSamples_;
    int shownDataClk_ = -1;
};

} // namespace tarsion
