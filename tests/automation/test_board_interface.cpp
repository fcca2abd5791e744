// The versioned board interface as a D-Bus client sees it, on a fresh virtual board.

#include "AutomationBench.h"
#include "automation/BusArguments.h"
#include "ops/MemoryTransfer.h"
#include "ops/PatternMemory.h"
#include "ops/RegisterBatch.h"
#include "support/LogView.h"

#include <QDBusArgument>
#include <QDBusMetaType>
#include <QDBusVariant>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>
#include <tuple>
#include <vector>

namespace tarsion {

struct PokeItem {
    uchar address = 0;
    uint value = 0;
};
struct PldItem {
    uchar reg = 0;
    uchar value = 0;
};

QDBusArgument& operator<<(QDBusArgument& out, const PokeItem& item) {
    out.beginStructure();
    out << item.address << item.value;
    out.endStructure();
    return out;
}
const QDBusArgument& operator>>(const QDBusArgument& in, PokeItem& item) {
    in.beginStructure();
    in >> item.address >> item.value;
    in.endStructure();
    return in;
}
QDBusArgument& operator<<(QDBusArgument& out, const PldItem& item) {
    out.beginStructure();
    out << item.reg << item.value;
    out.endStructure();
    return out;
}
const QDBusArgument& operator>>(const QDBusArgument& in, PldItem& item) {
    in.beginStructure();
    in >> item.reg >> item.value;
    in.endStructure();
    return in;
}

} // namespace tarsion

Q_DECLARE_METATYPE(tarsion::PokeItem)
Q_DECLARE_METATYPE(tarsion::PldItem)

namespace tarsion {
namespace {

const QString kBoard1 = QStringLiteral("com.tessaric.Tarsion.Board1");

QDBusMessage Call(const char* method, const QList<QVariant>& arguments = {}) {
    return test::CallFromClient(QString::fromLatin1(method), arguments, kBoard1);
}

QVariant Pokes(const QList<PokeItem>& items) {
    return QVariant::fromValue(items);
}

QVariant Plds(const QList<PldItem>& items) {
    return QVariant::fromValue(items);
}

QByteArray Bytes(std::initializer_list<std::uint8_t> bytes) {
    QByteArray array;
    for (std::uint8_t byte : bytes)
        array.append(static_cast<char>(byte));
    return array;
}

class BoardInterface : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        qDBusRegisterMetaType<PokeItem>();
        qDBusRegisterMetaType<QList<PokeItem>>();
        qDBusRegisterMetaType<PldItem>();
        qDBusRegisterMetaType<QList<PldItem>>();
        qDBusRegisterMetaType<QList<QByteArray>>();
    }
    void SetUp() override { bench.Serve(); }
    test::AutomationBench bench;
};

// The batch calls reach the batches of the operation layer (tested there): items in order, and a
// failure as the error "item N: REASON".
TEST_F(BoardInterface, BatchCallsWriteInOrderAndNameTheFailingItem) {
    const QDBusMessage reply =
        Call("PokeMany", {Pokes({{0x0A, 0x11111111}, {0x0B, 0x01234567}, {0x0A, 0x20000000}})});
    ASSERT_EQ(reply.type(), QDBusMessage::ReplyMessage) << qPrintable(reply.errorMessage());
    EXPECT_EQ(bench.board->ChipRegister(0x0A), 0x20000000u);
    EXPECT_EQ(bench.board->ChipRegister(0x0B), 0x01234567u);

    ASSERT_TRUE(bench.ops->Write(9, 0x02));
    const QDBusMessage plds = Call("PldWriteMany", {Plds({{0, 0x11}, {2, 0x33}})});
    ASSERT_EQ(plds.type(), QDBusMessage::ReplyMessage) << qPrintable(plds.errorMessage());
    EXPECT_EQ(bench.board->PldRegister(0), 0x11);
    EXPECT_EQ(bench.board->PldRegister(2), 0x33);
    EXPECT_EQ(bench.board->BridgeRegister(9), 0x02);

    const QDBusMessage failed = Call("PokeMany", {Pokes({{0x0A, 1}, {0x0B, 2}, {0x13, 3}, {0x0C, 4}})});
    ASSERT_EQ(failed.type(), QDBusMessage::ErrorMessage);
    EXPECT_EQ(failed.errorName(), QStringLiteral("com.tessaric.Tarsion.Error.Failed"));
    EXPECT_EQ(failed.errorMessage().toStdString(),
              "item 2: Error : Invalid Address; Couldn't Poke to Register 13");
    EXPECT_EQ(bench.board->ChipRegister(0x0C), 0u);
}

