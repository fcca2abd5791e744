#include "automation/AutomationMethods.h"

#include "automation/ObjectInterfaces.h"

#include <cstring>
#include <dbus/dbus.h>

namespace tarsion {

namespace {

constexpr const char* kDocType =
    "<!DOCTYPE node PUBLIC \"-//freedesktop//DTD D-BUS Object Introspection 1.0//EN\"\n"
    "\"http://www.freedesktop.org/standards/dbus/1.0/introspect.dtd\">\n";

// The standard interfaces libdbus answers on every object.
constexpr const char* kStandardInterfaces = R"(  <interface name="org.freedesktop.DBus.Introspectable">
    <method name="Introspect">
      <arg name="xml_data" type="s" direction="out"/>
    </method>
  </interface>
  <interface name="org.freedesktop.DBus.Peer">
    <method name="Ping">
    </method>
    <method name="GetMachineId">
      <arg name="machine_uuid" type="s" direction="out"/>
    </method>
  </interface>
)";

} // namespace

// The creation request of com.tessaric.Tarsion.Automation.
AutomationWork automation::Create(AutomationTarget& target) {
    return [&target] {
        target.newDocument();
        return AutomationResult{};
    };
}

AutomationWork FromCall(CallWork work) {
    return [work = std::move(work)] {
        return std::visit([](auto value) { return AutomationResult{value}; }, work().value);
    };
}

const AutomationMethod* FindAutomationMethod(const char* interface, const char* name) {
    for (const AutomationMethod& method : ObjectMethods())
        if (std::strcmp(method.name, name) == 0 &&
            (!interface || std::strcmp(method.interface, interface) == 0))
            return &method;
    return nullptr;
}

bool IsAutomationInterface(const char* interface) {
    for (const AutomationMethod& method : ObjectMethods())
        if (std::strcmp(method.interface, interface) == 0)
            return true;
    return false;
}

void AppendAutomationResult(DBusMessage* reply, const AutomationResult& result) {
    if (const bool* success = std::get_if<bool>(&result)) {
        const dbus_bool_t value = *success;
        dbus_message_append_args(reply, DBUS_TYPE_BOOLEAN, &value, DBUS_TYPE_INVALID);
    } else if (const std::int16_t* word = std::get_if<std::int16_t>(&result)) {
        const dbus_int16_t value = *word;
        dbus_message_append_args(reply, DBUS_TYPE_INT16, &value, DBUS_TYPE_INVALID);
    } else if (const double* number = std::get_if<double>(&result)) {
        dbus_message_append_args(reply, DBUS_TYPE_DOUBLE, number, DBUS_TYPE_INVALID);
    } else if (const AutomationReply* own = std::get_if<AutomationReply>(&result); own && own->append) {
        own->append(reply);
    }
}

const std::string& AutomationIntrospection() {
    static const std::string xml =
        std::string(kDocType) + "<node>\n" + kObjectInterfaces + kStandardInterfaces + "</node>\n";
    return xml;
}

const std::string& RootIntrospection() {
    static const std::string xml =
        std::string(kDocType) + "<node>\n" + kStandardInterfaces + "  <node name=\"Trm90627\"/>\n</node>\n";
    return xml;
}

} // namespace tarsion
