#pragma once

#include "automation/BusOptions.h"
#include "ops/CallArguments.h"

#include <cstdint>
#include <dbus/dbus.h>
#include <string>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

namespace tarsion {

// Reads a call's arguments in order into the C++ types the interface descriptions give them
// (basic types, strings, variants as numbers or as values, arrays, structs as tuples, dictionaries
// as pairs). The
// call's signature has been checked against the method's, so every read finds its type.
class CBusArguments final : public CCallArguments {
public:
    // The elements a call's arrays may hold in all, nested ones counted too: a whole pattern memory
    // as WriteMemory words (262,144 words of 3 bytes). Reading more would hold the event loop for
    // seconds, so the reads stop there and read empty arrays from then on.
    static constexpr std::size_t kMostElements = 1u << 20;

    explicit CBusArguments(DBusMessage* call) { dbus_message_iter_init(call, &iter_); }

    // The call's arrays held more than kMostElements: what was read is not the call's.
    bool OverLimit() const { return overLimit_; }

    template <typename T>
    T Read() {
        T value = ReadAt<T>(iter_);
        dbus_message_iter_next(&iter_);
        return value;
    }

    CCallNumber Number() override { return Read<CCallNumber>(); }
    std::int16_t Short() override { return Read<std::int16_t>(); }
    std::int32_t Int() override { return Read<std::int32_t>(); }
    double Double() override { return Read<double>(); }
    bool Bool() override { return Read<bool>(); }
    std::string String() override { return Read<std::string>(); }

private:
    template <typename T>
    struct IsVector : std::false_type {};
    template <typename T>
    struct IsVector<std::vector<T>> : std::true_type {};
    template <typename T>
    struct IsTuple : std::false_type {};
    template <typename... T>
    struct IsTuple<std::tuple<T...>> : std::true_type {};
    template <typename K, typename V>
    struct IsTuple<std::pair<K, V>> : std::true_type {};

    // The value at `iter`, which stays where it is.
    template <typename T>
    T ReadAt(DBusMessageIter& iter) {
        if constexpr (std::is_same_v<T, CCallNumber>) {
            return CCallNumber(VariantNumber(iter));
        } else if constexpr (std::is_same_v<T, BusValue>) {
            return VariantValue(iter);
        } else if constexpr (std::is_same_v<T, bool>) {
            dbus_bool_t value = 0;
            dbus_message_iter_get_basic(&iter, &value);
            return value != 0;
        } else if constexpr (std::is_same_v<T, std::string>) {
            const char* text = nullptr;
            dbus_message_iter_get_basic(&iter, &text);
            return text ? text : "";
        } else if constexpr (std::is_arithmetic_v<T>) {
            T value{};
            dbus_message_iter_get_basic(&iter, &value);
            return value;
        } else if constexpr (IsVector<T>::value) {
            return ReadArray<typename T::value_type>(iter);
        } else {
            static_assert(IsTuple<T>::value, "no D-Bus type reads into this C++ type");
            DBusMessageIter members;
            dbus_message_iter_recurse(&iter, &members);
            return ReadMembers<T>(members, std::make_index_sequence<std::tuple_size_v<T>>());
        }
    }

    template <typename T, std::size_t... I>
    T ReadMembers(DBusMessageIter& members, std::index_sequence<I...>) {
        // A braced list runs its reads in order.
        return T{ReadMember<std::tuple_element_t<I, T>>(members)...};
    }
    template <typename T>
    T ReadMember(DBusMessageIter& members) {
        T value = ReadAt<T>(members);
        dbus_message_iter_next(&members);
        return value;
    }

    template <typename T>
    std::vector<T> ReadArray(DBusMessageIter& iter) {
        DBusMessageIter items;
        dbus_message_iter_recurse(&iter, &items);
        if constexpr (std::is_arithmetic_v<T> && !std::is_same_v<T, bool>) {
            const T* data = nullptr;
            int count = 0;
            dbus_message_iter_get_fixed_array(&items, &data, &count);
            if (!data || !CountElements(static_cast<std::size_t>(count)))
                return {};
            return std::vector<T>(data, data + count);
        } else {
            std::vector<T> values;
            for (; dbus_message_iter_get_arg_type(&items) != DBUS_TYPE_INVALID;
                 dbus_message_iter_next(&items)) {
                if (!CountElements(1))
                    return {};
                values.push_back(ReadAt<T>(items));
            }
            return values;
        }
    }