// LastResult answers the lines of the call just made, also of one refused before its heading.
TEST_F(BoardInterface, LastResultIsTheResultOfTheCallBefore) {
    const auto variant = [](int value) { return QVariant::fromValue(QDBusVariant(value)); };
    test::CallFromClient(QStringLiteral("Poke"), {variant(0x13), variant(1)});
    EXPECT_EQ(Call("LastResult").arguments().value(0).toString(),
              QStringLiteral("Error : Invalid Address; Couldn't Poke to Register 13"));
    test::CallFromClient(QStringLiteral("LoadCoefficientRam"),
                         {QVariant::fromValue<short>(7), QStringLiteral("lp.coe"), true, 1.0, false,
                          QVariant::fromValue<short>(0), false, false});
    EXPECT_EQ(Call("LastResult").arguments().value(0).toString(),
              QStringLiteral("Error : Invalid Coefficient RAM 7, use 0 (I), 1 (Q) or 2 (I + Q)"));
}

TEST_F(BoardInterface, PeekManyAndPldReadManyAnswerTheValuesInOrder) {
    bench.board->SetChipRegister(0x0A, 0xFFFFFFFF);
    bench.board->SetChipRegister(0x0B, 0x01234567);
    bench.board->SetPldRegister(3, 0x5A);
    bench.board->SetPldRegister(4, 0xA5);
    const QDBusMessage peeks = Call("PeekMany", {Bytes({0x0B, 0x0A, 0x0B})});
    ASSERT_EQ(peeks.type(), QDBusMessage::ReplyMessage) << qPrintable(peeks.errorMessage());
    EXPECT_EQ(peeks.signature(), QStringLiteral("au"));
    EXPECT_EQ(qdbus_cast<QList<uint>>(peeks.arguments().value(0)),
              (QList<uint>{0x01234567, 0xFFFFFFFF, 0x01234567}));

    const QDBusMessage plds = Call("PldReadMany", {Bytes({4, 3})});
    ASSERT_EQ(plds.type(), QDBusMessage::ReplyMessage) << qPrintable(plds.errorMessage());
    EXPECT_EQ(plds.arguments().value(0).toByteArray(), Bytes({0xA5, 0x5A}));

    const QDBusMessage none = Call("PeekMany", {QByteArray()});
    ASSERT_EQ(none.type(), QDBusMessage::ReplyMessage) << qPrintable(none.errorMessage());
    EXPECT_TRUE(qdbus_cast<QList<uint>>(none.arguments().value(0)).isEmpty());
}

TEST_F(BoardInterface, WaitForBitsComparesTheMaskedValue) {
    struct Case {
        uint mask;
        uint value;
        uint timeout;
        bool matched;
    };
    bench.board->SetChipRegister(0x07, 0x03000081);
    const Case cases[] = {
        {0x00000001, 0x00000001, 1000, true},
        {0x03000000, 0x03FFFFFF, 1000, true}, // bits outside the mask don't count
        {0x00000002, 0x00000002, 0, false},   // no time: one read
        {0x00000000, 0xFFFFFFFF, 0, true},    // an empty mask always matches
    };
    for (const Case& c : cases) {
        const QDBusMessage reply =
            Call("WaitForBits", {QVariant::fromValue<uchar>(0x07), c.mask, c.value, c.timeout});
        ASSERT_EQ(reply.type(), QDBusMessage::ReplyMessage) << qPrintable(reply.errorMessage());
        EXPECT_EQ(reply.arguments().value(0).toBool(), c.matched) << std::hex << c.mask;
    }
    const QDBusMessage invalid = Call("WaitForBits", {QVariant::fromValue<uchar>(0x13), 1u, 1u, 10u});
    ASSERT_EQ(invalid.type(), QDBusMessage::ErrorMessage);
    EXPECT_EQ(invalid.errorMessage().toStdString(),
              "item 0: Error : Invalid Address; Couldn't Peek Rgister 13");
}

