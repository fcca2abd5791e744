// The running program's automation: a script chosen from the File menu drives the board and names
// the document after itself when it creates the automation object.

#include "AutomationBench.h"
#include "app/MainFrame.h"
#include "app/TarsionApp.h"
#include "app/automation/AutomationHookup.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
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
        services.bindPort = [this] {
            auto fresh = std::make_unique<VirtualBoard>();
            board = fresh.get();
            if (failReadOut)
                board->InjectFault(VirtualBoard::Fault::NotConnected);
            return PortBinding{std::move(fresh), {}};
        };
        services.askAfterFailedReadOut = [this](QWidget*) { return onFailedReadOut(); };
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
