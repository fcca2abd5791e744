#pragma once

#include "AutomationNumber.h"

#include <cstdint>
#include <dbus/dbus.h>
#include <string>

namespace tarsion {

// Reads a call's arguments in order; the call's signature has been checked against the method's.
class CCallArguments {
public:
    explicit CCallArguments(DBusMessage* call) { dbus_message_iter_init(call, &iter_); }

    // A variant counts by its own type: int16, int32 and double give their value, anything else
    // 0. Nothing is parsed, so a string holding digits counts as 0.
    double Number() {
        DBusMessageIter inner;
        dbus_message_iter_recurse(&iter_, &inner);
        dbus_message_iter_next(&iter_);
        switch (dbus_message_iter_get_arg_type(&inner)) {
        case DBUS_TYPE_INT16:
            return Basic<dbus_int16_t>(inner);
        case DBUS_TYPE_INT32:
            return Basic<dbus_int32_t>(inner);
        case DBUS_TYPE_DOUBLE:
            return Basic<double>(inner);
        default:
            return 0.0;
        }
    }
    std::uint8_t Byte() { return AutomationByte(Number()); }
    std::uint32_t Word() { return AutomationWord(Number()); }
    std::int16_t Short() { return Next<dbus_int16_t>(); }
    std::int32_t Int() { return Next<dbus_int32_t>(); }
    double Double() { return Next<double>(); }
    bool Bool() { return Next<dbus_bool_t>() != 0; }
    std::string Text() { return Next<const char*>(); }
    // Recorded and saved scripts quote file names with a trailing blank.
    std::string Path() {
        std::string file = Next<const char*>();
        file.erase(file.find_last_not_of(' ') + 1);
        return file;
    }

private:
    template <typename T>
    static T Basic(DBusMessageIter& iter) {
        T value{};
        dbus_message_iter_get_basic(&iter, &value);
        return value;
    }
    template <typename T>
    T Next() {
        const T value = Basic<T>(iter_);
        dbus_message_iter_next(&iter_);
        return value;
    }

    DBusMessageIter iter_;
};

} // namespace tarsion
