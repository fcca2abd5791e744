#include "StateFlusher.h"

#include "board/PortBackend.h"

#include <cstdio>

namespace tarsion {

CStateFlusher::CStateFlusher(IKeptState& state, int intervalMs) : state_(state) {
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
    std::string error;
    if (state_.SaveChangedState(error)) {
        lastError_.clear();
        return;
    }
    // Once per cause, not four times a second.
    if (error != lastError_)
        std::fprintf(stderr, "tarsion: %s\n", error.c_str());
    lastError_ = error;
}

} // namespace tarsion