// While it waits the program serves its events: a timer that sets the bits runs, and Status is
// answered at once, saying an operation is running.
TEST_F(BoardInterface, WaitForBitsServesEventsWhileItWaits) {
    bench.board->SetChipRegister(0x08, 0);
    QVariantMap statusDuringWait;
    QTimer::singleShot(20, [&] {
        const QDBusPendingCall status = test::StartCall(QStringLiteral("Status"), {}, kBoard1);
        test::WaitFor(status);
        statusDuringWait = qdbus_cast<QVariantMap>(status.reply().arguments().value(0));
        bench.board->SetChipRegister(0x08, 0x4);
    });
    const QDBusMessage reply = Call("WaitForBits", {QVariant::fromValue<uchar>(0x08), 0x4u, 0x4u, 60000u});
    ASSERT_EQ(reply.type(), QDBusMessage::ReplyMessage) << qPrintable(reply.errorMessage());
    EXPECT_TRUE(reply.arguments().value(0).toBool());
    EXPECT_EQ(statusDuringWait.value(QStringLiteral("busy")), QVariant(true));
}

TEST_F(BoardInterface, StatusSaysBoardDemoRecordingAndVersion) {
    bench.doc.boardId = "bench_x";
    QTemporaryDir dir;
    ASSERT_TRUE(bench.doc.StartRecording(QDir(dir.path()).filePath(QStringLiteral("r.js")).toStdString()));
    bench.link->EnterDemoMode();
    const QDBusMessage reply = Call("Status");
    ASSERT_EQ(reply.type(), QDBusMessage::ReplyMessage) << qPrintable(reply.errorMessage());
    const QVariantMap status = qdbus_cast<QVariantMap>(reply.arguments().value(0));
    EXPECT_EQ(status.value(QStringLiteral("demo")), QVariant(true));
    EXPECT_EQ(status.value(QStringLiteral("recording")), QVariant(true));
    EXPECT_EQ(status.value(QStringLiteral("busy")), QVariant(false));
    EXPECT_EQ(status.value(QStringLiteral("base")), QVariant(0x378u));
    EXPECT_EQ(status.value(QStringLiteral("board id")), QVariant(QStringLiteral("bench_x")));
    // The status bar's port field, whatever TARSION_PORT says.
    EXPECT_EQ(status.value(QStringLiteral("port")),
              QVariant(QString::fromStdString(bench.link->DescribePort())));
    EXPECT_EQ(status.value(QStringLiteral("port")), QVariant(QStringLiteral("Virtual board")));
    EXPECT_FALSE(status.value(QStringLiteral("version")).toString().isEmpty());
}

QList<QByteArray> Words(const QDBusMessage& reply) {
    return qdbus_cast<QList<QByteArray>>(reply.arguments().value(0));
}

// Each memory answers its words at the board's addresses, in its own word size and byte order.
TEST_F(BoardInterface, ReadMemoryAnswersTheWordsOfEachMemory) {
    CoefficientWord word{};
    for (int byte = 0; byte < 9; ++byte)
        word[byte] = static_cast<std::uint8_t>(0x10 + byte);
    bench.board->SetCoefficientRam(1, 0x41, word);
    bench.board->SetConstellationRam(0xFF, 0x3C);
    bench.board->SetPatternWord(0x3FFFF, 0x02ABCD);
    bench.board->SetPatternWord(0x00000, 0x01F00F);
    struct Case {
        const char* which;
        uint first;
        uint count;
        QList<QByteArray> expected;
    };
    const QByteArray zeros9(9, '\0');
    const Case cases[] = {
        {"Q", 0x40, 3, {zeros9, QByteArray("\x10\x11\x12\x13\x14\x15\x16\x17\x18", 9), zeros9}},
        {"i", 0x41, 1, {zeros9}},
        {"Constellation", 0xFE, 2, {Bytes({0}), Bytes({0x3C})}},
        {"pattern", 0x3FFFE, 2, {Bytes({0, 0, 0}), Bytes({0xCD, 0xAB, 0x02})}},
        {"pattern", 0, 1, {Bytes({0x0F, 0xF0, 0x01})}},
        {"pattern", 5, 0, {}},
    };
    for (const Case& c : cases) {
        const QDBusMessage reply = Call("ReadMemory", {QString::fromLatin1(c.which), c.first, c.count});
        ASSERT_EQ(reply.type(), QDBusMessage::ReplyMessage) << c.which << qPrintable(reply.errorMessage());
        EXPECT_EQ(Words(reply), c.expected) << c.which << " " << c.first;
    }
}

