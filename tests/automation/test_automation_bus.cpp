// The automation object as a D-Bus client sees it, on a fresh virtual board.

#include "AutomationBench.h"
#include "automation/ActivationFile.h"
#include "automation/AutomationCallGate.h"
#include "automation/BusConnection.h"
#include "registers/RegisterSession.h"
#include "support/LogView.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusVariant>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <gtest/gtest.h>

#include <optional>

namespace tarsion {
namespace {

QVariant Var(const QVariant& value) {
    return QVariant::fromValue(QDBusVariant(value));
}

class AutomationBus : public ::testing::Test {
protected:
    void SetUp() override { bench.Serve(); }
    test::AutomationBench bench;
};

TEST_F(AutomationBus, PokeConvertsVariantArgumentsByTheirOwnType) {
    struct Case {
        QVariant address;
        QVariant data;
        std::uint8_t reg;
        std::uint32_t expected;
    };
    const Case cases[] = {
        {QVariant::fromValue<short>(0x0A), QVariant::fromValue<int>(0x1234), 0x0A, 0x1234},
        {QVariant::fromValue<int>(0x0A), QVariant::fromValue(2147483648.0), 0x0A, 0x80000000},
        {QVariant::fromValue<int>(0x0A), QVariant::fromValue<int>(-1), 0x0A, 0xFFFFFFFF},
        {QVariant::fromValue<int>(0x10A), QVariant::fromValue<int>(5), 0x0A, 5},
        {QVariant::fromValue(11.9), QVariant::fromValue(1e20), 0x0B, 0x63100000},
        {QVariant::fromValue<int>(0x0B), QVariant::fromValue(QStringLiteral("0x55")), 0x0B, 0},
        {QVariant::fromValue<int>(0x0C), QVariant::fromValue(true), 0x0C, 0},
        {QVariant::fromValue(QStringLiteral("0x0d")), QVariant::fromValue<int>(0x42), 0x00, 0x42},
        // Only int16, int32 and double carry a number; other integer types and nested variants give 0.
        {QVariant::fromValue<short>(0x0A), QVariant::fromValue<uint>(7), 0x0A, 0},
        {QVariant::fromValue<int>(0x0B), QVariant::fromValue<qlonglong>(7), 0x0B, 0},
        {QVariant::fromValue<int>(0x0C), QVariant::fromValue<uchar>(7), 0x0C, 0},
        {QVariant::fromValue<int>(0x0D), Var(QVariant::fromValue<int>(7)), 0x0D, 0},
    };
    for (const Case& c : cases) {
        bench.board->SetChipRegister(c.reg, 0xA5A5A5A5);
        const QDBusMessage reply =
            test::CallFromClient(QStringLiteral("Poke"), {Var(c.address), Var(c.data)});
        ASSERT_EQ(reply.type(), QDBusMessage::ReplyMessage) << qPrintable(reply.errorMessage());
        EXPECT_EQ(reply.signature(), QStringLiteral("b"));
        EXPECT_TRUE(reply.arguments().value(0).toBool());
        EXPECT_EQ(bench.board->ChipRegister(c.reg), c.expected) << "register " << int(c.reg);
    }
}

TEST_F(AutomationBus, ByteWritesAndReadsUseTheLowEightBits) {
    const QDBusMessage write =
        test::CallFromClient(QStringLiteral("Write"),
                             {Var(QVariant::fromValue<int>(0x10A)), Var(QVariant::fromValue<int>(0x1C3))});
    EXPECT_TRUE(write.arguments().value(0).toBool());
    EXPECT_EQ(bench.board->BridgeRegister(0x0A), 0xC3);

    const QDBusMessage read =
        test::CallFromClient(QStringLiteral("Read"), {QVariant::fromValue<short>(0x10A)});
    EXPECT_EQ(read.signature(), QStringLiteral("n"));
    EXPECT_EQ(read.arguments().value(0).toInt(), 0xC3); // zero-extended, not -61
}

TEST_F(AutomationBus, PeekAnswersTheUnsignedRegisterValue) {
    bench.board->SetChipRegister(0x0C, 0xFFFFFFFF);
    const QDBusMessage reply =
        test::CallFromClient(QStringLiteral("Peek"), {QVariant::fromValue<short>(0x0C)});
    EXPECT_EQ(reply.signature(), QStringLiteral("d"));
    EXPECT_EQ(reply.arguments().value(0).toDouble(), 4294967295.0);
}

TEST_F(AutomationBus, FailuresAreResultsAndLogLinesNotBusErrors) {
    test::LogView log(bench.doc);
    bench.board->SetBridgeRegister(0x0A, 0x5A);
    bench.board->InjectFault(VirtualBoard::Fault::NotConnected);

    const QDBusMessage read =
        test::CallFromClient(QStringLiteral("Read"), {QVariant::fromValue<short>(0x0A)});
    ASSERT_EQ(read.type(), QDBusMessage::ReplyMessage);
    EXPECT_EQ(read.arguments().value(0).toInt(), 0);
    const QDBusMessage peek =
        test::CallFromClient(QStringLiteral("Peek"), {QVariant::fromValue<short>(0x0C)});
    ASSERT_EQ(peek.type(), QDBusMessage::ReplyMessage);
    EXPECT_EQ(peek.arguments().value(0).toDouble(), 0.0);
    const QDBusMessage load = test::CallFromClient(QStringLiteral("LoadConstellationRam"),
                                                   {QStringLiteral("/nonexistent/map.hex")});
    ASSERT_EQ(load.type(), QDBusMessage::ReplyMessage);
    EXPECT_FALSE(load.arguments().value(0).toBool());
    // Each failure leaves its reason for the log window.
    EXPECT_NE(log.text.find("\r\n\t"), std::string::npos) << log.text;
}

TEST_F(AutomationBus, CreateRunsOnlyTheNewDocumentStep) {
    bench.doc.Shadow().StoreChipReg(0x0A, 0x12345678);
    bench.doc.steps.carrierFrequencyStep = 250.0;
    const QDBusMessage reply =
        test::CallFromClient(QStringLiteral("Create"), {}, QStringLiteral("com.tessaric.Tarsion.Automation"));
    ASSERT_EQ(reply.type(), QDBusMessage::ReplyMessage) << qPrintable(reply.errorMessage());
    EXPECT_EQ(bench.newDocumentSteps, 1);
    EXPECT_EQ(bench.doc.Shadow().FetchChipReg(0x0A), 0x12345678u);
    EXPECT_EQ(bench.doc.steps.carrierFrequencyStep, 250.0);
}

TEST_F(AutomationBus, ExportsTheNineteenMethodsInOrderWithTheirTypes) {
    const QDBusMessage reply = test::CallFromClient(QStringLiteral("Introspect"), {},
                                                    QStringLiteral("org.freedesktop.DBus.Introspectable"));
    QXmlStreamReader xml(reply.arguments().value(0).toString());
    QStringList methods;
    QString interface, inTypes, outTypes;
    auto finishMethod = [&] {
        if (!methods.isEmpty())
            methods.last() += QLatin1Char('(') + inTypes + QLatin1Char(')') + outTypes;
        inTypes.clear();
        outTypes.clear();
    };
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        const auto attributes = xml.attributes();
        if (xml.name() == QLatin1String("interface")) {
            interface = attributes.value(QLatin1String("name")).toString();
        } else if (interface != QLatin1String("com.tessaric.Trm90627")) {
            continue;
        } else if (xml.name() == QLatin1String("method")) {
            finishMethod();
            methods << attributes.value(QLatin1String("name")).toString();
        } else if (xml.name() == QLatin1String("arg")) {
            const bool out = attributes.value(QLatin1String("direction")) == QLatin1String("out");
            (out ? outTypes : inTypes) += attributes.value(QLatin1String("type")).toString();
        }
    }
    finishMethod();
    const QStringList expected = {
        QStringLiteral("SoftReset()b"),
        QStringLiteral("Reset()b"),
        QStringLiteral("Poke(vv)b"),
        QStringLiteral("ModifyBits(vvv)b"),
        QStringLiteral("SetBits(vv)b"),
        QStringLiteral("ResetBits(vv)b"),
        QStringLiteral("Send()b"),
        QStringLiteral("Stop()b"),
        QStringLiteral("Write(vv)b"),
        QStringLiteral("PldWrite(vv)b"),
        QStringLiteral("LoadExternalMemory(s)b"),
        QStringLiteral("LoadExternalMem(iidddd)b"),
        QStringLiteral("DumpCoefficientRam(ns)b"),
        QStringLiteral("LoadConstellationRam(s)b"),
        QStringLiteral("DumpConstellationRam(s)b"),
        QStringLiteral("LoadCoefficientRam(nsbdbnbb)b"),
        QStringLiteral("PldRead(n)n"),
        QStringLiteral("Read(n)n"),
        QStringLiteral("Peek(n)d"),
    };
    EXPECT_EQ(methods.join(QLatin1Char(' ')).toStdString(), expected.join(QLatin1Char(' ')).toStdString());
}

// Every method, typed or not, refuses a call whose arguments don't match it, and does nothing.
TEST_F(AutomationBus, CallsWithArgumentsThatDoNotMatchAreRefusedAndDoNothing) {
    const QString creation = QStringLiteral("com.tessaric.Tarsion.Automation");
    const struct {
        const char* method;
        QList<QVariant> arguments;
        QString interface;
    } cases[] = {
        {"SoftReset", {QVariant::fromValue<int>(1)}, {}},
        {"Reset", {QStringLiteral("now")}, {}},
        {"Send", {QVariant::fromValue<int>(1), QVariant::fromValue<int>(2)}, {}},
        {"Stop", {Var(QVariant::fromValue<int>(0))}, {}},
        {"Create", {QVariant::fromValue<int>(1)}, creation},
        {"Poke", {Var(QVariant::fromValue<int>(0x0A)), Var(QVariant::fromValue<int>(1)), QVariant(true)}, {}},
        {"Peek", {QVariant::fromValue<int>(0x0A)}, {}},
        {"LoadConstellationRam", {QStringLiteral("a.hex"), QStringLiteral("b.hex")}, {}},
    };
    for (const auto& c : cases) {
        bench.board->SetChipRegister(0x0A, 0xA5A5A5A5);
        bench.board->SetPldRegister(12, 0);
        const int softResets = bench.board->SoftResets();
        const int boardResets = bench.board->BoardResets();
        const int newDocumentSteps = bench.newDocumentSteps;
        const QDBusMessage reply =
            c.interface.isEmpty()
                ? test::CallFromClient(QString::fromLatin1(c.method), c.arguments)
                : test::CallFromClient(QString::fromLatin1(c.method), c.arguments, c.interface);
        EXPECT_EQ(reply.type(), QDBusMessage::ErrorMessage) << c.method;
        EXPECT_TRUE(reply.errorMessage().contains(QString::fromLatin1(c.method)))
            << qPrintable(reply.errorMessage());
        EXPECT_EQ(bench.board->SoftResets(), softResets) << c.method;
        EXPECT_EQ(bench.board->BoardResets(), boardResets) << c.method;
        EXPECT_EQ(bench.newDocumentSteps, newDocumentSteps) << c.method;
        EXPECT_EQ(bench.board->PldRegister(12), 0) << c.method;
        EXPECT_EQ(bench.board->ChipRegister(0x0A), 0xA5A5A5A5u) << c.method;
    }
    // Called as declared, they still run.
    EXPECT_EQ(test::CallFromClient(QStringLiteral("SoftReset"), {}).type(), QDBusMessage::ReplyMessage);
    EXPECT_EQ(bench.board->SoftResets(), 1);
}

TEST_F(AutomationBus, CallsDuringAnOperationWaitForItsEndAndKeepTheirOrder) {
    bench.board->SetChipRegister(0x0A, 0xA5A5A5A5);
    auto operation = std::make_unique<CBoardOperations::Scope>(*bench.ops);
    const QDBusPendingCall first = test::StartCall(
        QStringLiteral("Poke"), {Var(QVariant::fromValue<int>(0x0A)), Var(QVariant::fromValue<int>(7))});
    const QDBusPendingCall second = test::StartCall(
        QStringLiteral("Poke"), {Var(QVariant::fromValue<int>(0x0A)), Var(QVariant::fromValue<int>(8))});
    test::ServeEvents(300);
    EXPECT_FALSE(first.isFinished());
    EXPECT_FALSE(second.isFinished());
    EXPECT_EQ(bench.board->ChipRegister(0x0A), 0xA5A5A5A5u);

    operation.reset();
    test::WaitFor(second);
    ASSERT_TRUE(first.isFinished());
    ASSERT_TRUE(second.isFinished());
    EXPECT_TRUE(first.reply().arguments().value(0).toBool());
    EXPECT_TRUE(second.reply().arguments().value(0).toBool());
    EXPECT_EQ(bench.board->ChipRegister(0x0A), 8u);
}

// A call's work that lets the event loop run (as a dialog does) is not overtaken by the next call.
TEST_F(AutomationBus, ACallArrivingWhileAnotherCallsWorkRunsTheEventLoopWaitsForIt) {
    bench.board->SetChipRegister(0x0A, 0xA5A5A5A5);
    std::optional<QDBusPendingCall> poke;
    std::uint32_t registerDuringCreate = 0;
    bench.duringNewDocument = [&] {
        poke = test::StartCall(QStringLiteral("Poke"),
                               {Var(QVariant::fromValue<int>(0x0A)), Var(QVariant::fromValue<int>(9))});
        test::ServeEvents(300);
        registerDuringCreate = bench.board->ChipRegister(0x0A);
        EXPECT_FALSE(poke->isFinished());
    };
    const QDBusMessage create =
        test::CallFromClient(QStringLiteral("Create"), {}, QStringLiteral("com.tessaric.Tarsion.Automation"));
    ASSERT_EQ(create.type(), QDBusMessage::ReplyMessage) << qPrintable(create.errorMessage());
    EXPECT_EQ(registerDuringCreate, 0xA5A5A5A5u);
    ASSERT_TRUE(poke.has_value());
    test::WaitFor(*poke);
    ASSERT_TRUE(poke->isFinished());
    EXPECT_TRUE(poke->reply().arguments().value(0).toBool());
    EXPECT_EQ(bench.board->ChipRegister(0x0A), 9u);
}

TEST_F(AutomationBus, CallsThatWantNoReplyStillRunAndOtherInterfacesAreRefused) {
    QDBusConnection client =
        QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("probe"));
    QDBusMessage poke =
        QDBusMessage::createMethodCall(QStringLiteral("com.tessaric.Tarsion"), QStringLiteral("/Trm90627"),
                                       QStringLiteral("com.tessaric.Trm90627"), QStringLiteral("Poke"));
    poke.setArguments({Var(QVariant::fromValue<int>(0x0B)), Var(QVariant::fromValue<int>(0x77))});
    ASSERT_TRUE(client.send(poke));
    // Calls from one connection arrive in order: once this is answered, the Poke has run.
    QDBusMessage peek =
        QDBusMessage::createMethodCall(QStringLiteral("com.tessaric.Tarsion"), QStringLiteral("/Trm90627"),
                                       QStringLiteral("com.tessaric.Trm90627"), QStringLiteral("Peek"));
    peek.setArguments({QVariant::fromValue<short>(0x0B)});
    const QDBusPendingCall peeked = client.asyncCall(peek);
    test::WaitFor(peeked);
    EXPECT_EQ(peeked.reply().arguments().value(0).toDouble(), double(0x77));
    EXPECT_EQ(bench.board->ChipRegister(0x0B), 0x77u);