    // False once the call's arrays hold more than kMostElements with these.
    bool CountElements(std::size_t count) {
        overLimit_ = overLimit_ || count > kMostElements - elements_;
        if (!overLimit_)
            elements_ += count;
        return !overLimit_;
    }

    // A variant counts by its own type: int16, int32 and double give their value, anything else 0.
    // Nothing is parsed, so a string holding digits counts as 0.
    double VariantNumber(DBusMessageIter& iter) {
        DBusMessageIter inner;
        dbus_message_iter_recurse(&iter, &inner);
        switch (dbus_message_iter_get_arg_type(&inner)) {
        case DBUS_TYPE_INT16:
            return ReadAt<dbus_int16_t>(inner);
        case DBUS_TYPE_INT32:
            return ReadAt<dbus_int32_t>(inner);
        case DBUS_TYPE_DOUBLE:
            return ReadAt<double>(inner);
        default:
            return 0.0;
        }
    }

    static bool IsNumber(int type) {
        switch (type) {
        case DBUS_TYPE_BYTE:
        case DBUS_TYPE_INT16:
        case DBUS_TYPE_UINT16:
        case DBUS_TYPE_INT32:
        case DBUS_TYPE_UINT32:
        case DBUS_TYPE_INT64:
        case DBUS_TYPE_UINT64:
        case DBUS_TYPE_DOUBLE:
            return true;
        default:
            return false;
        }
    }

    // The number at `iter`, of a type IsNumber accepts.
    double NumberAt(DBusMessageIter& iter) {
        switch (dbus_message_iter_get_arg_type(&iter)) {
        case DBUS_TYPE_BYTE:
            return ReadAt<std::uint8_t>(iter);
        case DBUS_TYPE_INT16:
            return ReadAt<dbus_int16_t>(iter);
        case DBUS_TYPE_UINT16:
            return ReadAt<dbus_uint16_t>(iter);
        case DBUS_TYPE_INT32:
            return ReadAt<dbus_int32_t>(iter);
        case DBUS_TYPE_UINT32:
            return ReadAt<dbus_uint32_t>(iter);
        case DBUS_TYPE_INT64:
            return static_cast<double>(ReadAt<dbus_int64_t>(iter));
        case DBUS_TYPE_UINT64:
            return static_cast<double>(ReadAt<dbus_uint64_t>(iter));
        default:
            return ReadAt<double>(iter);
        }
    }

    // A variant of the versioned interfaces as its own type gives it. An array counts when it holds
    // only numbers, directly or each in a variant of its own (as scripting languages send lists).
    BusValue VariantValue(DBusMessageIter& iter) {
        DBusMessageIter inner;
        dbus_message_iter_recurse(&iter, &inner);
        const int type = dbus_message_iter_get_arg_type(&inner);
        if (type == DBUS_TYPE_BOOLEAN)
            return ReadAt<bool>(inner);
        if (type == DBUS_TYPE_STRING)
            return ReadAt<std::string>(inner);
        if (IsNumber(type))
            return NumberAt(inner);
        const int element = type == DBUS_TYPE_ARRAY ? dbus_message_iter_get_element_type(&inner) : 0;
        if (!IsNumber(element) && element != DBUS_TYPE_VARIANT)
            return std::monostate{};
        std::vector<double> values;
        DBusMessageIter items;
        dbus_message_iter_recurse(&inner, &items);
        for (; dbus_message_iter_get_arg_type(&items) != DBUS_TYPE_INVALID; dbus_message_iter_next(&items)) {
            if (!CountElements(1))
                return std::monostate{};
            DBusMessageIter number = items;
            if (element == DBUS_TYPE_VARIANT)
                dbus_message_iter_recurse(&items, &number);
            if (!IsNumber(dbus_message_iter_get_arg_type(&number)))
                return std::monostate{};
            values.push_back(NumberAt(number));
        }
        return values;
    }

    DBusMessageIter iter_;
    std::size_t elements_ = 0;
    bool overLimit_ = false;
};

} // namespace tarsion
