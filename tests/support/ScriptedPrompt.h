#pragma once

#include "ops/UserPrompt.h"

#include <deque>
#include <string>
#include <vector>

namespace tarsion::test {

// Answers the user's questions from a queue (default "NO") and keeps every message shown.
class ScriptedPrompt final : public IUserPrompt {
public:
    void ShowMessage(std::string_view text) override { messages.emplace_back(text); }
    bool AskYesNo(std::string_view title, std::string_view text) override {
        questions.emplace_back(std::string(title) + "|" + std::string(text));
        if (answers.empty())
            return false;
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }
    bool ReportProgress(std::string_view, std::size_t done, std::size_t total) override {
        if (done < lastProgress)
            progressFell = true;
        lastProgress = done;
        progressTotal = total;
        ++progressReports;
        return cancelAt == 0 || done < cancelAt;
    }
    void EndProgress() override { ++progressEnds; }

    std::vector<std::string> messages;
    std::vector<std::string> questions;
    std::deque<bool> answers;
    std::size_t lastProgress = 0;
    std::size_t progressTotal = 0;
    std::size_t progressReports = 0;
    int progressEnds = 0;
    bool progressFell = false;
    // Cancels a load once this much of it is done (0: never).
    std::size_t cancelAt = 0;
};

} // namespace tarsion::test
