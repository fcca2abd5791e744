#pragma once

#include "ops/UserPrompt.h"

#include <QElapsedTimer>

#include <iosfwd>

namespace tarsion {

// The headless program's way to the user: message boxes become lines on a stream (standard
// error), each question is answered NO and says so. Nobody is there to answer, and NO is the
// answer that changes nothing. During a load the event loop turns as under the window's progress
// dialog, so the bus is served meanwhile (calls wait for the load, Peer and introspection answer
// at once) and a termination signal is seen.
class CStreamUserPrompt final : public IUserPrompt {
public:
    explicit CStreamUserPrompt(std::ostream& out) : out_(out) {}

    void ShowMessage(std::string_view text) override;
    bool AskYesNo(std::string_view title, std::string_view text) override;
    bool ReportProgress(std::string_view task, std::size_t done, std::size_t total) override;
    void EndProgress() override;

    // The load in progress, and every later one, stops after the word in hand.
    void Cancel() { cancelled_ = true; }

private:
    std::ostream& out_;
    QElapsedTimer sinceEvents_;
    bool cancelled_ = false;
};

} // namespace tarsion
