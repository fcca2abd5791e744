// The running program's automation: a script chosen from the File menu drives the board and names
// the document after itself when it creates the automation object.

#include "AutomationBench.h"
#include "app/AutomationHookup.h"
#include "app/LogWindow.h"
#include "app/MainFrame.h"
#include "app/TarsionApp.h"

#include <QApplication>
#include <QDBusVariant>
#include <QDeadlineTimer>
#include <QDir>
#include <QLineEdit>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace tarsion {
namespace {

class AutomationApp : public ::testing::Test {
protected:
    AutomationApp() {
        StartUpServices services;
        services.connectSessionBus = [] { return true; };
        services.bindPort = [this](const BoardChoice&) {
            auto fresh = std::make_unique<VirtualBoard>();
            board = fresh.get();
            if (failReadOut)
                board->InjectFault(VirtualBoard::Fault::NotConnected);
            return PortBinding{std::move(fresh), {}};
        };
        services.askAfterFailedReadOut = [this](QWidget*, const QString&) { return onFailedReadOut(); };
        services.prompt = &prompt;
        services.startAutomation = [](CTarsionApp& running) {
            return std::make_unique<CAutomationHookup>(running);
        };
        app = std::make_unique<CTarsionApp>(std::move(services));
    }

    ~AutomationApp() override {
        app->MainWindow().close();
        app->ShutDown();
    }

    QString Path(const char* name) const { return QDir(dir.path()).filePath(QString::fromLatin1(name)); }

    // Serves events until the board's register holds `value`.
    bool WaitForRegister(std::uint8_t reg, std::uint32_t value) {
        const QDeadlineTimer deadline(30000);
        while (board->ChipRegister(reg) != value && !deadline.hasExpired())
            test::ServeEvents(20);
        return board->ChipRegister(reg) == value;
    }

    QTemporaryDir dir;
    test::ScriptedPrompt prompt;
    VirtualBoard* board = nullptr;
    bool failReadOut = false;
    std::function<ReadOutChoice()> onFailedReadOut = [] { return ReadOutChoice::EnterDemoMode; };
    std::unique_ptr<CTarsionApp> app;
};

TEST_F(AutomationApp, ARecentScriptRunsAndItsCreationRenamesOnlyTheDocument) {
    ASSERT_TRUE(app->StartUp({QStringLiteral("tarsion")}));
    ASSERT_TRUE(app->Ops().Poke(0x0C, 0x00ABCDEF));
    app->Doc().steps.symbolFrequencyStep = 125.0;
    EXPECT_EQ(app->MainWindow().DocumentTitle(), QStringLiteral("TRM90627"));

    const QString script = test::WriteText(Path("bench.js"), "var t = WScript.CreateObject(\"Trm90627\");\n"
                                                             "t.Poke(0x0b, 0x77);\n");
    emit app->MainWindow().recentFileChosen(script);
    ASSERT_TRUE(WaitForRegister(0x0B, 0x77));

    EXPECT_EQ(app->MainWindow().DocumentTitle(), QStringLiteral("TRM90627:  ") + script);
    EXPECT_EQ(app->MainWindow().RecentFiles().Files().value(0), script);
    EXPECT_EQ(app->Doc().Shadow().FetchChipReg(0x0C), 0x00ABCDEFu);
    EXPECT_EQ(app->Doc().steps.symbolFrequencyStep, 125.0);
}

// A script's stream of calls: the window catches up at most once a frame, and once the stream has
// ended the page and the log show exactly what they would show had they followed every call.
TEST_F(AutomationApp, AfterABurstOfCallsThePageAndTheLogShowTheLastStateAndEveryLine) {
    ASSERT_TRUE(app->StartUp({QStringLiteral("tarsion")}));
    app->MainWindow().ShowPage(2); // DataFlow, the largest page
    CLogWindow& log = app->MainWindow().LogWindow();
    log.BringUpToDate();
    const QString before = log.toPlainText();
    ASSERT_TRUE(before.isEmpty() || before.endsWith(QLatin1Char('\n')));

    constexpr int kCalls = 4000;
    constexpr int kOutstanding = 64;
    const auto var = [](int value) { return QVariant::fromValue(QDBusVariant(value)); };
    QString expected;
    QList<QDBusPendingCall> calls;
    std::uint32_t last = 0;
    for (int i = 0; i < kCalls; ++i) {
        if (i % 2 == 0) {
            last = 0x01000000u + 7u * static_cast<std::uint32_t>(i);
            calls.append(test::StartCall(QStringLiteral("Poke"), {var(0x05), var(static_cast<int>(last))}));
            expected += QString::asprintf("Poke 05 %.8x \n\tDone\n", last);
        } else {
            calls.append(test::StartCall(QStringLiteral("Peek"), {QVariant::fromValue<short>(0x05)}));
            expected += QString::asprintf("Peek 05\n\tReturned %.8x\n", last);
        }
        if (calls.size() == kOutstanding || i == kCalls - 1) {
            for (const QDBusPendingCall& call : calls) {
                test::WaitFor(call);
                ASSERT_EQ(call.reply().type(), QDBusMessage::ReplyMessage)
                    << qPrintable(call.reply().errorMessage());
            }
            calls.clear();
        }
    }
    // Nothing is left for the views but the last frame.
    test::ServeEvents(3 * CLogWindow::kFrameMs);

    EXPECT_EQ(board->ChipRegister(0x05), last);
    EXPECT_EQ(log.toPlainText(), before + expected);
    auto* gain = app->MainWindow().Page()->findChild<QLineEdit*>(QStringLiteral("gainHex"));
    ASSERT_NE(gain, nullptr);
    EXPECT_EQ(gain->text(), QString::asprintf("0x%.8x", last));
    EXPECT_EQ(app->MainWindow().Action(QStringLiteral("registerUndo")).text(),
              QString::asprintf("Undo Poke 05 %.8x", last));
}

TEST_F(AutomationApp, CallsDuringTheStartUpReadOutDialogAreServedAtOnce) {
    QDBusMessage reply;
    failReadOut = true;
    onFailedReadOut = [&] {
        // While the dialog is up, a script's call is answered, not held back.
        const QDBusPendingCall call =
            test::StartCall(QStringLiteral("Peek"), {QVariant::fromValue<short>(0x0C)});
        test::WaitFor(call, 5000);
        reply = call.reply();
        board->ClearFault();
        return ReadOutChoice::Retry;
    };
    ASSERT_TRUE(app->StartUp({QStringLiteral("tarsion")}));
    EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage) << qPrintable(reply.errorMessage());
}

} // namespace
} // namespace tarsion

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QTemporaryDir home;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, home.path());
    qputenv("XDG_DATA_HOME", home.path().toUtf8());
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
