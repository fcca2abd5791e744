// The headless server over a virtual board: its log on a stream, the start-up questions answered
// by the command line, the shutdown; and the termination signals that end it.

#include "AppTestSupport.h"
#include "app/HeadlessServer.h"
#include "app/TerminationSignals.h"
#include "automation/AutomationServer.h"
#include "board/VirtualBoard.h"
#include "ops/BoardOperations.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>
#include <cstdint>
#include <fstream>
#include <sstream>

namespace tarsion {
namespace {

// Runs the event loop until `done` or `milliseconds` have passed.
template <typename Done>
void ServeUntil(Done done, int milliseconds = 2000) {
    const QDeadlineTimer deadline(milliseconds);
    while (!done() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

struct HeadlessRun {
    HeadlessRun() {
        test::ClearSettings();
        HeadlessServices services;
        services.connectSessionBus = [] { return true; };
        services.bindPort = [this](const BoardChoice&) {
            auto fresh = std::make_unique<VirtualBoard>();
            board = fresh.get();
            if (silentBoard)
                board->InjectFault(VirtualBoard::Fault::NotConnected);
            board->SetChipRegister(0x0C, 0x00ABCDEF);
            return PortBinding{std::move(fresh), {}};
        };
        // Not registered: these tests run without a bus.
        services.startAutomation = [](CBoardOperations& ops, std::function<void()> newDocument) {
            return std::make_unique<CAutomationServer>(ops, std::move(newDocument));
        };
        services.out = &out;
        services.err = &err;
        server = std::make_unique<CHeadlessServer>(std::move(services));
    }
    bool Start(QStringList arguments = {}) {
        arguments.prepend(QStringLiteral("tarsion"));
        arguments.append(QStringLiteral("--headless"));
        return server->StartUp(arguments);
    }

    std::ostringstream out;
    std::ostringstream err;
    VirtualBoard* board = nullptr;
    bool silentBoard = false;
    std::unique_ptr<CHeadlessServer> server;
};

TEST(HeadlessServer, LogsToItsStreamAsTheLogWindowWouldAndClosesThePortAtExit) {
    HeadlessRun run;
    ASSERT_TRUE(run.Start());
    EXPECT_FALSE(run.server->Ops().Link().IsDemo());
    EXPECT_EQ(run.server->Doc().Shadow().FetchChipReg(0x0C), 0x00ABCDEFu);
    run.out.str({});
    ASSERT_TRUE(run.server->Ops().Poke(0x0A, 0x20000000));
    EXPECT_EQ(run.out.str(), "Poke 0a 20000000 \n\tDone\n");
    // The next operation within the frame is written when the frame ends.
    EXPECT_TRUE(run.server->Ops().Console("poke 1e 1"));
    const std::string both =
        "Poke 0a 20000000 \n\tDone\n\n\tError : Invalid Address \n\tCouldn't Poke to Register 0x1e\n";
    ServeUntil([&] { return run.out.str().size() >= both.size(); });
    EXPECT_EQ(run.out.str(), both);
    EXPECT_EQ(run.board->ChipRegister(0x0A), 0x20000000u);

    run.server->ShutDown();
    EXPECT_EQ(run.board->ControlRegister(), 0x04);
    QSettings settings(QStringLiteral("Tessaric"), QStringLiteral("Tarsion"));
    EXPECT_EQ(settings.value(QStringLiteral("Settings/BaseAddress")).toInt(), 888);
    EXPECT_FALSE(settings.contains(QStringLiteral("Settings/x")));
    EXPECT_TRUE(run.err.str().empty()) << run.err.str();
}

TEST(HeadlessServer, AStreamOfOperationsIsWrittenOnceAFrameAndWhatIsQueuedWhenTheServerEnds) {
    HeadlessRun run;
    ASSERT_TRUE(run.Start());
    // A frame after the last write, an operation is written at once; those after it in its frame wait.
    ServeUntil([] { return false; }, 100);
    run.out.str({});
    for (std::uint32_t word = 2; word <= 4; ++word)
        ASSERT_TRUE(run.server->Ops().Poke(0x0A, word));
    EXPECT_EQ(run.out.str(), "Poke 0a 00000002 \n\tDone\n");
    run.server.reset();
    EXPECT_EQ(run.out.str(),
              "Poke 0a 00000002 \n\tDone\nPoke 0a 00000003 \n\tDone\nPoke 0a 00000004 \n\tDone\n");
}

TEST(HeadlessServer, ASilentBoardEndsTheStartUnlessDemoModeIsAskedFor) {
    HeadlessRun silent;
    silent.silentBoard = true;
    EXPECT_FALSE(silent.Start());
    EXPECT_EQ(silent.server->ExitCode(), CHeadlessServer::kBoardSilentExitCode);
    EXPECT_NE(silent.err.str().find("Couldn't do Initial Read out."), std::string::npos) << silent.err.str();
    EXPECT_NE(silent.err.str().find("--demo"), std::string::npos);
    silent.server->ShutDown();
    EXPECT_EQ(silent.board->ControlRegister(), 0x04);

    HeadlessRun demo;
    demo.silentBoard = true;
    ASSERT_TRUE(demo.Start({QStringLiteral("--demo")}));
    EXPECT_TRUE(demo.server->Ops().Link().IsDemo());
    // The demo image, not the board's register.
    EXPECT_EQ(demo.server->Doc().Shadow().FetchChipReg(0x0C), 0x7FFFFFFFu);
    EXPECT_NE(demo.err.str().find("demo mode"), std::string::npos);
}

TEST(HeadlessServer, QuestionsAreAnsweredNoOnTheErrorStream) {
    HeadlessRun run;
    ASSERT_TRUE(run.Start());
    // DataClk tristated: Save Configuration asks about an external pattern generator.
    ASSERT_TRUE(run.server->Ops().LoadExternalMem(1, 0, 1.0, 0.0, 16.0, 16.0));
    ASSERT_TRUE(run.server->Ops().Write(9, 3));
    QTemporaryDir dir;
    const std::string path = dir.filePath(QStringLiteral("config.js")).toStdString();
    ASSERT_TRUE(run.server->Ops().SaveSettings(path));
    // The memories it would not restore are named first (the pattern memory it does restore).
    EXPECT_EQ(run.err.str(),
              "tarsion: The configuration will not restore:\nConstellation RAM: not loaded in this "
              "run\nI Coefficient RAM: not loaded in this run\nQ Coefficient RAM: not loaded in "
              "this run\nRead a memory from the board in its signal view to save it with the "
              "configuration.\ntarsion: Are you using an External Pattern Generator ? NO\n");
    // NO: the pattern is part of the configuration.
    std::ifstream saved(path);
    const std::string text((std::istreambuf_iterator<char>(saved)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("LoadExternalMem"), std::string::npos) << text;
}

TEST(HeadlessServer, StartsOnlyWhenItCanServeAutomation) {
    HeadlessServices services;
    services.connectSessionBus = [] { return true; };
    services.bindPort = [](const BoardChoice&) { return PortBinding{std::make_unique<VirtualBoard>(), {}}; };
    services.startAutomation = [](CBoardOperations&, std::function<void()>) {
        return std::unique_ptr<CAutomationServer>();
    };
    std::ostringstream out, err;
    services.out = &out;
    services.err = &err;
    CHeadlessServer server(std::move(services));
    EXPECT_FALSE(server.StartUp({QStringLiteral("tarsion"), QStringLiteral("--headless")}));
    EXPECT_EQ(server.ExitCode(), CHeadlessServer::kNoAutomationExitCode);
}

TEST(TerminationSignals, ARequestInterruptsAtOnceAndEndsOnceStartedAndIdle) {
    CTerminationSignals termination;
    std::vector<int> interrupts;
    std::vector<int> requests;
    QObject::connect(&termination, &CTerminationSignals::interruptRequested,
                     [&](int signal) { interrupts.push_back(signal); });
    QObject::connect(&termination, &CTerminationSignals::terminationRequested,
                     [&](int signal) { requests.push_back(signal); });
    ASSERT_EQ(std::raise(SIGHUP), 0);
    ASSERT_EQ(std::raise(SIGTERM), 0);
    // Not armed yet: the program is still starting, but its dialogs are told at once.
    ServeUntil([&] { return !interrupts.empty(); });
    ServeUntil([] { return false; }, 300);
    EXPECT_EQ(interrupts, std::vector<int>{SIGHUP});
    EXPECT_TRUE(requests.empty());

    bool busy = true;
    termination.Arm([&] { return busy; });
    ServeUntil([&] { return !requests.empty(); }, 300);
    EXPECT_TRUE(requests.empty());
    busy = false;
    ServeUntil([&] { return !requests.empty(); });
    // The first signal, once; the rest changes nothing.
    EXPECT_EQ(requests, std::vector<int>{SIGHUP});
    ASSERT_EQ(std::raise(SIGINT), 0);
    ServeUntil([&] { return requests.size() > 1; }, 300);
    EXPECT_EQ(requests.size(), 1u);
    EXPECT_EQ(interrupts.size(), 1u);
}

} // namespace
} // namespace tarsion
