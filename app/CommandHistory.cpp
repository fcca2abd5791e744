#include "app/CommandHistory.h"

namespace tarsion {

namespace {
constexpr int kLast = CCommandHistory::kEntries - 1;
}

void CCommandHistory::Add(const QString& command) {
    entries_[write_] = command;
    if (write_ == kLast) {
        write_ = 0;
        wrapped_ = true;
    } else {
        ++write_;
    }
    browse_ = write_;
}

const QString& CCommandHistory::Back() {
    if (browse_ != 0)
        --browse_;
    else if (wrapped_)
        browse_ = kLast;
    else if (write_ != 0)
        browse_ = write_ - 1;
    return entries_[browse_];
}

const QString& CCommandHistory::Forward() {
    if (browse_ == write_) {
        if (!wrapped_)
            browse_ = 0;
    } else if (browse_ == kLast) {
        browse_ = 0;
    } else if (browse_ == write_ - 1) {
        browse_ = wrapped_ ? write_ : 0;
    } else {
        ++browse_;
    }
    return entries_[browse_];
}

} // namespace tarsion
