#pragma once

#include "automation/AutomationMethods.h"
#include "automation/BusConnection.h"

#include <QObject>

#include <deque>
#include <utility>

namespace tarsion {

class CBoardOperations;

// Keeps every board operation whole: a call that arrives while an operation is still running
// (inside one of its message boxes or its progress dialog) waits, and runs, with its reply sent,
// once that operation has ended. Calls run and are answered in the order they arrived. The line
// is capped: a caller that floods it during a long load gets LimitsExceeded, not our memory.
class CAutomationCallGate final : public QObject {
    Q_OBJECT
public:
    static constexpr std::size_t kMaxWaiting = 10000;

    CAutomationCallGate(CBusConnection& bus, CBoardOperations& ops);
    ~CAutomationCallGate() override;

    void Submit(CBusMessage call, AutomationWork work);
    // Runs the work and answers at once, ahead of the calls that wait.
    void AnswerNow(const CBusMessage& call, const AutomationWork& work) { Answer(call, work()); }

private:
    void RunWaiting();
    void Answer(const CBusMessage& call, const AutomationResult& result);

    CBusConnection& bus_;
    CBoardOperations& ops_;
    std::deque<std::pair<CBusMessage, AutomationWork>> waiting_;
    bool running_ = false;
};

} // namespace tarsion
