#include "AppTestSupport.h"
#include "app/DocumentHost.h"
#include "app/LogWindow.h"
#include "app/MainFrame.h"
#include "app/TarsionApp.h"
#include "board/PpdevBackend.h"
#include "board/SteadyClock.h"
#include "support/FakePpdev.h"
#include "support/ScriptedPrompt.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>
#include <iostream>
#include <sstream>

namespace tarsion {
namespace {

// One run of the program over a virtual board; the read-out dialog is answered by `onFailedReadOut`.
struct AppRun {
    AppRun() {
        StartUpServices services;
        services.connectSessionBus = [] { return true; };
        services.bindPort = [this](const BoardChoice&) {
            auto fresh = std::make_unique<VirtualBoard>();
            board = fresh.get();
            if (prepareBoard)
                prepareBoard(*board);
            return PortBinding{std::move(fresh), {}};
        };
        services.askAfterFailedReadOut = [this](QWidget*, const QString&) {
            ++failedReadOuts;
            return onFailedReadOut ? onFailedReadOut(*board) : ReadOutChoice::EnterDemoMode;
        };
        services.prompt = &prompt;
        services.files = &files;
        app = std::make_unique<CTarsionApp>(std::move(services));
    }
    bool Start(QStringList arguments = {}) {
        arguments.prepend(QStringLiteral("tarsion"));
        return app->StartUp(arguments);
    }
    void Exit() {
        app->MainWindow().close();
        app->ShutDown();
    }
    const RegisterShadow& Shadow() { return app->Doc().Shadow(); }