    const QDBusMessage properties =
        test::CallFromClient(QStringLiteral("GetAll"), {QStringLiteral("com.tessaric.Trm90627")},
                             QStringLiteral("org.freedesktop.DBus.Properties"));
    EXPECT_EQ(properties.type(), QDBusMessage::ErrorMessage);
    EXPECT_EQ(properties.errorName(), QStringLiteral("org.freedesktop.DBus.Error.UnknownInterface"));

    // The root object lists the automation object, for bus browsers.
    QDBusMessage root = QDBusMessage::createMethodCall(
        QStringLiteral("com.tessaric.Tarsion"), QStringLiteral("/"),
        QStringLiteral("org.freedesktop.DBus.Introspectable"), QStringLiteral("Introspect"));
    const QDBusPendingCall listing = client.asyncCall(root);
    test::WaitFor(listing);
    EXPECT_TRUE(
        listing.reply().arguments().value(0).toString().contains(QStringLiteral("<node name=\"Trm90627\"/>")))
        << qPrintable(listing.reply().errorMessage());
    QDBusConnection::disconnectFromBus(QStringLiteral("probe"));
}

// Introspect takes no arguments: with one it is an unknown method, not an unknown interface.
TEST_F(AutomationBus, IntrospectWithArgumentsIsAnUnknownMethodOnEveryPath) {
    QDBusConnection client =
        QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("introspect"));
    for (const QString& path : {QStringLiteral("/Trm90627"), QStringLiteral("/")}) {
        for (const QString& interface : {QStringLiteral("org.freedesktop.DBus.Introspectable"), QString()}) {
            QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("com.tessaric.Tarsion"), path,
                                                               interface, QStringLiteral("Introspect"));
            call.setArguments({QStringLiteral("xml")});
            const QDBusPendingCall pending = client.asyncCall(call);
            test::WaitFor(pending);
            const QDBusMessage reply = pending.reply();
            EXPECT_EQ(reply.errorName(), QStringLiteral("org.freedesktop.DBus.Error.UnknownMethod"))
                << qPrintable(path) << ' ' << qPrintable(reply.errorMessage());
            EXPECT_TRUE(reply.errorMessage().contains(QStringLiteral("'Introspect'")));
            EXPECT_TRUE(reply.errorMessage().contains(QStringLiteral("(signature 's')")));
        }
    }
    QDBusConnection::disconnectFromBus(QStringLiteral("introspect"));
}

