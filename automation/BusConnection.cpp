#include "automation/BusConnection.h"

#include <QSocketNotifier>
#include <QTimer>

#include <dbus/dbus.h>
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
            QMetaObject::invokeMethod(&self, &CBusConnection::lost, Qt::QueuedConnection);
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

std::unique_ptr<CBusConnection> CBusConnection::OpenSession(QString& error) {
    // Qt D-Bus uses libdbus from its own thread in this process too.
    dbus_threads_init_default();
    DBusError dbusError;
    dbus_error_init(&dbusError);
    DBusConnection* connection = dbus_bus_get_private(DBUS_BUS_SESSION, &dbusError);
    if (!connection) {
        error = TakeError(dbusError, "no D-Bus session bus");
        return nullptr;
    }
    return std::unique_ptr<CBusConnection>(new CBusConnection(connection));
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
        // Released before the connection goes, so a program started right after can claim it.
        DBusError ignored;
        dbus_error_init(&ignored);
        dbus_bus_release_name(connection_, claimedName_.c_str(), &ignored);
        dbus_error_free(&ignored);
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
    DBusError dbusError;
    dbus_error_init(&dbusError);
    const int result =
        dbus_bus_request_name(connection_, name.c_str(), DBUS_NAME_FLAG_DO_NOT_QUEUE, &dbusError);
    if (result == DBUS_REQUEST_NAME_REPLY_PRIMARY_OWNER || result == DBUS_REQUEST_NAME_REPLY_ALREADY_OWNER) {
        claimedName_ = name;
        return true;
    }
    error = result == DBUS_REQUEST_NAME_REPLY_EXISTS
                ? QStringLiteral("the bus name %1 is already owned by another program")
                      .arg(QString::fromStdString(name))
                : TakeError(dbusError, "the bus refused the name");
    dbus_error_free(&dbusError);
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
