#pragma once

#include "ops/DocumentSettings.h"
#include "pages/LoadInputs.h"

#include <functional>
#include <optional>
#include <string>

class QLabel;
class QPushButton;

namespace tarsion {

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
    // A CSV, NumPy or WAV file: previewed, and written once the user confirms.
    void ImportFile(const std::string& file);
    void LoadPattern();
    void Suggest();
    // Runs a pattern load with the page's pattern settings held; on failure shows why, with what the
    // load left in the memory.
    bool RunLoad(const std::function<bool()>& load);
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
    QLabel* patternState_;
    ImportReviewer reviewImport_;
    int shownDataClk_ = -1;
    // The document's pattern settings when the page's last load began; kept while that load runs
    // and after it failed.
    std::optional<PatternSettings> patternAtLoad_;
};

} // namespace tarsion
