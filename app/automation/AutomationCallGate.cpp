#include "AutomationCallGate.h"

#include "ops/BoardOperations.h"

#include <QDBusError>

namespace tarsion {

CAutomationCallGate::CAutomationCallGate(QDBusConnection bus, CBoardOperations& ops)
    : bus_(std::move(bus)), ops_(ops) {
    // Posted, not run inside the operation's own clean-up, so the next call starts from the loop.
    ops_.SetIdleHandler(
        [this] { QMetaObject::invokeMethod(this, &CAutomationCallGate::RunDeferred, Qt::QueuedConnection); });
}

CAutomationCallGate::~CAutomationCallGate() {
    ops_.SetIdleHandler({});
}

bool CAutomationCallGate::MustWait() const {
    // Calls queued earlier go first, so the order of the script's operations is kept.
    return ops_.IsBusy() || !pending_.empty();
}

bool CAutomationCallGate::RefuseArguments(const QDBusMessage& call) {
    if (call.signature().isEmpty())
        return false;
    call.setDelayedReply(true);
    bus_.send(call.createErrorReply(
        QDBusError::UnknownMethod,
        QStringLiteral("No such method '%1' in interface '%2' at object path '%3' (signature '%4')")
            .arg(call.member(), call.interface(), call.path(), call.signature())));
    return true;
}

void CAutomationCallGate::Defer(const QDBusMessage& call, std::function<QVariantList()> work) {
    call.setDelayedReply(true);
    pending_.emplace_back(call, std::move(work));
}

void CAutomationCallGate::RunDeferred() {
    while (!pending_.empty() && !ops_.IsBusy()) {
        auto [call, work] = std::move(pending_.front());
        pending_.pop_front();
        bus_.send(call.createReply(work()));
    }
}

} // namespace tarsion
