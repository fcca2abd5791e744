#include "automation/BusConnection.h"

#include <QEventLoop>
#include <QSocketNotifier>
#include <QTimer>

#include <cstdlib>
#include <dbus/dbus.h>
#include <filesystem>
#include <utility>

namespace tarsion {

CBusMessage::CBusMessage(DBusMessage* message) : message_(message ? dbus_message_ref(message) : nullptr) {}

CBusMessage::CBusMessage(const CBusMessage& other) : CBusMessage(other.message_) {}

CBusMessage::CBusMessage(CBusMessage&& other) noexcept : message_(std::exchange(other.message_, nullptr)) {}

CBusMessage& CBusMessage::operator=(CBusMessage other) noexcept {
    std::swap(message_, other.message_);
    return *this;
}

CBusMessage::~CBusMessage() {
    if (message_)
        dbus_message_unref(message_);
}

namespace {

QString TakeError(DBusError& error, const char* fallback) {
    QString text = dbus_error_is_set(&error) ? QString::fromUtf8(error.message) : QString::fromUtf8(fallback);
    dbus_error_free(&error);
    return text;
}

// The notifiers of one libdbus watch: libdbus may ask for reading and writing on one descriptor.
struct WatchNotifiers {
    QSocketNotifier* read = nullptr;
    QSocketNotifier* write = nullptr;

    void Enable(bool on) const {
        for (QSocketNotifier* notifier : {read, write})
            if (notifier)
                notifier->setEnabled(on);
    }
};

// libdbus may drop a watch from inside its notifier's own signal: the notifier is only disabled
// there and deleted once control is back in the event loop.
void Retire(QSocketNotifier* notifier) {
    if (!notifier)
        return;
    notifier->setEnabled(false);
    notifier->deleteLater();
}

} // namespace

// The C callbacks libdbus calls; each forwards to the connection it was registered with.
struct BusCallbacks {
    static CBusConnection& Self(void* data) { return *static_cast<CBusConnection*>(data); }

    static dbus_bool_t AddWatch(DBusWatch* watch, void* data) {
        CBusConnection& self = Self(data);
        const int fd = dbus_watch_get_unix_fd(watch);
        const unsigned flags = dbus_watch_get_flags(watch);
        auto* notifiers = new WatchNotifiers;
        auto make = [&](QSocketNotifier::Type type, unsigned condition) {
            auto* notifier = new QSocketNotifier(fd, type, &self);
            QObject::connect(notifier, &QSocketNotifier::activated, &self, [&self, watch, condition] {
                self.Handle([watch, condition] { dbus_watch_handle(watch, condition); });
            });
            return notifier;
        };
        if (flags & DBUS_WATCH_READABLE)
            notifiers->read = make(QSocketNotifier::Read, DBUS_WATCH_READABLE);
        if (flags & DBUS_WATCH_WRITABLE)
            notifiers->write = make(QSocketNotifier::Write, DBUS_WATCH_WRITABLE);
        notifiers->Enable(dbus_watch_get_enabled(watch));
        dbus_watch_set_data(watch, notifiers, nullptr);
        return TRUE;
    }

    static void RemoveWatch(DBusWatch* watch, void*) {
        auto* notifiers = static_cast<WatchNotifiers*>(dbus_watch_get_data(watch));
        if (!notifiers)
            return;
        Retire(notifiers->read);
        Retire(notifiers->write);
        delete notifiers;
        dbus_watch_set_data(watch, nullptr, nullptr);
    }

    static void ToggleWatch(DBusWatch* watch, void*) {
        if (auto* notifiers = static_cast<WatchNotifiers*>(dbus_watch_get_data(watch)))
            notifiers->Enable(dbus_watch_get_enabled(watch));
    }

    static void ArmTimer(QTimer& timer, DBusTimeout* timeout) {
        if (dbus_timeout_get_enabled(timeout))
            timer.start(dbus_timeout_get_interval(timeout));
        else
            timer.stop();
    }

