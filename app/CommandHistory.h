#pragma once

#include <QString>

#include <array>

namespace tarsion {

// The console's ring of the last 20 commands with its write and browse positions. Stepping wraps
// from the newest entry to the oldest and back; once full, each new command overwrites the oldest.
class CCommandHistory {
public:
    static constexpr int kEntries = 20;

    void Add(const QString& command);
    // Up: the entry before the one shown last.
    const QString& Back();
    // Down: the entry after the one shown last.
    const QString& Forward();

private:
    std::array<QString, kEntries> entries_;
    int write_ = 0;
    int browse_ = 0;
    bool wrapped_ = false;
};

} // namespace tarsion
