#pragma once

#include "ops/TarsionDoc.h"

#include <QElapsedTimer>
#include <QTimer>

class QWidget;

namespace tarsion {

// A script's stream of operations notifies the views hundreds of times a second; painting the
// window after each one would cost more than the operations. While updates come faster than one
// frame apart the window is painted once a frame; an update after a quiet spell shows at once.
// The views still take every update: only the painting waits.
class CRepaintThrottle final : public IDocumentObserver {
public:
    CRepaintThrottle(CTarsionDoc& doc, QWidget& window);
    ~CRepaintThrottle() override;
    CRepaintThrottle(const CRepaintThrottle&) = delete;
    CRepaintThrottle& operator=(const CRepaintThrottle&) = delete;

    void OnDocumentUpdate() override;

private:
    void Resume();

    CTarsionDoc& doc_;
    QWidget& window_;
    QElapsedTimer sinceUpdate_;
    QTimer resume_;
};

} // namespace tarsion
