#pragma once

#include "views/ChartParts.h"

#include <QWidget>

#include <optional>
#include <vector>

namespace tarsion {

// The spectra of a pattern's I and Q channels in dBFS, against DataClk when it is known (else in
// cycles per sample), each pixel column showing its largest bin.
class CPatternSpectrumChart final : public QWidget {
    Q_OBJECT
public:
    explicit CPatternSpectrumChart(QWidget* parent = nullptr);

    // `length` is the number of pairs the spectra (bins 0..length/2) were taken from.
    void Show(std::vector<double> iDbfs, std::vector<double> qDbfs, std::size_t length,
              std::optional<double> dataClkHz);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void Draw();

    ChartParts chart_;
    QLineSeries* i_;
    QLineSeries* q_;
    std::vector<double> iDbfs_;
    std::vector<double> qDbfs_;
    std::size_t length_ = 0;
    std::optional<double> dataClkHz_;
};

} // namespace tarsion
