#pragma once

#include "automation/AutomationNumber.h"

#include <cstdint>
#include <dbus/dbus.h>
#include <string>
#include <vector>

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
    // Recorded and saved scripts quote file names with a trailing blank.
    std::string Path() {
        std::string file = Next<const char*>();
        file.erase(file.find_last_not_of(' ') + 1);
        return file;
    }

    std::uint8_t UnsignedByte() { return Next<std::uint8_t>(); }
    std::uint32_t Unsigned() { return Next<dbus_uint32_t>(); }
    std::string Text() { return Next<const char*>(); }

    // ay
    std::vector<std::uint8_t> ByteArray() {
        DBusMessageIter inner;
        dbus_message_iter_recurse(&iter_, &inner);
        dbus_message_iter_next(&iter_);
        return FixedBytes(inner);
    }
    // aay
    std::vector<std::vector<std::uint8_t>> ByteArrays() {
        std::vector<std::vector<std::uint8_t>> arrays;
        DBusMessageIter outer;
        dbus_message_iter_recurse(&iter_, &outer);
        dbus_message_iter_next(&iter_);
        for (; dbus_message_iter_get_arg_type(&outer) == DBUS_TYPE_ARRAY; dbus_message_iter_next(&outer)) {
            DBusMessageIter inner;
            dbus_message_iter_recurse(&outer, &inner);
            arrays.push_back(FixedBytes(inner));
        }
        return arrays;
    }
    // An array of structs of two basic members, a(yu) or a(yy), each made into an item by `make`.
    template <typename First, typename Second, typename Item>
    std::vector<Item> Pairs(Item (*make)(First, Second)) {
        std::vector<Item> items;
        DBusMessageIter array;
        dbus_message_iter_recurse(&iter_, &array);
        dbus_message_iter_next(&iter_);
        for (; dbus_message_iter_get_arg_type(&array) == DBUS_TYPE_STRUCT; dbus_message_iter_next(&array)) {
            DBusMessageIter member;
            dbus_message_iter_recurse(&array, &member);
            const First first = Basic<First>(member);
            dbus_message_iter_next(&member);
            items.push_back(make(first, Basic<Second>(member)));
        }
        return items;
    }

private:
    static std::vector<std::uint8_t> FixedBytes(DBusMessageIter& iter) {
        const std::uint8_t* data = nullptr;
        int count = 0;
        dbus_message_iter_get_fixed_array(&iter, &data, &count);
        return data ? std::vector<std::uint8_t>(data, data + count) : std::vector<std::uint8_t>{};
    }
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
