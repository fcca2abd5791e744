#include "automation/AutomationCallGate.h"

#include "ops/BoardOperations.h"

#include <dbus/dbus.h>

namespace tarsion {

namespace {
// The document's views wait for as long as it lives, and settle when it ends.
class ViewHold {
public:
    explicit ViewHold(CTarsionDoc& doc) : doc_(doc) { doc_.HoldViews(); }
    ~ViewHold() { doc_.ReleaseViews(); }
    ViewHold(const ViewHold&) = delete;
    ViewHold& operator=(const ViewHold&) = delete;

private:
    CTarsionDoc& doc_;
};
} // namespace

CAutomationCallGate::CAutomationCallGate(CBusConnection& bus, CBoardOperations& ops) : bus_(bus), ops_(ops) {
    // Posted, not run inside the operation's own clean-up, so the next call starts from the loop;
    // and only when calls wait, so a stream of calls costs no extra turn of the loop per call.
    ops_.SetIdleHandler([this] {
        if (!waiting_.empty())
            QMetaObject::invokeMethod(this, &CAutomationCallGate::RunWaiting, Qt::QueuedConnection);
    });
}

CAutomationCallGate::~CAutomationCallGate() {
    ops_.SetIdleHandler({});
}

void CAutomationCallGate::Submit(CBusMessage call, AutomationWork work) {
    if (waiting_.size() >= kMaxWaiting) {
        bus_.ReplyError(
            call.Get(), DBUS_ERROR_LIMITS_EXCEEDED,
            QStringLiteral("Too many calls are waiting for the operation in progress (%1)").arg(kMaxWaiting));
        return;
    }
    waiting_.emplace_back(std::move(call), std::move(work));
    RunWaiting();
}

void CAutomationCallGate::RunWaiting() {
    // A call's work that lets the event loop run (a dialog) must not start the next call under it.
    if (running_)
        return;
    running_ = true;
    while (!waiting_.empty() && !ops_.IsBusy()) {
        auto [call, work] = std::move(waiting_.front());
        waiting_.pop_front();
        // Writes made for a script are journalled as the script's. The caller has its answer
        // before the views settle: what they do then is not part of the call.
        const CWriteSourceScope source(ops_, WriteSource::Script);
        const ViewHold hold(ops_.Doc());
        Answer(call, work());
    }
    running_ = false;
}

void CAutomationCallGate::Answer(const CBusMessage& call, const AutomationResult& result) {
    if (const AutomationReply* own = std::get_if<AutomationReply>(&result); own && !own->errorName.empty()) {
        bus_.ReplyError(call.Get(), own->errorName.c_str(), QString::fromStdString(own->errorText));
        return;
    }
    bus_.Reply(call.Get(), [&result](DBusMessage* reply) { AppendAutomationResult(reply, result); });
}

} // namespace tarsion
