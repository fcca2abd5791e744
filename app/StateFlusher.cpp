#include "app/StateFlusher.h"

#include "board/PortBackend.h"

#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>

namespace tarsion {

CStateFlusher::CStateFlusher(IKeptState& state, int intervalMs) : state_(state), intervalMs_(intervalMs) {
    timer_.setSingleShot(true);
    timer_.setInterval(intervalMs);
    connect(&timer_, &QTimer::timeout, this, &CStateFlusher::Flush);
    state_.SetChangeListener([this] {
        if (!timer_.isActive())
            timer_.start();
    });
}

CStateFlusher::~CStateFlusher() {
    // The board outlives us: nothing may call back once we're gone.
    state_.SetChangeListener({});
}

void CStateFlusher::Flush() {
    timer_.stop();
    QElapsedTimer writing;
    writing.start();
    std::string error;
    const bool saved = state_.SaveChangedState(error);
    timer_.setInterval(static_cast<int>(std::max<qint64>(intervalMs_, kWritingShare * writing.elapsed())));
    if (saved) {
        lastError_.clear();
        return;
    }
    // Once per cause, not four times a second.
    if (error != lastError_)
        std::fprintf(stderr, "tarsion: %s\n", error.c_str());
    lastError_ = error;
}

} // namespace tarsion