// A caller that floods the line during a long operation is refused beyond the cap; what waits runs.
TEST_F(AutomationBus, CallsBeyondTheCapOfTheWaitingLineAreRefused) {
    QDBusConnection client =
        QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("flood"));
    auto poke = [](int value) {
        QDBusMessage call = QDBusMessage::createMethodCall(
            QStringLiteral("com.tessaric.Tarsion"), QStringLiteral("/Trm90627"),
            QStringLiteral("com.tessaric.Trm90627"), QStringLiteral("Poke"));
        call.setArguments({Var(QVariant::fromValue<int>(0x0A)), Var(QVariant::fromValue<int>(value))});
        return call;
    };
    auto operation = std::make_unique<CBoardOperations::Scope>(*bench.ops);
    const int cap = static_cast<int>(CAutomationCallGate::kMaxWaiting);
    for (int value = 1; value <= cap; ++value) {
        ASSERT_TRUE(client.send(poke(value)));
    }
    // Calls from one connection arrive in order: this one finds the line full.
    const QDBusPendingCall refused = client.asyncCall(poke(0xDEAD));
    test::WaitFor(refused);
    EXPECT_EQ(refused.reply().errorName(), QStringLiteral("org.freedesktop.DBus.Error.LimitsExceeded"));
    EXPECT_EQ(bench.board->ChipRegister(0x0A), 0u);

    operation.reset();
    QDBusMessage peek =
        QDBusMessage::createMethodCall(QStringLiteral("com.tessaric.Tarsion"), QStringLiteral("/Trm90627"),
                                       QStringLiteral("com.tessaric.Trm90627"), QStringLiteral("Peek"));
    peek.setArguments({QVariant::fromValue<short>(0x0A)});
    const QDBusPendingCall after = client.asyncCall(peek);
    test::WaitFor(after);
    EXPECT_EQ(after.reply().arguments().value(0).toDouble(), double(cap));
    QDBusConnection::disconnectFromBus(QStringLiteral("flood"));
}