TEST_F(BoardInterface, MemoryCallsRefuseWhatTheMemoryCannotHold) {
    bench.board->SetConstellationRam(0, 0x77);
    struct Case {
        const char* method;
        QList<QVariant> arguments;
        const char* error;
    };
    const Case cases[] = {
        {"ReadMemory",
         {QStringLiteral("fifo"), 0u, 1u},
         "item 0: Error : Unknown Memory, expected I, Q, constellation or pattern"},
        {"ReadMemory",
         {QStringLiteral("I"), 200u, 57u},
         "item 0: Error : Words Outside the Memory of 256 Words"},
        // first + count must not wrap around
        {"ReadMemory",
         {QStringLiteral("pattern"), 0xFFFFFFFFu, 2u},
         "item 0: Error : Words Outside the Memory of 262144 Words"},
        {"WriteMemory",
         {QStringLiteral("Q"), 0u, QVariant::fromValue(QList<QByteArray>{QByteArray(8, '\1')})},
         "item 0: Error : Word 0 Has 8 Bytes, the Memory Takes 9"},
        {"WriteMemory",
         {QStringLiteral("constellation"), 0u,
          QVariant::fromValue(QList<QByteArray>{Bytes({1}), Bytes({2, 3})})},
         // Every word is checked before the first is written: word 0 was not written either.
         "item 0: Error : Word 1 Has 2 Bytes, the Memory Takes 1"},
        {"Verify",
         {QStringLiteral("constellation")},
         "item 0: Nothing loaded into this memory yet: nothing to compare with; Failed"},
    };
    for (const Case& c : cases) {
        const QDBusMessage reply = Call(c.method, c.arguments);
        ASSERT_EQ(reply.type(), QDBusMessage::ErrorMessage) << c.method << " " << c.error;
        EXPECT_EQ(reply.errorMessage().toStdString(), c.error);
    }
    EXPECT_EQ(bench.board->ConstellationRam(0), 0x77) << "a refused write changed the RAM";
}

// A call is refused before its arrays are read past their limit, and nothing of it runs.
TEST_F(BoardInterface, ACallWhoseArraysHoldTooMuchIsRefusedBeforeItRuns) {
    test::LogView log(bench.doc);
    const QDBusMessage reply =
        Call("PeekMany", {QByteArray(static_cast<qsizetype>(CBusArguments::kMostElements) + 1, '\x0a')});
    ASSERT_EQ(reply.type(), QDBusMessage::ErrorMessage);
    EXPECT_EQ(reply.errorName(), QStringLiteral("org.freedesktop.DBus.Error.LimitsExceeded"));
    EXPECT_EQ(reply.errorMessage(),
              QStringLiteral("The call's arrays hold more than 1048576 elements in all"));
    EXPECT_EQ(log.text.find("PeekMany"), std::string::npos) << log.text;
    const QDBusMessage next = Call("PeekMany", {Bytes({0x0A})});
    EXPECT_EQ(next.type(), QDBusMessage::ReplyMessage) << qPrintable(next.errorMessage());
}

// Written words land on the board; Verify then reports what differs from the last load and writes.
TEST_F(BoardInterface, WriteMemoryThenVerifyReportsTheDifferences) {
    const QDBusMessage written =
        Call("WriteMemory", {QStringLiteral("constellation"), 0x10u,
                             QVariant::fromValue(QList<QByteArray>{Bytes({0xA1}), Bytes({0xB2})})});
    ASSERT_EQ(written.type(), QDBusMessage::ReplyMessage) << qPrintable(written.errorMessage());
    EXPECT_EQ(bench.board->ConstellationRam(0x10), 0xA1);
    EXPECT_EQ(bench.board->ConstellationRam(0x11), 0xB2);

    const QDBusMessage same = Call("Verify", {QStringLiteral("constellation")});
    ASSERT_EQ(same.type(), QDBusMessage::ReplyMessage) << qPrintable(same.errorMessage());
    EXPECT_TRUE(same.arguments().value(0).toBool());

    bench.board->SetConstellationRam(0x11, 0x00);
    const QDBusMessage differs = Call("Verify", {QStringLiteral("constellation")});
    ASSERT_EQ(differs.type(), QDBusMessage::ReplyMessage) << qPrintable(differs.errorMessage());
    EXPECT_FALSE(differs.arguments().value(0).toBool());
    const QDBusArgument list = differs.arguments().value(1).value<QDBusArgument>();
    std::vector<std::tuple<uint, QByteArray, QByteArray>> found;
    list.beginArray();
    while (!list.atEnd()) {
        uint address = 0;
        QByteArray expected, read;
        list.beginStructure();
        list >> address >> expected >> read;
        list.endStructure();
        found.emplace_back(address, expected, read);
    }
    list.endArray();
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0], std::make_tuple(0x11u, Bytes({0xB2}), Bytes({0x00})));

    ASSERT_TRUE(bench.ops->LoadExternalMem(0, 0, 0.5, 0.5, 4.0, 2.0));
    const uint start = 0x40000 - 4;
    bench.board->SetPatternWord(start + 3, bench.board->PatternWord(start + 3) ^ 0x10);
    const QDBusMessage pattern = Call("Verify", {QStringLiteral("pattern")});
    ASSERT_EQ(pattern.type(), QDBusMessage::ReplyMessage) << qPrintable(pattern.errorMessage());
    EXPECT_FALSE(pattern.arguments().value(0).toBool());
}

