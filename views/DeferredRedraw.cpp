#include "views/DeferredRedraw.h"

#include <algorithm>

namespace tarsion {

CDeferredRedraw::CDeferredRedraw(std::function<void()> redraw) : redraw_(std::move(redraw)) {
    timer_.setSingleShot(true);
    QObject::connect(&timer_, &QTimer::timeout, [this] { Run(); });
}

void CDeferredRedraw::MarkStale(bool visible) {
    stale_ = true;
    if (visible)
        Schedule();
}

void CDeferredRedraw::Shown() {
    if (stale_)
        Schedule();
}

void CDeferredRedraw::Schedule() {
    if (timer_.isActive())
        return;
    const qint64 since = sinceRedraw_.isValid() ? sinceRedraw_.elapsed() : kFrameMs;
    timer_.start(static_cast<int>(std::max<qint64>(0, kFrameMs - since)));
}

void CDeferredRedraw::Run() {
    stale_ = false;
    sinceRedraw_.start();
    redraw_();
}

} // namespace tarsion
