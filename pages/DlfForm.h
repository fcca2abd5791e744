#pragma once

#include "pages/RegisterPage.h"

class QGroupBox;

namespace tarsion {

// "PLLs": the digital loop filter (register 0x06) with its three gains, its limits (0x0C, 0x0D), the
// reference clock and NCO dividers (0x05, lower bits), and lock detection and the analog PLL (0x07).
class CDlfForm final : public CRegisterPage {
    Q_OBJECT
public:
    CDlfForm(PageContext context, QWidget* parent);

private:
    QGroupBox* BuildLoopFilter();
    QGroupBox* BuildDividers();
    QGroupBox* BuildLockDetect();
};

} // namespace tarsion