    static dbus_bool_t AddTimeout(DBusTimeout* timeout, void* data) {
        CBusConnection& self = Self(data);
        auto* timer = new QTimer(&self);
        QObject::connect(timer, &QTimer::timeout, &self,
                         [&self, timeout] { self.Handle([timeout] { dbus_timeout_handle(timeout); }); });
        ArmTimer(*timer, timeout);
        dbus_timeout_set_data(timeout, timer, nullptr);
        return TRUE;
    }

    static void RemoveTimeout(DBusTimeout* timeout, void*) {
        if (auto* timer = static_cast<QTimer*>(dbus_timeout_get_data(timeout))) {
            timer->stop();
            timer->deleteLater();
            dbus_timeout_set_data(timeout, nullptr, nullptr);
        }
    }

    static void ToggleTimeout(DBusTimeout* timeout, void*) {
        if (auto* timer = static_cast<QTimer*>(dbus_timeout_get_data(timeout)))
            ArmTimer(*timer, timeout);
    }

    static void DispatchStatusChanged(DBusConnection*, DBusDispatchStatus status, void* data) {
        CBusConnection& self = Self(data);
        if (status == DBUS_DISPATCH_DATA_REMAINS && !self.handling_)
            self.ScheduleDispatch();
    }

    // libdbus reports a lost connection as a signal of its own; it is told once dispatch is over.
    static DBusHandlerResult Filter(DBusConnection*, DBusMessage* message, void* data) {
        CBusConnection& self = Self(data);
        if (dbus_message_is_signal(message, DBUS_INTERFACE_LOCAL, "Disconnected") && !self.lost_) {
            self.lost_ = true;
            QMetaObject::invokeMethod(
                &self,
                [&self] {
                    self.lostAnnounced_ = true;
                    emit self.lost();
                },
                Qt::QueuedConnection);
        }
        return DBUS_HANDLER_RESULT_NOT_YET_HANDLED;
    }

    // Inside libdbus's dispatch: the call is only kept, and handed on once dispatch has returned.
    static DBusHandlerResult OnMessage(DBusConnection*, DBusMessage* message, void* data) {
        if (dbus_message_get_type(message) != DBUS_MESSAGE_TYPE_METHOD_CALL)
            return DBUS_HANDLER_RESULT_NOT_YET_HANDLED;
        Self(data).arrived_.emplace_back(message);
        return DBUS_HANDLER_RESULT_HANDLED;
    }
};

namespace {

std::function<bool()>& StopCheck() {
    static std::function<bool()> stop;
    return stop;
}

// The session bus's address as libdbus finds it: the environment, the user's runtime folder, else
// autolaunch.
std::string SessionBusAddress() {
    if (const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS"); address && *address)
        return address;
    std::error_code ignored;
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR");
        runtime && *runtime && std::filesystem::exists(std::string(runtime) + "/bus", ignored))
        return std::string("unix:path=") + runtime + "/bus";
    return "autolaunch:";
}

} // namespace

void CBusConnection::SetStopCheck(std::function<bool()> stop) {
    StopCheck() = std::move(stop);
}

std::unique_ptr<CBusConnection> CBusConnection::OpenSession(QString& error) {
    // Qt D-Bus uses libdbus from its own thread in this process too.
    dbus_threads_init_default();
    DBusError dbusError;
    dbus_error_init(&dbusError);
    DBusConnection* connection = dbus_connection_open_private(SessionBusAddress().c_str(), &dbusError);
    if (!connection) {
        error = TakeError(dbusError, "no D-Bus session bus");
        return nullptr;
    }
    std::unique_ptr<CBusConnection> bus(new CBusConnection(connection));
    // The bus's own Hello, sent as dbus_bus_register would but without blocking the event loop.
    DBusMessage* hello =
        dbus_message_new_method_call(DBUS_SERVICE_DBUS, DBUS_PATH_DBUS, DBUS_INTERFACE_DBUS, "Hello");
    DBusMessage* reply = hello ? bus->CallBus(hello, error) : nullptr;
    if (hello)
        dbus_message_unref(hello);
    const char* name = nullptr;
    const bool named = reply &&
                       dbus_message_get_args(reply, nullptr, DBUS_TYPE_STRING, &name, DBUS_TYPE_INVALID) &&
                       dbus_bus_set_unique_name(connection, name);
    if (reply)
        dbus_message_unref(reply);
    if (!named) {
        if (error.isEmpty())
            error = QStringLiteral("the session bus gave no name to this connection");
        return nullptr;
    }
    return bus;
}

DBusMessage* CBusConnection::CallBus(DBusMessage* call, QString& error) {
    DBusPendingCall* pending = nullptr;
    if (!dbus_connection_send_with_reply(connection_, call, &pending, kBusCallTimeoutMs) || !pending) {
        error = QStringLiteral("the session bus connection is closed");
        return nullptr;
    }
    QEventLoop loop;
    QTimer check;
    const auto finished = [&] {
        return dbus_pending_call_get_completed(pending) || (StopCheck() && StopCheck()());
    };
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (finished())
            loop.quit();
    });
    check.start(10);
    // Once the reply (or libdbus's own time-out) completes the call, or a signal stops the wait.
    if (!finished())
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    DBusMessage* reply =
        dbus_pending_call_get_completed(pending) ? dbus_pending_call_steal_reply(pending) : nullptr;
    if (!reply)
        dbus_pending_call_cancel(pending);
    dbus_pending_call_unref(pending);
    if (!reply) {
        error = QStringLiteral("a termination signal ended the wait for the session bus");
        return nullptr;
    }
    if (dbus_message_get_type(reply) == DBUS_MESSAGE_TYPE_ERROR) {
        DBusError dbusError;
        dbus_error_init(&dbusError);
        dbus_set_error_from_message(&dbusError, reply);
        dbus_message_unref(reply);
        const bool timedOut = dbus_error_has_name(&dbusError, DBUS_ERROR_NO_REPLY);
        error = timedOut ? QStringLiteral("the D-Bus session bus did not answer within %1 s")
                               .arg(kBusCallTimeoutMs / 1000)
                         : TakeError(dbusError, "the session bus refused the call");
        dbus_error_free(&dbusError);
        return nullptr;
    }
    return reply;
}

