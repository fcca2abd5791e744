#include "app/ModalUnwinder.h"

#include <QApplication>
#include <QDialog>
#include <QProgressDialog>
#include <QWidget>

namespace tarsion {

CModalUnwinder::CModalUnwinder(QObject* parent) : QObject(parent) {
    timer_.setInterval(kSweepEveryMs);
    connect(&timer_, &QTimer::timeout, this, &CModalUnwinder::Sweep);
}

void CModalUnwinder::Start() {
    if (timer_.isActive())
        return;
    // Dialogs opened later are found by the next sweep, from the event loop they run.
    timer_.start();
    Sweep();
}

void CModalUnwinder::Sweep() {
    if (QWidget* popup = QApplication::activePopupWidget())
        popup->close();
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* dialog = qobject_cast<QDialog*>(widget);
        if (!dialog || !dialog->isVisible() || !dialog->isModal())
            continue;
        if (auto* progress = qobject_cast<QProgressDialog*>(dialog))
            progress->cancel();
        else
            dialog->reject();
    }
}

} // namespace tarsion