// A recording of batch calls, replayed with the single calls, gives the same board.
TEST(BoardInterfaceRecording, RecordedBatchesReplayToTheSameBoard) {
    QTemporaryDir dir;
    const QString script = QDir(dir.path()).filePath(QStringLiteral("batch.js"));
    std::string recordedState;
    {
        test::AutomationBench session;
        ASSERT_TRUE(session.doc.StartRecording(script.toStdString()));
        CRegisterBatch batch(*session.ops);
        EXPECT_FALSE(
            batch.PokeMany({RegisterWrite::Chip(0x0A, 0x80000000), RegisterWrite::Chip(0x0B, 0x01234567),
                            RegisterWrite::Chip(0x0C, 0x0000000F)}));
        EXPECT_TRUE(session.ops->Write(9, 0x01));
        EXPECT_FALSE(batch.PldWriteMany(
            {RegisterWrite::Pld(9, 0x10), RegisterWrite::Pld(10, 0x20), RegisterWrite::Pld(11, 0x03)}));
        std::vector<std::uint32_t> values;
        EXPECT_FALSE(batch.PeekMany({0x0A, 0x0B}, values));
        CMemoryTransfer memory(*session.ops);
        EXPECT_FALSE(memory.Write("constellation", 0x20, {{0x12}, {0x34}}));
        ASSERT_TRUE(session.ops->LoadExternalMem(0, 0, 0.5, 0.25, 8.0, 16.0));
        // Words a pattern load writes (TxEnable and iStrobe at their levels), then a word none writes.
        const std::uint32_t start = kPatternMemoryWords - 32;
        EXPECT_FALSE(memory.Write("pattern", start + 2, {{0x34, 0x12, 0x03}, {0x78, 0x56, 0x02}}));
        EXPECT_FALSE(memory.Write("pattern", 0x100, {{0xEF, 0xCD, 0x00}}));
        // A failing batch records up to its failing item, as single calls would have run.
        EXPECT_TRUE(batch.PokeMany({RegisterWrite::Chip(0x0D, 0x00000055), RegisterWrite::Chip(0x14, 1),
                                    RegisterWrite::Chip(0x0E, 2)}));
        session.doc.StopRecording();
        recordedState = test::BoardState(*session.board);
    }
    test::AutomationBench replay;
    replay.Serve();
    const test::ScriptResult result = test::RunScript(script);
    ASSERT_EQ(result.exitCode, 0) << qPrintable(result.err);
    // The read-back that wrote the companion constellation file left its last address in bridge
    // register 6, a transfer register that holds no setting of the board.
    const auto settings = [](std::string state) {
        const std::string readAddress = "bridge 06 ff\n";
        if (const auto at = state.find(readAddress); at != std::string::npos)
            state.erase(at, readAddress.size());
        return state;
    };
    EXPECT_EQ(settings(test::BoardState(*replay.board)), settings(recordedState));
    EXPECT_TRUE(QFile::exists(QDir(dir.path()).filePath(QStringLiteral("batch_1.hex"))));
    EXPECT_TRUE(QFile::exists(QDir(dir.path()).filePath(QStringLiteral("batch_2.pat"))));
}

// A call message whose arguments `append` writes.
template <typename Append>
DBusMessage* CallWith(Append append) {
    DBusMessage* call = dbus_message_new_method_call("com.tessaric.Tarsion", "/Trm90627", nullptr, "Any");
    DBusMessageIter iter;
    dbus_message_iter_init_append(call, &iter);
    append(iter);
    return call;
}

