#include "RegisterMethods.h"

#include "AutomationArguments.h"
#include "board/ChipRegisters.h"
#include "ops/BoardOperations.h"
#include "ops/RegisterSession.h"
#include "pages/RegisterCompare.h"

#include <array>
#include <dbus/dbus.h>

namespace tarsion {

namespace {

AutomationWork TakeSnapshot(CCallArguments& in, AutomationTarget& target) {
    return [registers = target.registers, name = in.Text()]() mutable {
        return AutomationResult{registers ? registers->TakeSnapshot(std::move(name)) : std::string()};
    };
}

AutomationWork SaveSnapshot(CCallArguments& in, AutomationTarget& target) {
    std::string id = in.Text();
    return [registers = target.registers, id = std::move(id), file = in.Path()] {
        std::string error;
        return AutomationResult{registers != nullptr && registers->Save(id, file, error)};
    };
}

AutomationWork OpenSnapshot(CCallArguments& in, AutomationTarget& target) {
    return [registers = target.registers, file = in.Path()] {
        std::string error;
        return AutomationResult{registers ? registers->Open(file, error) : std::string()};
    };
}

AutomationWork Compare(CCallArguments& in, AutomationTarget& target) {
    std::string before = in.Text();
    return [registers = target.registers, before = std::move(before), after = in.Text()] {
        std::vector<ComparedField> fields;
        CRegisterSnapshot a;
        CRegisterSnapshot b;
        if (!registers || !registers->Find(before, a) || !registers->Find(after, b))
            return AutomationResult{fields};
        for (const CompareRow& row : CompareSnapshots(a, b, false))
            fields.push_back(ComparedField{row.field->reg, row.field->Title(), row.before, row.after,
                                           row.rawBefore, row.rawAfter});
        return AutomationResult{fields};
    };
}

AutomationWork Registers(CCallArguments&, AutomationTarget& target) {
    return [&ops = target.ops] {
        std::map<std::uint8_t, std::uint32_t> words;
        for (const std::uint8_t reg : kValueRegisters)
            words[reg] = ops.Doc().Shadow().FetchChipReg(reg);
        return AutomationResult{words};
    };
}

AutomationWork Undo(CCallArguments&, AutomationTarget& target) {
    return
        [registers = target.registers] { return AutomationResult{registers && registers->Journal().Undo()}; };
}

const std::array<AutomationMethod, 6> kRegisterMethods = {{
    {kRegistersInterface, "TakeSnapshot", "s", "name", "s", TakeSnapshot, "id"},
    {kRegistersInterface, "SaveSnapshot", "ss", "id file", "b", SaveSnapshot},
    {kRegistersInterface, "OpenSnapshot", "s", "file", "s", OpenSnapshot, "id"},
    {kRegistersInterface, "Compare", "ss", "a b", "a(ysssuu)", Compare, "fields"},
    {kRegistersInterface, "Registers", "", "", "a{yu}", Registers, "registers"},
    {kRegistersInterface, "Undo", "", "", "b", Undo},
}};

void AppendString(DBusMessageIter& iter, const std::string& text) {
    // D-Bus strings must be valid UTF-8; a name that is not would make libdbus give up the reply.
    const char* data = dbus_validate_utf8(text.c_str(), nullptr) ? text.c_str() : "";
    dbus_message_iter_append_basic(&iter, DBUS_TYPE_STRING, &data);
}

} // namespace

std::span<const AutomationMethod> RegisterMethods() {
    return kRegisterMethods;
}

void AppendRegisterResult(DBusMessage* reply, const AutomationResult& result) {
    DBusMessageIter iter;
    dbus_message_iter_init_append(reply, &iter);
    if (const auto* text = std::get_if<std::string>(&result)) {
        AppendString(iter, *text);
    } else if (const auto* fields = std::get_if<std::vector<ComparedField>>(&result)) {
        DBusMessageIter array;
        dbus_message_iter_open_container(&iter, DBUS_TYPE_ARRAY, "(ysssuu)", &array);
        for (const ComparedField& field : *fields) {
            DBusMessageIter entry;
            dbus_message_iter_open_container(&array, DBUS_TYPE_STRUCT, nullptr, &entry);
            const unsigned char address = field.address;
            dbus_message_iter_append_basic(&entry, DBUS_TYPE_BYTE, &address);
            AppendString(entry, field.field);
            AppendString(entry, field.before);
            AppendString(entry, field.after);
            const dbus_uint32_t rawBefore = field.rawBefore;
            const dbus_uint32_t rawAfter = field.rawAfter;
            dbus_message_iter_append_basic(&entry, DBUS_TYPE_UINT32, &rawBefore);
            dbus_message_iter_append_basic(&entry, DBUS_TYPE_UINT32, &rawAfter);
            dbus_message_iter_close_container(&array, &entry);
        }
        dbus_message_iter_close_container(&iter, &array);
    } else if (const auto* words = std::get_if<std::map<std::uint8_t, std::uint32_t>>(&result)) {
        DBusMessageIter array;
        dbus_message_iter_open_container(&iter, DBUS_TYPE_ARRAY, "{yu}", &array);
        for (const auto& [reg, word] : *words) {
            DBusMessageIter entry;
            dbus_message_iter_open_container(&array, DBUS_TYPE_DICT_ENTRY, nullptr, &entry);
            const unsigned char address = reg;
            const dbus_uint32_t value = word;
            dbus_message_iter_append_basic(&entry, DBUS_TYPE_BYTE, &address);
            dbus_message_iter_append_basic(&entry, DBUS_TYPE_UINT32, &value);
            dbus_message_iter_close_container(&array, &entry);
        }
        dbus_message_iter_close_container(&iter, &array);
    }
}

} // namespace tarsion
