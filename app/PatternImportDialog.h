#pragma once

#include "ops/PatternImport.h"

#include <QDialog>

#include <memory>
#include <optional>

class QComboBox;
class QLabel;

namespace tarsion {

class CPatternSpectrumChart;
class FftwTransform;

// The preview of an imported pattern before anything is written: its length, the range of the
// file's values and of the samples, the scaling to the memory's word, the samples clipped, how a
// negative sample is coded, and the spectrum. "Load" confirms; Cancel, Escape or closing writes
// nothing.
class CPatternImportDialog final : public QDialog {
    Q_OBJECT
public:
    CPatternImportDialog(ImportPreview preview, std::optional<double> dataClkHz, QWidget* parent = nullptr);
    ~CPatternImportDialog() override;

    // The import as last shown, with the scaling chosen.
    const ImportPreview& Preview() const { return preview_; }
    void ChooseScaling(ImportScaling scaling);

private:
    void ShowReport();

    ImportPreview preview_;
    std::optional<double> dataClkHz_;
    std::unique_ptr<FftwTransform> fft_;
    QComboBox* scaling_;
    QLabel* length_;
    QLabel* range_;
    QLabel* scale_;
    QLabel* clipped_;
    CPatternSpectrumChart* spectrum_;
};

// Shows the preview; the confirmed import, or nothing when the user cancels.
std::optional<ImportPreview> ReviewImport(ImportPreview preview, std::optional<double> dataClkHz,
                                          QWidget* parent);

} // namespace tarsion
