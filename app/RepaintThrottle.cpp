#include "RepaintThrottle.h"

#include <QWidget>

namespace tarsion {

namespace {
constexpr int kFrameMs = 40;
} // namespace

CRepaintThrottle::CRepaintThrottle(CTarsionDoc& doc, QWidget& window) : doc_(doc), window_(window) {
    resume_.setSingleShot(true);
    resume_.setInterval(kFrameMs);
    QObject::connect(&resume_, &QTimer::timeout, [this] { Resume(); });
    doc_.AddObserver(this);
}

CRepaintThrottle::~CRepaintThrottle() {
    doc_.RemoveObserver(this);
    if (resume_.isActive())
        window_.setUpdatesEnabled(true);
}

void CRepaintThrottle::OnDocumentUpdate() {
    if (resume_.isActive())
        return;
    if (sinceUpdate_.isValid() && sinceUpdate_.elapsed() < kFrameMs) {
        window_.setUpdatesEnabled(false);
        resume_.start();
    }
    sinceUpdate_.start();
}

void CRepaintThrottle::Resume() {
    window_.setUpdatesEnabled(true);
    sinceUpdate_.start();
}

} // namespace tarsion