void AppendBytes(DBusMessageIter& into, std::size_t count) {
    const std::vector<std::uint8_t> bytes(count, 7);
    const std::uint8_t* data = bytes.data();
    DBusMessageIter array;
    dbus_message_iter_open_container(&into, DBUS_TYPE_ARRAY, "y", &array);
    dbus_message_iter_append_fixed_array(&array, DBUS_TYPE_BYTE, &data, static_cast<int>(count));
    dbus_message_iter_close_container(&into, &array);
}

// `words` byte arrays of `size` bytes, the last of `lastSize`.
void AppendWords(DBusMessageIter& into, std::size_t words, std::size_t size, std::size_t lastSize) {
    DBusMessageIter array;
    dbus_message_iter_open_container(&into, DBUS_TYPE_ARRAY, "ay", &array);
    for (std::size_t word = 0; word < words; ++word)
        AppendBytes(array, word + 1 == words ? lastSize : size);
    dbus_message_iter_close_container(&into, &array);
}

void AppendPairs(DBusMessageIter& into, std::size_t count) {
    DBusMessageIter array;
    dbus_message_iter_open_container(&into, DBUS_TYPE_ARRAY, "(yu)", &array);
    for (std::size_t item = 0; item < count; ++item) {
        DBusMessageIter pair;
        const std::uint8_t address = 0x0A;
        const dbus_uint32_t value = static_cast<dbus_uint32_t>(item);
        dbus_message_iter_open_container(&array, DBUS_TYPE_STRUCT, nullptr, &pair);
        dbus_message_iter_append_basic(&pair, DBUS_TYPE_BYTE, &address);
        dbus_message_iter_append_basic(&pair, DBUS_TYPE_UINT32, &value);
        dbus_message_iter_close_container(&array, &pair);
    }
    dbus_message_iter_close_container(&into, &array);
}

// The elements of a call's arrays are counted in all, nested ones too: a whole pattern memory of
// words is the most, one element more reads as over the limit, with empty arrays.
TEST(BusArgumentLimit, ArraysAreReadUpToTheirElementsInAll) {
    constexpr std::size_t kMost = CBusArguments::kMostElements;
    constexpr std::size_t kPatternWords = 262144;
    using Words = std::vector<std::vector<std::uint8_t>>;
    using Pairs = std::vector<std::tuple<std::uint8_t, std::uint32_t>>;
    struct Case {
        const char* what;
        std::function<void(DBusMessageIter&)> append;
        std::function<std::size_t(CBusArguments&)> read; // the elements read
        bool over;
    };
    const auto bytes = [](CBusArguments& in) { return in.Read<std::vector<std::uint8_t>>().size(); };
    const auto words = [](CBusArguments& in) {
        std::size_t count = 0;
        for (const auto& word : in.Read<Words>())
            count += 1 + word.size();
        return count;
    };
    const Case cases[] = {
        {"bytes at the limit", [&](DBusMessageIter& i) { AppendBytes(i, kMost); }, bytes, false},
        {"bytes over the limit", [&](DBusMessageIter& i) { AppendBytes(i, kMost + 1); }, bytes, true},
        {"a pattern memory of words", [&](DBusMessageIter& i) { AppendWords(i, kPatternWords, 3, 3); }, words,
         false},
        {"one byte more in its last word", [&](DBusMessageIter& i) { AppendWords(i, kPatternWords, 3, 4); },
         words, true},
        {"pairs over the limit", [&](DBusMessageIter& i) { AppendPairs(i, kMost + 1); },
         [](CBusArguments& in) { return in.Read<Pairs>().size(); }, true},
        {"two arrays over the limit together",
         [&](DBusMessageIter& i) {
             AppendBytes(i, kMost / 2);
             AppendBytes(i, kMost / 2 + 1);
         },
         [&](CBusArguments& in) { return bytes(in) + bytes(in); }, true},
    };
    for (const Case& c : cases) {
        DBusMessage* call = CallWith(c.append);
        CBusArguments in(call);
        const std::size_t read = c.read(in);
        EXPECT_EQ(in.OverLimit(), c.over) << c.what;
        if (!c.over)
            EXPECT_EQ(read, kMost) << c.what;
        else
            EXPECT_LT(read, kMost) << c.what; // what was read is cut short, never the call
        dbus_message_unref(call);
    }
}

} // namespace
} // namespace tarsion
