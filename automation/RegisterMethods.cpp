// The adaptors of com.tessaric.Tarsion.Registers1: snapshots of the register workflow, their
// comparison, and Undo.
#include "automation/ObjectInterfaces.h"
#include "board/ChipRegisters.h"
#include "ops/BoardOperations.h"
#include "registers/RegisterCompare.h"
#include "registers/RegisterSession.h"

#include <dbus/dbus.h>

namespace tarsion {

namespace {

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

} // namespace

AutomationWork registers1::TakeSnapshot(AutomationTarget& target, std::string name) {
    return [registers = CRegisterSession::Of(target.ops), name = std::move(name)]() mutable {
        if (!registers)
            return Failure(kNoSession);
        std::string error;
        std::string id = registers->TakeSnapshot(std::move(name), error);
        return id.empty() ? Failure(error) : TextReply(std::move(id));
    };
}

AutomationWork registers1::SaveSnapshot(AutomationTarget& target, std::string id, std::string file) {
    return
        [registers = CRegisterSession::Of(target.ops), id = std::move(id), file = CallPath(std::move(file))] {
            std::string error;
            if (!registers)
                return Failure(kNoSession);
            return registers->Save(id, file, error) ? AutomationResult{true} : Failure(error);
        };
}

AutomationWork registers1::OpenSnapshot(AutomationTarget& target, std::string file) {
    return [registers = CRegisterSession::Of(target.ops), file = CallPath(std::move(file))] {
        if (!registers)
            return Failure(kNoSession);
        // Calls of a configuration that failed on the private board still leave a snapshot.
        std::string error;
        std::string id = registers->Open(file, error);
        return id.empty() ? Failure(error) : TextReply(std::move(id));
    };
}

AutomationWork registers1::Compare(AutomationTarget& target, std::string a, std::string b) {
    return [registers = CRegisterSession::Of(target.ops), before = std::move(a),
            after = std::move(b)]() -> AutomationResult {
        CRegisterSnapshot first;
        CRegisterSnapshot second;
        if (!registers)
            return Failure(kNoSession);
        if (!registers->Find(before, first) || !registers->Find(after, second))
            return Failure("no snapshot " + (registers->Find(before, first) ? after : before));
        return AutomationReply{
            [rows = CompareSnapshots(first, second, false)](DBusMessage* reply) {
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

AutomationWork registers1::Registers(AutomationTarget& target) {
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

AutomationWork registers1::Undo(AutomationTarget& target) {
    return [registers = CRegisterSession::Of(target.ops)] {
        return registers ? AutomationResult{registers->Journal().Undo()} : Failure(kNoSession);
    };
}

} // namespace tarsion
