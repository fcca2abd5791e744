#pragma once

#include "pages/RegisterPage.h"

#include <optional>

class QVBoxLayout;

namespace tarsion {

// "NCO/Status": the carrier and symbol-rate NCOs in hertz against SysClk, the Clk Pin frequency,
// memory control (register 0x00), interrupt enable (0x09) and interrupt status (0x08).
class CControlForm final : public CRegisterPage {
    Q_OBJECT
public:
    CControlForm(PageContext context, QWidget* parent);

private:
    void BuildNcoGroups(QVBoxLayout* column);
    void BuildMemoryControl(QVBoxLayout* column);
    void BuildInterrupts(QVBoxLayout* column);

    FieldResult WriteCarrier(std::optional<double> hz);
    FieldResult WriteSymbolRate(std::optional<double> hz, bool askAboveMaximum);
    // "Set to Maximum allowed" gives true; "Ignore Maximum Limit" and closing give false.
    bool AskSetToMaximum(double maximum);
};

} // namespace tarsion
