#pragma once

#include "pages/RegisterPage.h"

namespace tarsion {

// "FIFO/IO": FIFO and I/O control (register 0x02) bit by bit, and the FIFO thresholds in the top
// bytes of the I and Q channel control registers (0x03, 0x04).
class CFifoForm final : public CRegisterPage {
    Q_OBJECT
public:
    CFifoForm(PageContext context, QWidget* parent);
};

} // namespace tarsion
