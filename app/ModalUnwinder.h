#pragma once

#include <QObject>
#include <QTimer>

namespace tarsion {

// Closes every modal dialog and popup menu, those open now and those opened later, as Escape
// would: the code that opened each one gets "cancelled" back and goes on, so nested event loops
// return and the program can end. A progress dialog is cancelled, which stops its load after the
// word in hand.
class CModalUnwinder final : public QObject {
    Q_OBJECT
public:
    static constexpr int kSweepEveryMs = 50;

    explicit CModalUnwinder(QObject* parent = nullptr);

    // From here on, until the program ends.
    void Start();
    bool Started() const { return timer_.isActive(); }

private:
    void Sweep();

    QTimer timer_;
};

} // namespace tarsion
