// A D-Bus server that does no work, for the automation call-rate benchmark: the object /Trm90627
// answers Create, Poke (true) and Peek (0.0) of the program's interfaces at once, and Peer.Ping,
// from a plain libdbus loop. It owns the bus name of board "null"
// (com.tessaric.Tarsion.Board.null), so tarsion-script --board null and dbus-python reach it as
// they reach the program. Its rate is what the bus and the client cost without the program.
// Ends on SIGTERM (the default action: it holds nothing).

#include <cstdio>
#include <cstring>
#include <dbus/dbus.h>

namespace {

constexpr const char* kName = "com.tessaric.Tarsion.Board.null";
constexpr const char* kPath = "/Trm90627";

// What tarsion-script reads to learn the methods it may call.
constexpr const char* kIntrospection =
    "<node><interface name=\"com.tessaric.Trm90627\">"
    "<method name=\"Poke\"><arg type=\"v\" direction=\"in\"/><arg type=\"v\" direction=\"in\"/>"
    "<arg type=\"b\" direction=\"out\"/></method>"
    "<method name=\"Peek\"><arg type=\"n\" direction=\"in\"/><arg type=\"d\" direction=\"out\"/></method>"
    "</interface>"
    "<interface name=\"org.freedesktop.DBus.Peer\"><method name=\"Ping\"/></interface>"
    "</node>";

DBusHandlerResult Answer(DBusConnection* connection, DBusMessage* call, void*) {
    if (dbus_message_get_type(call) != DBUS_MESSAGE_TYPE_METHOD_CALL)
        return DBUS_HANDLER_RESULT_NOT_YET_HANDLED;
    const char* member = dbus_message_get_member(call);
    DBusMessage* reply = dbus_message_new_method_return(call);
    if (std::strcmp(member, "Poke") == 0) {
        const dbus_bool_t done = TRUE;
        dbus_message_append_args(reply, DBUS_TYPE_BOOLEAN, &done, DBUS_TYPE_INVALID);
    } else if (std::strcmp(member, "Peek") == 0) {
        const double value = 0.0;
        dbus_message_append_args(reply, DBUS_TYPE_DOUBLE, &value, DBUS_TYPE_INVALID);
    } else if (std::strcmp(member, "Introspect") == 0) {
        dbus_message_append_args(reply, DBUS_TYPE_STRING, &kIntrospection, DBUS_TYPE_INVALID);
    }
    if (!dbus_message_get_no_reply(call))
        dbus_connection_send(connection, reply, nullptr);
    dbus_message_unref(reply);
    return DBUS_HANDLER_RESULT_HANDLED;
}

} // namespace

int main() {
    DBusError error;
    dbus_error_init(&error);
    DBusConnection* connection = dbus_bus_get_private(DBUS_BUS_SESSION, &error);
    if (!connection) {
        std::fprintf(stderr, "tarsion_null_server: %s\n", error.message);
        return 1;
    }
    const DBusObjectPathVTable table{nullptr, &Answer, nullptr, nullptr, nullptr, nullptr};
    dbus_connection_register_object_path(connection, kPath, &table, nullptr);
    if (dbus_bus_request_name(connection, kName, DBUS_NAME_FLAG_DO_NOT_QUEUE, &error) !=
        DBUS_REQUEST_NAME_REPLY_PRIMARY_OWNER) {
        std::fprintf(stderr, "tarsion_null_server: can't own %s\n", kName);
        return 1;
    }
    while (dbus_connection_read_write_dispatch(connection, -1)) {
    }
    return 0;
}
