#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>
#include <QVariantList>

#include <deque>
#include <functional>
#include <type_traits>
#include <utility>

namespace tarsion {

class CBoardOperations;

// Keeps every board operation whole: a call that arrives while an operation is still running
// (inside one of its message boxes) gets a delayed reply and runs once that operation has ended.
class CAutomationCallGate final : public QObject {
    Q_OBJECT
public:
    CAutomationCallGate(QDBusConnection bus, CBoardOperations& ops);
    ~CAutomationCallGate() override;

    // Runs `work` now and returns its result, or queues it and returns a placeholder that the
    // bus never sees (the reply is sent when the work has run).
    template <typename Result, typename Work>
    Result Serve(const QDBusMessage& call, Work work) {
        if (!MustWait()) {
            if constexpr (std::is_void_v<Result>)
                work();
            else
                return work();
        } else if constexpr (std::is_void_v<Result>) {
            Defer(call, [work] {
                work();
                return QVariantList{};
            });
        } else {
            Defer(call, [work] { return QVariantList{QVariant::fromValue(work())}; });
            return Result{};
        }
    }

    // The bus offers a slot that takes only the call every call of its name, whatever arguments it
    // carries. Such a call gets the error the bus gives a typed method called wrongly, and true.
    bool RefuseArguments(const QDBusMessage& call);

private:
    bool MustWait() const;
    void Defer(const QDBusMessage& call, std::function<QVariantList()> work);
    void RunDeferred();

    QDBusConnection bus_;
    CBoardOperations& ops_;
    std::deque<std::pair<QDBusMessage, std::function<QVariantList()>>> pending_;
};

} // namespace tarsion
