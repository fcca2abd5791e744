#include "automation/RegisterMethods.h"

#include "automation/CallArguments.h"
#include "board/ChipRegisters.h"
#include "ops/BoardOperations.h"
#include "registers/RegisterCompare.h"
#include "registers/RegisterSession.h"

#include <array>
#include <dbus/dbus.h>

namespace tarsion {

namespace {

constexpr const char* kInterface = "com.tessaric.Tarsion.Registers1";
constexpr const char* kFailed = "com.tessaric.Tarsion.Error.Failed";
constexpr const char* kNoSession = "the register workflow is not served";

AutomationResult Failure(std::string reason) {
    return AutomationReply{{}, kFailed, std::move(reason)};
}

void AppendString(DBusMessageIter& iter, const std::string& text) {
    // D-Bus strings must be valid UTF-8; libdbus would give up the whole reply otherwise.
    const char* data = dbus_validate_utf8(text.c_str(), nullptr) ? text.c_str() : "";
    dbus_message_iter_append_basic(&iter, DBUS_TYPE_STRING, &data);
}

AutomationResult TextReply(std::string text) {
    return AutomationReply{[text = std::move(text)](DBusMessage* reply) {
                               DBusMessageIter iter;
                               dbus_message_iter_init_append(reply, &iter);
                               AppendString(iter, text);
                           },
                           {},
                           {}};
}

AutomationWork TakeSnapshot(CCallArguments& in, AutomationTarget& target) {
    return [registers = CRegisterSession::Of(target.ops), name = in.Text()]() mutable {
        if (!registers)
            return Failure(kNoSession);
        std::string error;
        std::string id = registers->TakeSnapshot(std::move(name), error);
        return id.empty() ? Failure(error) : TextReply(std::move(id));
    };
}

AutomationWork SaveSnapshot(CCallArguments& in, AutomationTarget& target) {
    std::string id = in.Text();
    return [registers = CRegisterSession::Of(target.ops), id = std::move(id), file = in.Path()] {
        std::string error;
        if (!registers)
            return Failure(kNoSession);
        return registers->Save(id, file, error) ? AutomationResult{true} : Failure(error);
    };
}

AutomationWork OpenSnapshot(CCallArguments& in, AutomationTarget& target) {
    return [registers = CRegisterSession::Of(target.ops), file = in.Path()] {
        if (!registers)
            return Failure(kNoSession);
        // Calls of a configuration that failed on the private board still leave a snapshot.
        std::string error;
        std::string id = registers->Open(file, error);
        return id.empty() ? Failure(error) : TextReply(std::move(id));
    };
}

AutomationWork Compare(CCallArguments& in, AutomationTarget& target) {
    std::string before = in.Text();
    return [registers = CRegisterSession::Of(target.ops), before = std::move(before),
            after = in.Text()]() -> AutomationResult {
        CRegisterSnapshot a;
        CRegisterSnapshot b;
        if (!registers)
            return Failure(kNoSession);
        if (!registers->Find(before, a) || !registers->Find(after, b))
            return Failure("no snapshot " + (registers->Find(before, a) ? after : before));
        return AutomationReply{
            [rows = CompareSnapshots(a, b, false)](DBusMessage* reply) {
                DBusMessageIter iter;
                dbus_message_iter_init_append(reply, &iter);
                DBusMessageIter array;
                dbus_message_iter_open_container(&iter, DBUS_TYPE_ARRAY, "(ysssuu)", &array);
                for (const CompareRow& row : rows) {
                    DBusMessageIter entry;
                    dbus_message_iter_open_container(&array, DBUS_TYPE_STRUCT, nullptr, &entry);
                    const unsigned char address = row.field->reg;
                    dbus_message_iter_append_basic(&entry, DBUS_TYPE_BYTE, &address);
                    AppendString(entry, row.field->Title());
                    AppendString(entry, row.before);
                    AppendString(entry, row.after);
                    const dbus_uint32_t rawBefore = row.rawBefore;
                    const dbus_uint32_t rawAfter = row.rawAfter;
                    dbus_message_iter_append_basic(&entry, DBUS_TYPE_UINT32, &rawBefore);
                    dbus_message_iter_append_basic(&entry, DBUS_TYPE_UINT32, &rawAfter);
                    dbus_message_iter_close_container(&array, &entry);
                }
                dbus_message_iter_close_container(&iter, &array);
            },
            {},
            {}};
    };
}

AutomationWork Registers(CCallArguments&, AutomationTarget& target) {
    return [&ops = target.ops] {
        std::vector<std::pair<std::uint8_t, std::uint32_t>> words;
        for (const std::uint8_t reg : kValueRegisters)
            words.emplace_back(reg, ops.Doc().Shadow().FetchChipReg(reg));
        return AutomationResult{AutomationReply{
            [words = std::move(words)](DBusMessage* reply) {
                DBusMessageIter iter;
                dbus_message_iter_init_append(reply, &iter);
                DBusMessageIter array;
                dbus_message_iter_open_container(&iter, DBUS_TYPE_ARRAY, "{yu}", &array);
                for (const auto& [reg, word] : words) {
                    DBusMessageIter entry;
                    dbus_message_iter_open_container(&array, DBUS_TYPE_DICT_ENTRY, nullptr, &entry);
                    const unsigned char address = reg;
                    const dbus_uint32_t value = word;
                    dbus_message_iter_append_basic(&entry, DBUS_TYPE_BYTE, &address);
                    dbus_message_iter_append_basic(&entry, DBUS_TYPE_UINT32, &value);
                    dbus_message_iter_close_container(&array, &entry);
                }
                dbus_message_iter_close_container(&iter, &array);
            },
            {},
            {}}};
    };
}

AutomationWork Undo(CCallArguments&, AutomationTarget& target) {
    return [registers = CRegisterSession::Of(target.ops)] {
        return registers ? AutomationResult{registers->Journal().Undo()} : Failure(kNoSession);
    };
}

const std::array<AutomationMethod, 6> kRegisterMethods = {{
    {kInterface, "TakeSnapshot", "s", "name", "s", TakeSnapshot, "id"},
    {kInterface, "SaveSnapshot", "ss", "id file", "b", SaveSnapshot},
    {kInterface, "OpenSnapshot", "s", "file", "s", OpenSnapshot, "id"},
    {kInterface, "Compare", "ss", "a b", "a(ysssuu)", Compare, "fields"},
    {kInterface, "Registers", "", "", "a{yu}", Registers, "registers"},
    {kInterface, "Undo", "", "", "b", Undo},
}};

} // namespace

std::span<const AutomationMethod> RegisterInterfaceMethods() {
    return kRegisterMethods;
}

} // namespace tarsion
