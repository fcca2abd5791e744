#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <functional>

namespace tarsion {

// Brings a view up to date at most once a frame. A script's stream of operations changes the
// document thousands of times a second; redrawing a page or appending to the log after each change
// would cost more than the operations. A stale view catches up when the document settles (at once
// if its last update is a frame old), else when its frame is over, and always before input reaches
// any widget, so that a key or a click acts on what the view would show without the pacing. Only
// operations are paced: a change made outside any operation shows at once.
class CFramePacer final : public QObject {
    Q_OBJECT
public:
    static constexpr int kFrameMs = 40;

    // `frameMs`: how long a frame of this view lasts.
    explicit CFramePacer(std::function<void()> bringUpToDate, QObject* parent = nullptr,
                         int frameMs = kFrameMs);
    ~CFramePacer() override;

    bool IsStale() const { return stale_; }
    // The document changed: catch up within a frame.
    void MarkStale();
    // The change is complete: catch up now, unless it was an operation's and the last update is
    // less than a frame old.
    void Settle(bool operationEnded);
    // Catch up now, whatever the time: before input, after the view's own actions.
    void Flush();
    // The view brought itself up to date by other means.
    void MarkUpToDate();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::function<void()> bringUpToDate_;
    QTimer frameEnd_;
    QElapsedTimer sinceUpdate_;
    int frameMs_;
    bool stale_ = false;
};

} // namespace tarsion