TEST_F(AutomationBus, ASecondProgramFindsTheNameTakenAndServesNothing) {
    test::AutomationBench other;
    CAutomationServer server(*other.ops, [] {});
    QString error;
    EXPECT_FALSE(server.Register(error));
    EXPECT_TRUE(error.contains(QStringLiteral("already owned"))) << qPrintable(error);

    // At start-up the user learns it from the log window.
    QTemporaryDir dataHome;
    qputenv("XDG_DATA_HOME", dataHome.path().toUtf8());
    test::LogView log(other.doc);
    EXPECT_EQ(StartAutomation(*other.ops, [] {}), nullptr);
    EXPECT_EQ(log.text.rfind("Automation is off: ", 0), 0u) << log.text;
    qunsetenv("XDG_DATA_HOME");
}

TEST(ActivationFile, StartsThisExecutableWithTheAutomationSwitch) {
    QTemporaryDir dataHome;
    qputenv("XDG_DATA_HOME", dataHome.path().toUtf8());
    const QString path = ActivationFilePath();
    EXPECT_EQ(path, dataHome.path() + QStringLiteral("/dbus-1/services/com.tessaric.Tarsion.service"));

    QString error;
    ASSERT_TRUE(WriteActivationFile(path, QStringLiteral("/opt/bench tools/tarsion"), error))
        << qPrintable(error);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(),
              QByteArray("[D-BUS Service]\nName=com.tessaric.Tarsion\n"
                         "Exec='/opt/bench tools/tarsion' --automation\n# tarsion " TARSION_VERSION "\n"));
    file.close();

    test::AutomationBench bench;
    const auto server = StartAutomation(*bench.ops, [] {});
    EXPECT_NE(server, nullptr);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), "[D-BUS Service]\nName=com.tessaric.Tarsion\nExec=" +
                                  QCoreApplication::applicationFilePath().toUtf8() +
                                  " --automation\n# tarsion " TARSION_VERSION "\n");
    qunsetenv("XDG_DATA_HOME");
}

