#pragma once

#include <QElapsedTimer>
#include <QTimer>

#include <functional>

namespace tarsion {

// Redraws a view after the event that made it stale, never inside the operation that changed the
// document, and at most once a frame however often it is marked. A hidden view only remembers that
// it is stale and redraws when it is shown.
class CDeferredRedraw final {
public:
    static constexpr int kFrameMs = 16;

    explicit CDeferredRedraw(std::function<void()> redraw);
    CDeferredRedraw(const CDeferredRedraw&) = delete;
    CDeferredRedraw& operator=(const CDeferredRedraw&) = delete;

    void MarkStale(bool visible);
    void Shown();
    bool Stale() const { return stale_; }
    bool Pending() const { return timer_.isActive(); }

private:
    void Run();
    void Schedule();

    std::function<void()> redraw_;
    QTimer timer_;
    QElapsedTimer sinceRedraw_;
    bool stale_ = false;
};

} // namespace tarsion