CBusConnection::CBusConnection(DBusConnection* connection) : connection_(connection) {
    // A lost bus ends automation, not the program.
    dbus_connection_set_exit_on_disconnect(connection_, FALSE);
    dbus_connection_set_watch_functions(connection_, BusCallbacks::AddWatch, BusCallbacks::RemoveWatch,
                                        BusCallbacks::ToggleWatch, this, nullptr);
    dbus_connection_set_timeout_functions(connection_, BusCallbacks::AddTimeout, BusCallbacks::RemoveTimeout,
                                          BusCallbacks::ToggleTimeout, this, nullptr);
    dbus_connection_set_dispatch_status_function(connection_, BusCallbacks::DispatchStatusChanged, this,
                                                 nullptr);
    dbus_connection_add_filter(connection_, BusCallbacks::Filter, this, nullptr);
    ScheduleDispatch();
}

CBusConnection::~CBusConnection() {
    if (!claimedName_.empty() && dbus_connection_get_is_connected(connection_)) {
        // Released before the connection goes, so a program started right after can claim it; the
        // answer is not waited for.
        if (DBusMessage* release = dbus_message_new_method_call(DBUS_SERVICE_DBUS, DBUS_PATH_DBUS,
                                                                DBUS_INTERFACE_DBUS, "ReleaseName")) {
            const char* name = claimedName_.c_str();
            dbus_message_append_args(release, DBUS_TYPE_STRING, &name, DBUS_TYPE_INVALID);
            dbus_message_set_no_reply(release, TRUE);
            dbus_connection_send(connection_, release, nullptr);
            dbus_connection_flush(connection_);
            dbus_message_unref(release);
        }
    }
    for (const auto& [path, handler] : handlers_)
        dbus_connection_unregister_object_path(connection_, path.c_str());
    dbus_connection_remove_filter(connection_, BusCallbacks::Filter, this);
    dbus_connection_set_dispatch_status_function(connection_, nullptr, nullptr, nullptr);
    dbus_connection_close(connection_);
    dbus_connection_set_watch_functions(connection_, nullptr, nullptr, nullptr, nullptr, nullptr);
    dbus_connection_set_timeout_functions(connection_, nullptr, nullptr, nullptr, nullptr, nullptr);
    dbus_connection_unref(connection_);
}