// Each case: what the user's file starts (a program and the version that wrote it), whether the
// running program is the installed one; then what the user's file starts afterwards.
struct ActivationCase {
    const char* name;
    const char* userProgram; // "" no file; "build", "other", "gone" or "installed"
    const char* userVersion;
    bool runningInstalled;
    const char* expectedProgram; // "" no file
    bool noted;
};

TEST(ActivationFile, PointsOnlyAtAnInstalledOrTheRunningProgramAndKeepsANewerOne) {
    const ActivationCase cases[] = {
        {"fresh account, own build", "", "", false, "build", false},
        {"older build's file", "other", "1.00", false, "build", false},
        {"newer program's file", "other", "9.99", false, "other", true},
        {"newer but gone", "gone", "9.99", false, "build", false},
        {"written before versions were noted", "other", "", false, "build", false},
        {"installed program, fresh account", "", "", true, "", false},
        {"installed program, file of a program gone", "gone", "1.00", true, "", true},
        {"installed program, a build's file", "other", "1.00", true, "other", false},
    };
    for (const ActivationCase& c : cases) {
        QTemporaryDir dir;
        auto program = [&dir](const QString& name) {
            const QString path = dir.filePath(name);
            QFile file(path);
            EXPECT_TRUE(file.open(QIODevice::WriteOnly));
            file.setPermissions(QFileDevice::ReadOwner | QFileDevice::ExeOwner);
            return path;
        };
        const QString installed = program(QStringLiteral("installed"));
        const QString build = program(QStringLiteral("build"));
        const QString other = program(QStringLiteral("other"));
        const QString systemFile = dir.filePath(QStringLiteral("system.service"));
        QString error;
        ASSERT_TRUE(WriteActivationFile(systemFile, installed, error)) << qPrintable(error);
        const QString userFile = dir.filePath(QStringLiteral("user/com.tessaric.Tarsion.service"));
        if (*c.userProgram) {
            QDir().mkpath(dir.filePath(QStringLiteral("user")));
            QFile file(userFile);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(QStringLiteral("[D-BUS Service]\nName=com.tessaric.Tarsion\nExec=%1 --automation\n%2")
                           .arg(dir.filePath(QString::fromLatin1(c.userProgram)),
                                *c.userVersion
                                    ? QStringLiteral("# tarsion %1\n").arg(QLatin1String(c.userVersion))
                                    : QString())
                           .toUtf8());
        }
        QString note;
        const ActivationContext context{
            userFile, c.runningInstalled ? installed : build, QStringLiteral("1.50"), {systemFile}};
        EXPECT_TRUE(UpdateActivationFile(context, note, error)) << c.name << ": " << qPrintable(error);
        EXPECT_EQ(!note.isEmpty(), c.noted) << c.name << ": " << qPrintable(note);
        QFile result(userFile);
        if (!*c.expectedProgram) {
            EXPECT_FALSE(result.exists()) << c.name;
            continue;
        }
        ASSERT_TRUE(result.open(QIODevice::ReadOnly)) << c.name;
        EXPECT_TRUE(result.readAll().contains(
            ("Exec=" + dir.filePath(QString::fromLatin1(c.expectedProgram)) + " --automation\n").toUtf8()))
            << c.name;
    }
}