    test::ScriptedPrompt prompt;
    test::ScriptedFileChooser files;
    VirtualBoard* board = nullptr;
    std::function<void(VirtualBoard&)> prepareBoard;
    std::function<ReadOutChoice(VirtualBoard&)> onFailedReadOut;
    int failedReadOuts = 0;
    std::unique_ptr<CTarsionApp> app;
};

void SetBaseAddressSetting(int base) {
    QSettings(QStringLiteral("Tessaric"), QStringLiteral("Tarsion"))
        .setValue(QStringLiteral("Settings/BaseAddress"), base);
}

// Cycles the first read-out stage (chip registers 0x00 to 0x0D) takes on a fresh board.
std::uint64_t StageOneCycles() {
    CTarsionDoc doc;
    auto board = std::make_unique<VirtualBoard>();
    VirtualBoard& raw = *board;
    SystemSteadyClock clock;
    CBoardLink link(doc.Shadow(), doc, std::move(board), clock);
    for (std::uint8_t reg = 0; reg <= 0x0D; ++reg) {
        std::uint32_t value = 0;
        link.ReadChipReg(reg, value);
    }
    return raw.Cycles();
}

class StartUpTest : public ::testing::Test {
protected:
    void SetUp() override { test::ClearSettings(); }
};

TEST_F(StartUpTest, FreshStartReadsTheBoardAndPlacesTheWindow) {
    AppRun run;
    run.prepareBoard = [](VirtualBoard& board) {
        board.SetChipRegister(0x05, 0x01234567);
        board.SetChipRegister(0x07, 0x37000000);
        board.SetBridgeRegister(9, 0x02);
        board.SetPldRegister(12, 0x01);
    };
    ASSERT_TRUE(run.Start());
    EXPECT_EQ(run.failedReadOuts, 0);
    EXPECT_FALSE(run.app->Ops().Link().IsDemo());
    EXPECT_EQ(run.Shadow().FetchChipReg(0x05), 0x01234567u);
    EXPECT_EQ(run.Shadow().FetchBridgeReg(9), 0x02);
    EXPECT_EQ(run.Shadow().FetchPldReg(12), 0x01);
    // Bits 25..24 set, bits 30..28 = 3, bits 27..26 = 1: 80 MHz x 8 / 2.
    ASSERT_EQ(run.board->ChipRegister(0x07), 0x37000000u);
    EXPECT_DOUBLE_EQ(run.Shadow().SysClk(), 80e6 * 8 / 2);

    CMainFrame& window = run.app->MainWindow();
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(window.pos(), QPoint(0, 0));
    EXPECT_EQ(window.size(), QSize(550, 500));
    // The board's id follows the title: a station has one window per board.
    EXPECT_EQ(window.windowTitle(),
              QStringLiteral("Tessaric - TRM90627 [%1]").arg(QString::fromStdString(run.app->Doc().boardId)));
    EXPECT_FALSE(run.app->Doc().boardId.empty());
    EXPECT_EQ(run.app->Ops().Link().BaseAddress(), 0x378);
    EXPECT_TRUE(run.prompt.messages.empty());
}

TEST_F(StartUpTest, DataClkTristatedSkipsThePatternSender) {
    AppRun run;
    run.prepareBoard = [](VirtualBoard& board) {
        board.SetBridgeRegister(9, 0x03);
        board.SetPldRegister(12, 0x01);
    };
    ASSERT_TRUE(run.Start());
    EXPECT_EQ(run.Shadow().FetchBridgeReg(9), 0x03);
    EXPECT_EQ(run.Shadow().FetchPldReg(12), 0x00);
}

TEST_F(StartUpTest, SilentBoardOffersRetryThenDemoImage) {
    SetBaseAddressSetting(0x278);
    AppRun run;
    run.prepareBoard = [](VirtualBoard& board) { board.SetChipRegister(0x01, 0xABCDEF); };
    run.onFailedReadOut = [&run](VirtualBoard&) {
        return run.failedReadOuts == 1 ? ReadOutChoice::Retry : ReadOutChoice::EnterDemoMode;
    };
    ASSERT_TRUE(run.Start());
    EXPECT_EQ(run.failedReadOuts, 2);
    EXPECT_EQ(run.app->Ops().Link().BaseAddress(), 0x278);
    EXPECT_TRUE(run.app->Ops().Link().IsDemo());

    const std::pair<std::uint8_t, std::uint32_t> image[] = {
        {0x00, 0x00000000}, {0x01, 0x0000602B}, {0x02, 0x00000000}, {0x03, 0xFF000002}, {0x04, 0x00000002},
        {0x05, 0x02FFFFFF}, {0x06, 0x50000000}, {0x07, 0x00400000}, {0x08, 0},          {0x09, 0},
        {0x0A, 0},          {0x0B, 0},          {0x0C, 0x7FFFFFFF}, {0x0D, 0x80000000}, {0x0E, 0},
        {0x0F, 0},          {0x10, 0},          {0x11, 0},          {0x12, 0},          {0x1F, 0},
    };
    for (const auto& [reg, value] : image)
        EXPECT_EQ(run.Shadow().FetchChipReg(reg), value) << "register " << int(reg);
    EXPECT_EQ(run.Shadow().FetchBridgeReg(9), 0);
    EXPECT_EQ(run.Shadow().FetchPldReg(12), 0);
    EXPECT_DOUBLE_EQ(run.Shadow().SysClk(), 80e6);
}

TEST_F(StartUpTest, RetryAfterTheBoardComesBackReadsOn) {
    AppRun run;
    run.prepareBoard = [](VirtualBoard& board) {
        board.SetChipRegister(0x0C, 0x00ABCDEF);
        board.InjectFault(VirtualBoard::Fault::NotConnected);
    };
    run.onFailedReadOut = [](VirtualBoard& board) {
        board.ClearFault();
        return ReadOutChoice::Retry;
    };
    ASSERT_TRUE(run.Start());
    EXPECT_EQ(run.failedReadOuts, 1);
    EXPECT_FALSE(run.app->Ops().Link().IsDemo());
    EXPECT_EQ(run.Shadow().FetchChipReg(0x0C), 0x00ABCDEFu);
}

TEST_F(StartUpTest, StageTwoFailureZeroesTheRegistersNotYetRead) {
    const std::uint64_t stageOne = StageOneCycles();
    AppRun run;
    run.prepareBoard = [stageOne](VirtualBoard& board) {
        for (std::uint8_t reg = 0; reg <= 0x0D; ++reg)
            board.SetChipRegister(reg, 0x10u + reg);
        board.SetChipRegister(0x11, 0x12345);
        board.SetChipRegister(0x1F, 0xCAFE);
        board.SetBridgeRegister(9, 0x01);
        board.SetPldRegister(12, 0x01);
        board.InjectFault(VirtualBoard::Fault::NotConnected, stageOne + 1);
    };
    ASSERT_TRUE(run.Start());
    EXPECT_EQ(run.failedReadOuts, 1);
    EXPECT_TRUE(run.app->Ops().Link().IsDemo());
    for (std::uint8_t reg = 0; reg <= 0x0D; ++reg)
        EXPECT_EQ(run.Shadow().FetchChipReg(reg), run.board->ChipRegister(reg)) << "register " << int(reg);
    EXPECT_EQ(run.Shadow().FetchChipReg(0x05), 0x15u);
    EXPECT_EQ(run.Shadow().FetchChipReg(0x11), 0u);
    EXPECT_EQ(run.Shadow().FetchChipReg(0x1F), 0u);
    EXPECT_EQ(run.Shadow().FetchBridgeReg(9), 0);
    EXPECT_EQ(run.Shadow().FetchPldReg(12), 0);
}

TEST_F(StartUpTest, SettingsWrittenAtExitAreUsedAtTheNextStart) {
    {
        AppRun first;
        ASSERT_TRUE(first.Start());
        first.app->MainWindow().move(40, 30);
        first.app->Doc().steps.carrierFrequencyStep = 2500;
        first.app->Doc().Shadow().SetClockPin(100e6);
        first.app->Ops().Link().SetBaseAddress(0x278);
        first.Exit();
    }
    QSettings raw(QStringLiteral("Tessaric"), QStringLiteral("Tarsion"));
    raw.beginGroup(QStringLiteral("Settings"));
    // x, y, the base address, the port, eleven steps, three of the window layout and the Compare
    // view's column widths.
    EXPECT_EQ(raw.childKeys().size(), 19);
    EXPECT_EQ(raw.value(QStringLiteral("BaseAddress")).toInt(), 632);
    // Another base chosen: a program started by activation is to find this board.
    EXPECT_EQ(raw.value(QStringLiteral("Port")).toString(), QStringLiteral("auto"));

    AppRun second;
    ASSERT_TRUE(second.Start());
    EXPECT_EQ(second.failedReadOuts, 1);
    EXPECT_EQ(second.app->MainWindow().pos(), QPoint(40, 30));
    EXPECT_EQ(second.app->MainWindow().size(), QSize(550, 500));
    EXPECT_EQ(second.app->Ops().Link().BaseAddress(), 0x278);
    EXPECT_EQ(second.app->Doc().steps.carrierFrequencyStep, 2500.0);
    // The default lead step no longer collapses to 0 on the way through the settings.
    EXPECT_EQ(second.app->Doc().steps.loopFilterStepLead, 4.768371582031e-07);
    EXPECT_DOUBLE_EQ(second.Shadow().SysClk(), 100e6);
}

// A clock pin of "nan" would show every frequency as "nanHz": the default is used and logged.
TEST_F(StartUpTest, ANonFiniteClockPinSettingGivesTheDefaultAndALogLine) {
    QSettings(QStringLiteral("Tessaric"), QStringLiteral("Tarsion"))
        .setValue(QStringLiteral("Settings/ClockPin"), QStringLiteral("nan"));
    AppRun run;
    ASSERT_TRUE(run.Start());
    EXPECT_EQ(run.Shadow().ClockPin(), 80e6);
    EXPECT_TRUE(std::isfinite(run.Shadow().SysClk()));
    EXPECT_TRUE(run.app->MainWindow().LogWindow().toPlainText().contains(
        QStringLiteral("Setting ClockPin=nan is not a finite number: the default is used")));
    run.Exit();
    EXPECT_EQ(QSettings(QStringLiteral("Tessaric"), QStringLiteral("Tarsion"))
                  .value(QStringLiteral("Settings/ClockPin"))
                  .toString(),
              QStringLiteral("8e+07"));
}

TEST_F(StartUpTest, AClockPinSettingTooLargeForAFiniteSysClkGivesTheDefault) {
    QSettings(QStringLiteral("Tessaric"), QStringLiteral("Tarsion"))
        .setValue(QStringLiteral("Settings/ClockPin"), QStringLiteral("1e308"));
    AppRun run;
    ASSERT_TRUE(run.Start());
    EXPECT_EQ(run.Shadow().ClockPin(), 80e6);
    EXPECT_TRUE(run.app->MainWindow().LogWindow().toPlainText().contains(
        QStringLiteral("Setting ClockPin=1e308 is too large a frequency: the default is used")));
    run.Exit();
}

TEST_F(StartUpTest, ExitInDemoModeStillClosesThePort) {
    AppRun run;
    run.prepareBoard = [](VirtualBoard& board) { board.InjectFault(VirtualBoard::Fault::NotConnected); };
    ASSERT_TRUE(run.Start());
    ASSERT_TRUE(run.app->Ops().Link().IsDemo());
    run.Exit();
    EXPECT_EQ(run.board->ControlRegister(), 0x04);
}

TEST_F(StartUpTest, DocumentFileBecomesTitleAndRecentFile) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bench.cfg"));
    QFile(path).open(QIODevice::WriteOnly);
    AppRun run;
    ASSERT_TRUE(run.Start(
        {QStringLiteral("--automation"), QStringLiteral("--board-id"), QStringLiteral("rack_2"), path}));
    EXPECT_TRUE(run.app->AutomationRequested());
    EXPECT_EQ(run.app->MainWindow().windowTitle(), QStringLiteral("Tessaric - bench.cfg [rack_2]"));
    EXPECT_EQ(run.app->MainWindow().RecentFiles().Files(), QStringList{path});
}

TEST_F(StartUpTest, StartUpFailuresEndTheProgram) {
    AppRun missingFile;
    EXPECT_FALSE(missingFile.Start({QStringLiteral("/nonexistent/config.js")}));
    EXPECT_EQ(missingFile.app->ExitCode(), 1);
    EXPECT_EQ(missingFile.prompt.messages.size(), 1u);

    StartUpServices noBus;
    noBus.connectSessionBus = [] { return false; };
    test::ScriptedPrompt prompt;
    noBus.prompt = &prompt;
    CTarsionApp withoutBus(noBus);
    EXPECT_FALSE(withoutBus.StartUp({QStringLiteral("tarsion")}));
    ASSERT_EQ(prompt.messages.size(), 1u);
    EXPECT_EQ(prompt.messages[0],
              "OLE initialization failed.  Make sure that the OLE libraries are the correct version.");

    StartUpServices noDriver;
    noDriver.connectSessionBus = [] { return true; };
    noDriver.bindPort = [](const BoardChoice&) { return PortBinding{nullptr, "permission denied"}; };
    noDriver.prompt = &prompt;
    CTarsionApp withoutDriver(noDriver);
    EXPECT_FALSE(withoutDriver.StartUp({QStringLiteral("tarsion")}));
    EXPECT_EQ(withoutDriver.ExitCode(), 1);
    EXPECT_EQ(prompt.messages.back(), "Couldn't Initiate the Driver, Program will terminate");
    // Nothing is saved.
    EXPECT_TRUE(QSettings(QStringLiteral("Tessaric"), QStringLiteral("Tarsion")).allKeys().isEmpty());
}

// Standard error as the program writes it, for the length of one test.
class CapturedStandardError {
public:
    CapturedStandardError() : old_(std::cerr.rdbuf(text_.rdbuf())) {}
    ~CapturedStandardError() { std::cerr.rdbuf(old_); }
    std::string Text() const { return text_.str(); }

private:
    std::ostringstream text_;
    std::streambuf* old_;
};

// Retry twice, then demo mode: the cause is written once, the dialog asked each time.
TEST_F(StartUpTest, FailedReadOutOnARealPortNamesTheCauseOnceOnStandardError) {
    SetBaseAddressSetting(0x278);
    test::FakeMachine machine;
    machine.AddPort("parport0", "888\t1912\n");
    test::FakePpdev lister(machine);
    test::ScriptedPrompt prompt;
    CAppSettings settings;
    CDocumentHost host(std::make_unique<PpdevBackend>(std::make_unique<test::FakePpdev>(machine),
                                                      FindParportDevices(lister), std::cerr),
                       prompt);
    int asked = 0;
    CapturedStandardError captured;
    host.StartUp(settings, [&] { return ++asked < 3 ? ReadOutChoice::Retry : ReadOutChoice::EnterDemoMode; });
    EXPECT_EQ(asked, 3);
    EXPECT_TRUE(host.Link().IsDemo());
    EXPECT_EQ(captured.Text(),
              "tarsion: no board at 0x278: no parallel port at this base; ports were found at "
              "0x378 (choose one on the Board page); TARSION_PORT=sim runs the program on the "
              "virtual board\n");
}

TEST_F(StartUpTest, FailedReadOutOnTheVirtualBoardWritesNothingOnStandardError) {
    test::ScriptedPrompt prompt;
    CAppSettings settings;
    auto board = std::make_unique<VirtualBoard>();
    board->InjectFault(VirtualBoard::Fault::NotConnected);
    CDocumentHost host(std::move(board), prompt);
    CapturedStandardError captured;
    host.StartUp(settings, [] { return ReadOutChoice::EnterDemoMode; });
    EXPECT_TRUE(host.Link().IsDemo());
    EXPECT_EQ(captured.Text(), "");
}

} // namespace
} // namespace tarsion
