#pragma once

#include "pages/RegisterPage.h"

class QGridLayout;
class QGroupBox;

namespace tarsion {

// "DataFlow": the data path of Device Config (register 0x01), the I and Q calibration (0x03, 0x04),
// the post shaping filter gain (0x05, upper bits) and the shaping filter DC offset (0x11).
class CChannelsForm final : public CRegisterPage {
    Q_OBJECT
public:
    CChannelsForm(PageContext context, QWidget* parent);

private:
    QGroupBox* BuildDeviceConfig();
    QGroupBox* BuildCalibration(const QString& title, std::uint8_t reg, double StepSettings::*scaleStep,
                                double StepSettings::*offsetStep, const char* prefix);
    // A scale or offset row: the 10-bit field at `shift`, value = base + field / 4096.
    void AddFractionRow(QGridLayout* grid, const QString& label, std::uint8_t reg, int shift, double base,
                        double StepSettings::*step, const pageconv::StepRange& stepRange,
                        const QString& name);
};

} // namespace tarsion