TEST(ActivationFile, AWriteThatCantBeDoneIsReported) {
    QTemporaryDir dir;
    QFile blocker(dir.filePath(QStringLiteral("data")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    QString error;
    EXPECT_FALSE(WriteActivationFile(dir.filePath(QStringLiteral("data/dbus-1/services/x.service")),
                                     QStringLiteral("/usr/bin/tarsion"), error));
    EXPECT_FALSE(error.isEmpty());
}

} // namespace
} // namespace tarsion

namespace tarsion {
namespace {

constexpr const char* kRegisters1 = "com.tessaric.Tarsion.Registers1";

QDBusMessage RegisterCall(const char* method, const QList<QVariant>& arguments = {}) {
    return test::CallFromClient(QString::fromLatin1(method), arguments, QString::fromLatin1(kRegisters1));
}

// Snapshots, a decoded compare, the chip registers and undo, as a script reaches them.
TEST_F(AutomationBus, RegisterInterfaceComparesSnapshotsAndUndoesTheScriptsWrite) {
    CRegisterSession registers(*bench.ops);
    QTemporaryDir dir;

    const QDBusMessage taken = RegisterCall("TakeSnapshot", {QStringLiteral("before")});
    ASSERT_EQ(taken.type(), QDBusMessage::ReplyMessage) << qPrintable(taken.errorMessage());
    const QString id = taken.arguments().value(0).toString();
    EXPECT_EQ(id, QStringLiteral("s1"));
    ASSERT_TRUE(
        test::CallFromClient(QStringLiteral("Poke"), {Var(0x01), Var(0x10)}).arguments().value(0).toBool());
    // Load settings have no address nor raw word: callers get register rows only.
    bench.doc.pattern.samplesPerCycle = 32;

    const QDBusMessage compared = RegisterCall("Compare", {id, QStringLiteral("board")});
    ASSERT_EQ(compared.type(), QDBusMessage::ReplyMessage) << qPrintable(compared.errorMessage());
    EXPECT_EQ(compared.signature(), QStringLiteral("a(ysssuu)"));
    const QDBusArgument rows = compared.arguments().value(0).value<QDBusArgument>();
    QStringList seen;
    rows.beginArray();
    while (!rows.atEnd()) {
        uchar address = 0;
        QString field, before, after;
        uint rawBefore = 0, rawAfter = 0;
        rows.beginStructure();
        rows >> address >> field >> before >> after >> rawBefore >> rawAfter;
        rows.endStructure();
        seen << QStringLiteral("%1 %2 %3 %4 %5 %6")
                    .arg(address)
                    .arg(field, before, after)
                    .arg(rawBefore)
                    .arg(rawAfter);
    }
    rows.endArray();
    EXPECT_EQ(seen, QStringList{QStringLiteral("1 Half Band Filter Enable not ticked ticked 0 16")});

    const QString file = dir.filePath(QStringLiteral("before.txt"));
    EXPECT_TRUE(RegisterCall("SaveSnapshot", {id, file}).arguments().value(0).toBool());
    // Failures are errors that say why.
    const QDBusMessage unknown = RegisterCall("SaveSnapshot", {QStringLiteral("s9"), file});
    EXPECT_EQ(unknown.type(), QDBusMessage::ErrorMessage);
    EXPECT_EQ(unknown.errorMessage(), QStringLiteral("No snapshot s9"));
    EXPECT_EQ(RegisterCall("OpenSnapshot", {file}).arguments().value(0).toString(), QStringLiteral("s2"));
    const QString none = dir.filePath(QStringLiteral("none"));
    EXPECT_EQ(RegisterCall("OpenSnapshot", {none}).errorMessage(),
              QStringLiteral("Could not read ") + none + QStringLiteral(": No such file or directory"));

    const QDBusMessage words = RegisterCall("Registers");
    EXPECT_EQ(words.signature(), QStringLiteral("a{yu}"));

    EXPECT_TRUE(RegisterCall("Undo").arguments().value(0).toBool());
    EXPECT_EQ(bench.board->ChipRegister(0x01), 0u);
    EXPECT_FALSE(RegisterCall("Undo").arguments().value(0).toBool());
    // The script's write is journalled as the script's.
    EXPECT_EQ(registers.Journal().Entries().front().source, "script");
}

// A bus lost while the program was still taking its names (a start-up call serves events) must
// still end automation: who asks to hear of the loss after it was announced hears of it too.
TEST(BusLoss, IsHeardByWhoAsksAfterItWasAnnounced) {
    QProcess daemon;
    daemon.start(QStringLiteral("dbus-daemon"), {QStringLiteral("--session"), QStringLiteral("--nofork"),
                                                 QStringLiteral("--print-address=1")});
    ASSERT_TRUE(daemon.waitForReadyRead(5000));
    const QByteArray address = daemon.readLine().trimmed();
    const QByteArray sessionBus = qgetenv("DBUS_SESSION_BUS_ADDRESS");
    qputenv("DBUS_SESSION_BUS_ADDRESS", address);
    QString error;
    std::unique_ptr<CBusConnection> bus = CBusConnection::OpenSession(error);
    qputenv("DBUS_SESSION_BUS_ADDRESS", sessionBus);
    ASSERT_TRUE(bus) << qPrintable(error);
    int early = 0;
    int late = 0;
    bus->OnLost([&early] { ++early; });
    daemon.kill();
    daemon.waitForFinished();
    const auto spinUntil = [](const std::function<bool()>& done) {
        for (QDeadlineTimer deadline(5000); !done() && !deadline.hasExpired();)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    };
    spinUntil([&early] { return early > 0; });
    bus->OnLost([&late] { ++late; });
    spinUntil([&late] { return late > 0; });
    EXPECT_EQ(early, 1);
    EXPECT_EQ(late, 1);
}

} // namespace
} // namespace tarsion
