// The adaptors of com.tessaric.Tarsion.Board1: batch register transfers, memory contents in
// replies, a register wait and the program's status. A failure is a D-Bus error that names the item
// and the log's reason.
#include "automation/ObjectInterfaces.h"
#include "ops/BoardOperations.h"
#include "ops/MemoryTransfer.h"
#include "ops/RegisterBatch.h"

#include <QEventLoop>
#include <QString>
#include <QTimer>

#include <dbus/dbus.h>

namespace tarsion {

namespace {

constexpr const char* kFailed = "com.tessaric.Tarsion.Error.Failed";
// Between two reads of WaitForBits the program serves its events for this long.
constexpr int kPollIntervalMs = 1;

AutomationResult Failure(const BatchFailure& failure) {
    return AutomationReply{{}, kFailed, "item " + std::to_string(failure.index) + ": " + failure.reason};
}

AutomationResult Done() {
    return AutomationReply{[](DBusMessage*) {}, {}, {}};
}

template <int Type, typename T>
void AppendFixedArray(DBusMessageIter& into, const std::vector<T>& values) {
    const char signature[] = {static_cast<char>(Type), '\0'};
    DBusMessageIter array;
    dbus_message_iter_open_container(&into, DBUS_TYPE_ARRAY, signature, &array);
    const T* data = values.data();
    dbus_message_iter_append_fixed_array(&array, Type, &data, static_cast<int>(values.size()));
    dbus_message_iter_close_container(&into, &array);
}

template <int Type, typename T>
AutomationResult FixedArrayReply(std::vector<T> values) {
    return AutomationReply{[values = std::move(values)](DBusMessage* reply) {
                               DBusMessageIter iter;
                               dbus_message_iter_init_append(reply, &iter);
                               AppendFixedArray<Type>(iter, values);
                           },
                           {},
                           {}};
}

template <typename Value, RegisterWrite (*Make)(std::uint8_t, Value),
          BatchOutcome (CRegisterBatch::*Operation)(const std::vector<RegisterWrite>&)>
AutomationWork WriteMany(AutomationTarget& target,
                         const std::vector<std::tuple<std::uint8_t, Value>>& writes) {
    std::vector<RegisterWrite> items;
    items.reserve(writes.size());
    for (const auto& [reg, value] : writes)
        items.push_back(Make(reg, value));
    return [&ops = target.ops, items = std::move(items)] {
        const BatchOutcome failure = (CRegisterBatch(ops).*Operation)(items);
        return failure ? Failure(*failure) : Done();
    };
}

template <int Type, typename T,
          BatchOutcome (CRegisterBatch::*Operation)(const std::vector<std::uint8_t>&, std::vector<T>&)>
AutomationWork ReadMany(AutomationTarget& target, std::vector<std::uint8_t> addresses) {
    return [&ops = target.ops, addresses = std::move(addresses)] {
        std::vector<T> values;
        const BatchOutcome failure = (CRegisterBatch(ops).*Operation)(addresses, values);
        return failure ? Failure(*failure) : FixedArrayReply<Type>(std::move(values));
    };
}

void AppendWords(DBusMessageIter& into, const std::vector<MemoryWord>& words) {
    DBusMessageIter array;
    dbus_message_iter_open_container(&into, DBUS_TYPE_ARRAY, "ay", &array);
    for (const MemoryWord& word : words)
        AppendFixedArray<DBUS_TYPE_BYTE>(array, word);
    dbus_message_iter_close_container(&into, &array);
}

} // namespace

AutomationWork board1::PokeMany(AutomationTarget& target,
                                std::vector<std::tuple<std::uint8_t, std::uint32_t>> writes) {
    return WriteMany<std::uint32_t, RegisterWrite::Chip, &CRegisterBatch::PokeMany>(target, writes);
}

AutomationWork board1::PeekMany(AutomationTarget& target, std::vector<std::uint8_t> addresses) {
    return ReadMany<DBUS_TYPE_UINT32, std::uint32_t, &CRegisterBatch::PeekMany>(target, std::move(addresses));
}

AutomationWork board1::PldWriteMany(AutomationTarget& target,
                                    std::vector<std::tuple<std::uint8_t, std::uint8_t>> writes) {
    return WriteMany<std::uint8_t, RegisterWrite::Pld, &CRegisterBatch::PldWriteMany>(target, writes);
}

AutomationWork board1::PldReadMany(AutomationTarget& target, std::vector<std::uint8_t> registers) {
    return ReadMany<DBUS_TYPE_BYTE, std::uint8_t, &CRegisterBatch::PldReadMany>(target, std::move(registers));
}

AutomationWork board1::ReadMemory(AutomationTarget& target, std::string which, std::uint32_t first,
                                  std::uint32_t count) {
    return [&ops = target.ops, which = std::move(which), first, count] {
        std::vector<MemoryWord> words;
        if (const BatchOutcome failure = CMemoryTransfer(ops).Read(which, first, count, words))
            return Failure(*failure);
        return AutomationResult{AutomationReply{[words = std::move(words)](DBusMessage* reply) {
                                                    DBusMessageIter iter;
                                                    dbus_message_iter_init_append(reply, &iter);
                                                    AppendWords(iter, words);
                                                },
                                                {},
                                                {}}};
    };
}

AutomationWork board1::WriteMemory(AutomationTarget& target, std::string which, std::uint32_t first,
                                   std::vector<std::vector<std::uint8_t>> words) {
    return [&ops = target.ops, which = std::move(which), first, words = std::move(words)] {
        const BatchOutcome failure = CMemoryTransfer(ops).Write(which, first, words);
        return failure ? Failure(*failure) : Done();
    };
}

AutomationWork board1::Verify(AutomationTarget& target, std::string which) {
    return [&ops = target.ops, which = std::move(which)] {
        std::vector<MemoryDifference> differences;
        if (const BatchOutcome failure = CMemoryTransfer(ops).Verify(which, differences))
            return Failure(*failure);
        return AutomationResult{AutomationReply{
            [differences = std::move(differences)](DBusMessage* reply) {
                DBusMessageIter iter;
                DBusMessageIter array;
                dbus_message_iter_init_append(reply, &iter);
                const dbus_bool_t same = differences.empty();
                dbus_message_iter_append_basic(&iter, DBUS_TYPE_BOOLEAN, &same);
                dbus_message_iter_open_container(&iter, DBUS_TYPE_ARRAY, "(uayay)", &array);
                for (const MemoryDifference& difference : differences) {
                    DBusMessageIter item;
                    const dbus_uint32_t address = difference.address;
                    dbus_message_iter_open_container(&array, DBUS_TYPE_STRUCT, nullptr, &item);
                    dbus_message_iter_append_basic(&item, DBUS_TYPE_UINT32, &address);
                    AppendFixedArray<DBUS_TYPE_BYTE>(item, difference.expected);
                    AppendFixedArray<DBUS_TYPE_BYTE>(item, difference.read);
                    dbus_message_iter_close_container(&array, &item);
                }
                dbus_message_iter_close_container(&iter, &array);
            },
            {},
            {}}};
    };
}

namespace {

// Serves the program's events, but not the user's input, for a moment between two polls.
void ServeEventsBriefly() {
    QEventLoop loop;
    QTimer::singleShot(kPollIntervalMs, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
}

} // namespace

AutomationWork board1::WaitForBits(AutomationTarget& target, std::uint8_t address, std::uint32_t mask,
                                   std::uint32_t value, std::uint32_t timeout_ms) {
    return [&ops = target.ops, address, mask, value, timeout = std::chrono::milliseconds(timeout_ms)] {
        BatchOutcome failure;
        const bool matched =
            CRegisterBatch(ops).WaitForBits(address, mask, value, timeout, ServeEventsBriefly, failure);
        if (failure)
            return Failure(*failure);
        return AutomationResult{matched};
    };
}

namespace {

void AppendEntry(DBusMessageIter& dict, const char* key, int type, const void* value) {
    const char signature[] = {static_cast<char>(type), '\0'};
    DBusMessageIter entry;
    DBusMessageIter variant;
    dbus_message_iter_open_container(&dict, DBUS_TYPE_DICT_ENTRY, nullptr, &entry);
    dbus_message_iter_append_basic(&entry, DBUS_TYPE_STRING, &key);
    dbus_message_iter_open_container(&entry, DBUS_TYPE_VARIANT, signature, &variant);
    dbus_message_iter_append_basic(&variant, type, value);
    dbus_message_iter_close_container(&entry, &variant);
    dbus_message_iter_close_container(&dict, &entry);
}

} // namespace

AutomationWork board1::Status(AutomationTarget& target) {
    return [&ops = target.ops] {
        // D-Bus strings are UTF-8; a state file's name need not be.
        const std::string boardId = QString::fromStdString(ops.Doc().boardId).toStdString();
        const std::string port = QString::fromStdString(ops.Link().DescribePort()).toStdString();
        const dbus_uint32_t base = ops.Link().BaseAddress();
        const dbus_bool_t demo = ops.Link().IsDemo();
        const dbus_bool_t recording = ops.Doc().IsRecording();
        const dbus_bool_t busy = ops.IsBusy();
        return AutomationResult{
            AutomationReply{[=](DBusMessage* reply) {
                                const char* boardIdText = boardId.c_str();
                                const char* portText = port.c_str();
                                const char* version = TARSION_VERSION;
                                DBusMessageIter iter;
                                DBusMessageIter dict;
                                dbus_message_iter_init_append(reply, &iter);
                                dbus_message_iter_open_container(&iter, DBUS_TYPE_ARRAY, "{sv}", &dict);
                                AppendEntry(dict, "board id", DBUS_TYPE_STRING, &boardIdText);
                                AppendEntry(dict, "port", DBUS_TYPE_STRING, &portText);
                                AppendEntry(dict, "base", DBUS_TYPE_UINT32, &base);
                                AppendEntry(dict, "demo", DBUS_TYPE_BOOLEAN, &demo);
                                AppendEntry(dict, "recording", DBUS_TYPE_BOOLEAN, &recording);
                                AppendEntry(dict, "busy", DBUS_TYPE_BOOLEAN, &busy);
                                AppendEntry(dict, "version", DBUS_TYPE_STRING, &version);
                                dbus_message_iter_close_container(&iter, &dict);
                            },
                            {},
                            {}}};
    };
}

AutomationWork board1::LastResult(AutomationTarget& target) {
    return [&target] {
        // D-Bus strings are UTF-8; a file name in the log need not be.
        std::string text =
            QString::fromStdString(target.lastResult ? target.lastResult() : std::string()).toStdString();
        return AutomationResult{AutomationReply{[text = std::move(text)](DBusMessage* reply) {
                                                    const char* data = text.c_str();
                                                    dbus_message_append_args(reply, DBUS_TYPE_STRING, &data,
                                                                             DBUS_TYPE_INVALID);
                                                },
                                                {},
                                                {}}};
    };
}

} // namespace tarsion
