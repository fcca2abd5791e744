#pragma once

#include "board/SteadyClock.h"
#include "ops/BoardStack.h"
#include "ops/UserPrompt.h"

#include <deque>
#include <string>

namespace tarsion {

// A virtual board with a document and operations of its own, for working out what a script would
// do to a board. It leaves no trace: no port traffic, nothing in the program's log, no recording,
// no dialogs, no file written (no bit listing, no RAM images); waits cost no real time. The files
// it reads are the ones the calls name, through the loaders' own safe reader.
class CPrivateBoard {
public:
    // Takes the clock pin and start directory of `like`, so names and frequencies mean the same.
    // With `progress`, the loads report their progress there (the program's prompt, which serves
    // events meanwhile and is where the user or a signal cancels).
    explicit CPrivateBoard(const CTarsionDoc& like, IUserPrompt* progress = nullptr);
    CPrivateBoard(const CPrivateBoard&) = delete;
    CPrivateBoard& operator=(const CPrivateBoard&) = delete;

    CBoardOperations& Ops() { return stack_.Ops(); }
    CTarsionDoc& Doc() { return stack_.Doc(); }
    // The last messages the operations would have shown, oldest first.
    const std::deque<std::string>& Messages() const { return prompt_.lines; }
    // A load was cancelled through `progress`.
    bool Cancelled() const { return prompt_.cancelled; }

private:
    // Moves on a millisecond each time it is read, so a reset pulse costs no real second.
    class CSkippingClock final : public ISteadyClock {
    public:
        time_point Now() override { return now_ += std::chrono::milliseconds(1); }

    private:
        time_point now_{};
    };
    // Keeps what a dialog would have said; answers every question "NO"; passes progress on.
    struct CQuietPrompt final : public IUserPrompt {
        static constexpr std::size_t kKept = 8;
        void ShowMessage(std::string_view text) override;
        bool AskYesNo(std::string_view, std::string_view) override { return false; }
        bool ReportProgress(std::string_view task, std::size_t done, std::size_t total) override;
        void EndProgress() override;
        IUserPrompt* progress = nullptr;
        bool cancelled = false;
        std::deque<std::string> lines;
    };

    CSkippingClock clock_;
    CQuietPrompt prompt_;
    CBoardStack stack_;
};

} // namespace tarsion
