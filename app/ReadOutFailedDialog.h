#pragma once

#include "InitialReadOut.h"

#include <QDialog>

namespace tarsion {

// "Failed to do Initial ReadOut": Retry (default, also Escape and closing) or Enter Demo Mode.
class CReadOutFailedDialog final : public QDialog {
    Q_OBJECT
public:
    explicit CReadOutFailedDialog(QWidget* parent = nullptr);

    ReadOutChoice Ask();

public slots:
    void reject() override;

private:
    ReadOutChoice choice_ = ReadOutChoice::Retry;
};

} // namespace tarsion
