#pragma once

#include "ops/UserPrompt.h"

#include <iosfwd>

namespace tarsion {

// The headless program's way to the user: message boxes become lines on a stream (standard
// error), each question is answered NO and says so. Nobody is there to answer, and NO is the
// answer that changes nothing.
class CStreamUserPrompt final : public IUserPrompt {
public:
    explicit CStreamUserPrompt(std::ostream& out) : out_(out) {}

    void ShowMessage(std::string_view text) override;
    bool AskYesNo(std::string_view title, std::string_view text) override;

private:
    std::ostream& out_;
};

} // namespace tarsion
