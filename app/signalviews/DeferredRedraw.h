#pragma once

#include <QElapsedTimer>
#include <QTimer>

#include <functional>

namespace tarsion {

// Redraws a view after the event that made it stale, never inside the operation that changed the
// document, and at most once a frame however often it is marked.
class CDeferredRedraw final {
public:
    static constexpr int kFrameMs = 16;

    explicit CDeferredRedraw(std::function<void()> redraw);
    CDeferredRedraw(const CDeferredRedraw&) = delete;
    CDeferredRedraw& operator=(const CDeferredRedraw&) = delete;

    void MarkStale();
    bool Pending() const { return timer_.isActive(); }

private:
    void Run();

    std::function<void()> redraw_;
    QTimer timer_;
    QElapsedTimer sinceRedraw_;
};

} // namespace tarsion
