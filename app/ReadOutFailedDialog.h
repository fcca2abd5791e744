#pragma once

#include "app/InitialReadOut.h"

#include <QDialog>

namespace tarsion {

// "Failed to do Initial ReadOut": Retry (default, also Escape and closing) or Enter Demo Mode.
class CReadOutFailedDialog final : public QDialog {
    Q_OBJECT
public:
    // `cause`: what the port layer knows of why no board answers, with the remedy; empty: nothing.
    explicit CReadOutFailedDialog(QWidget* parent = nullptr, const QString& cause = QString());

    ReadOutChoice Ask();

public slots:
    void reject() override;

private:
    ReadOutChoice choice_ = ReadOutChoice::Retry;
};

} // namespace tarsion
