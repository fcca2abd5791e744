#pragma once

#include <QObject>
#include <QString>

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>

struct DBusConnection;
struct DBusMessage;

namespace tarsion {

// One reference to a libdbus message; copies share the message.
class CBusMessage {
public:
    CBusMessage() = default;
    // Takes a reference of its own: the caller keeps (and releases) its reference.
    explicit CBusMessage(DBusMessage* message);
    CBusMessage(const CBusMessage& other);
    CBusMessage(CBusMessage&& other) noexcept;
    CBusMessage& operator=(CBusMessage other) noexcept;
    ~CBusMessage();

    DBusMessage* Get() const { return message_; }

private:
    DBusMessage* message_ = nullptr;
};

// A private connection to the session bus that the GUI thread's own event loop reads and writes.
// A call is read, answered and its reply written on this thread, with no hop through a bus thread
// and back, which is what a round trip through Qt D-Bus costs a method served on the GUI thread.
class CBusConnection final : public QObject {
    Q_OBJECT
public:
    using CallHandler = std::function<void(DBusMessage* call)>;
    // How long a call to the bus itself (Hello, RequestName) may take: a bus that accepts the
    // connection but never answers must not hold the start-up.
    static constexpr int kBusCallTimeoutMs = 5000;

    // Null, with the reason in `error`, when the session bus can't be reached or does not answer.
    // The event loop runs meanwhile (not the user's input), so a termination signal is caught.
    static std::unique_ptr<CBusConnection> OpenSession(QString& error);
    // A wait for the bus gives up at once once `stop` says so (a termination signal was caught).
    static void SetStopCheck(std::function<bool()> stop);
    ~CBusConnection() override;

    // Method calls to `path` go to `handler`. The handler runs from the event loop, after libdbus
    // has finished dispatching, so it may run an operation that opens a modal dialog.
    bool ServePath(const std::string& path, CallHandler handler, QString& error);

    // Claims a well-known name without queueing for it; false when another connection owns it.
    bool ClaimName(const std::string& name, QString& error);

    // Answers `call`, unless its sender wants no reply: `fill` appends the results. The reply is
    // written at once when the socket takes it.
    void Reply(DBusMessage* call, const std::function<void(DBusMessage* reply)>& fill);
    void ReplyError(DBusMessage* call, const char* name, const QString& text);

    // Calls `lost` once when the bus goes away, also when it went while the caller was still
    // setting up (a start-up call to the bus serves events, so the loss can come before this).
    void OnLost(std::function<void()> lost);

signals:
    // The bus went away (its daemon ended, the socket closed); emitted once, from the event loop.
    void lost();

private:
    friend struct BusCallbacks;

    explicit CBusConnection(DBusConnection* connection);
    // Sends a call to the bus and waits, serving events, for its reply; null, with the reason in
    // `error`, on an error reply, after kBusCallTimeoutMs or on a stop.
    DBusMessage* CallBus(DBusMessage* call, QString& error);
    void ScheduleDispatch();
    void Dispatch();
    // Runs a watch's or timer's work and then dispatches what it read at once, without another
    // trip through the event loop.
    void Handle(const std::function<void()>& work);

    DBusConnection* connection_;
    std::map<std::string, CallHandler> handlers_;
    std::deque<CBusMessage> arrived_;
    std::string claimedName_;
    bool dispatchScheduled_ = false;
    bool handling_ = false;
    bool lost_ = false;
    bool lostAnnounced_ = false;
};

} // namespace tarsion