void CBusConnection::OnLost(std::function<void()> lost) {
    if (lostAnnounced_)
        QMetaObject::invokeMethod(this, std::move(lost), Qt::QueuedConnection);
    else
        QObject::connect(this, &CBusConnection::lost, this, std::move(lost));
}

bool CBusConnection::ServePath(const std::string& path, CallHandler handler, QString& error) {
    static const DBusObjectPathVTable table = {nullptr, BusCallbacks::OnMessage, nullptr, nullptr, nullptr,
                                               nullptr};
    DBusError dbusError;
    dbus_error_init(&dbusError);
    if (!dbus_connection_try_register_object_path(connection_, path.c_str(), &table, this, &dbusError)) {
        error = TakeError(dbusError, "object path in use");
        return false;
    }
    handlers_[path] = std::move(handler);
    return true;
}

bool CBusConnection::ClaimName(const std::string& name, QString& error) {
    DBusMessage* request =
        dbus_message_new_method_call(DBUS_SERVICE_DBUS, DBUS_PATH_DBUS, DBUS_INTERFACE_DBUS, "RequestName");
    if (!request) {
        error = QStringLiteral("out of memory");
        return false;
    }
    const char* text = name.c_str();
    const dbus_uint32_t flags = DBUS_NAME_FLAG_DO_NOT_QUEUE;
    dbus_message_append_args(request, DBUS_TYPE_STRING, &text, DBUS_TYPE_UINT32, &flags, DBUS_TYPE_INVALID);
    DBusMessage* reply = CallBus(request, error);
    dbus_message_unref(request);
    dbus_uint32_t result = 0;
    const bool answered =
        reply && dbus_message_get_args(reply, nullptr, DBUS_TYPE_UINT32, &result, DBUS_TYPE_INVALID);
    if (reply)
        dbus_message_unref(reply);
    if (answered && (result == DBUS_REQUEST_NAME_REPLY_PRIMARY_OWNER ||
                     result == DBUS_REQUEST_NAME_REPLY_ALREADY_OWNER)) {
        claimedName_ = name;
        return true;
    }
    if (answered)
        error = result == DBUS_REQUEST_NAME_REPLY_EXISTS
                    ? QStringLiteral("the bus name %1 is already owned by another program")
                          .arg(QString::fromStdString(name))
                    : QStringLiteral("the bus refused the name");
    return false;
}

void CBusConnection::Reply(DBusMessage* call, const std::function<void(DBusMessage* reply)>& fill) {
    if (dbus_message_get_no_reply(call))
        return;
    if (DBusMessage* reply = dbus_message_new_method_return(call)) {
        fill(reply);
        dbus_connection_send(connection_, reply, nullptr);
        dbus_message_unref(reply);
    }
}

void CBusConnection::ReplyError(DBusMessage* call, const char* name, const QString& text) {
    if (dbus_message_get_no_reply(call))
        return;
    if (DBusMessage* reply = dbus_message_new_error(call, name, text.toUtf8().constData())) {
        dbus_connection_send(connection_, reply, nullptr);
        dbus_message_unref(reply);
    }
}

void CBusConnection::ScheduleDispatch() {
    if (dispatchScheduled_)
        return;
    dispatchScheduled_ = true;
    QTimer::singleShot(0, this, &CBusConnection::Dispatch);
}

void CBusConnection::Handle(const std::function<void()>& work) {
    handling_ = true;
    work();
    handling_ = false;
    Dispatch();
}

void CBusConnection::Dispatch() {
    dispatchScheduled_ = false;
    while (dbus_connection_dispatch(connection_) == DBUS_DISPATCH_DATA_REMAINS) {
    }
    // A handler may open a modal dialog whose event loop dispatches again: each call is taken off
    // the queue before its handler runs.
    while (!arrived_.empty()) {
        const CBusMessage call = std::move(arrived_.front());
        arrived_.pop_front();
        const auto handler = handlers_.find(dbus_message_get_path(call.Get()));
        if (handler != handlers_.end())
            handler->second(call.Get());
    }
}

} // namespace tarsion
