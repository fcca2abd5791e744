// A termination signal while the windowed program waits in a dialog of any kind: every dialog
// closes as Escape would, a load stops after the word in hand, and the program ends as File > Exit
// does, with the settings saved, the port's control register at 0x04 and the board's state file
// written. The signals are wired here as main() wires them.

#include "AppTestSupport.h"
#include "app/MainFrame.h"
#include "app/ReadOutFailedDialog.h"
#include "app/TarsionApp.h"
#include "app/TerminationSignals.h"
#include "board/BoardLink.h"
#include "board/PacedPort.h"
#include "board/SteadyClock.h"
#include "board/VirtualBoard.h"
#include "ops/BoardOperations.h"
#include "ops/RegisterBatch.h"

#include <QAction>
#include <QApplication>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <sstream>

namespace tarsion {
namespace {

struct DialogCase {
    const char* name;
    bool silentBoard;
    bool pacedBoard;
    // Runs from the event loop and opens the dialog; returns what its caller got back.
    std::function<std::string(CTarsionApp&)> open;
    std::string expected;
    // A line the board's state file must hold besides the Poke every case makes.
    const char* kept = nullptr;
};

std::string Bool(bool value) {
    return value ? "true" : "false";
}

QAction& Action(CTarsionApp& app, const char* name) {
    return *app.MainWindow().findChild<QAction*>(QString::fromLatin1(name));
}

const DialogCase kCases[] = {
    // Raised once the dialog shows; the read-out then gives up as demo mode does.
    {"StartUpDialog", true, false, nullptr, ""},
    {"AboutDialog", false, false,
     [](CTarsionApp& app) {
         Action(app, "appAbout").trigger();
         return std::string("closed");
     },
     "closed"},
    {"FileDialogOfSaveConfiguration", false, false,
     [](CTarsionApp& app) {
         Action(app, "saveConfiguration").trigger();
         return std::string("closed");
     },
     "closed"},
    {"MessageBoxInsideAnOperation", false, false,
     [](CTarsionApp& app) {
         return Bool(
             app.Ops().LoadCoefficientRam(0, "/nonexistent/lp.coe", true, 1.0, false, 0, false, false));
     },
     "false"},
    {"Question", false, false,
     [](CTarsionApp& app) { return Bool(app.Prompt().AskYesNo("Tarsion", "Go on?")); }, "false"},
    {"ProgressDialogOfALongLoad", false, true,
     [](CTarsionApp& app) { return Bool(app.Ops().LoadExternalMem(1, 1, 0.5, 0.5, 16, 131072)); }, "false"},
    // The batch stops, and DataClk goes back to SysClk/2 before the state is written.
    {"ProgressDialogOfALongPldBatch", false, true,
     [](CTarsionApp& app) {
         app.Ops().Write(9, 0x02);
         const std::vector<RegisterWrite> writes(400000, RegisterWrite::Pld(5, 0x5A));
         return Bool(!CRegisterBatch(app.Ops()).PldWriteMany(writes));
     },
     "false", "bridge 09 02\n"},
};

class DialogTermination : public ::testing::TestWithParam<DialogCase> {};

TEST_P(DialogTermination, EndsTheProgramAsExitDoesWithTheStateKept) {
    const DialogCase& param = GetParam();
    test::ClearSettings();
    QTemporaryDir dir;
    const std::string stateFile = dir.filePath(QStringLiteral("state.txt")).toStdString();
    SystemSteadyClock clock;
    VirtualBoard* board = nullptr;
    StartUpServices services = StartUpServices::Standard();
    services.connectSessionBus = [] { return true; };
    services.startAutomation = nullptr;
    services.bindPort = [&](const BoardChoice&) {
        auto fresh = std::make_unique<VirtualBoard>();
        board = fresh.get();
        board->SetStateFile(stateFile);
        if (param.silentBoard)
            board->InjectFault(VirtualBoard::Fault::NotConnected);
        if (param.pacedBoard)
            return PortBinding{std::make_unique<CPacedPort>(std::move(fresh), clock), {}, board};
        return PortBinding{std::move(fresh), {}, board};
    };
    CTarsionApp app(std::move(services));
    CTerminationSignals termination;
    QObject::connect(&termination, &CTerminationSignals::interruptRequested, &app, &CTarsionApp::Interrupt);

    // The signal comes once a modal dialog shows, from inside that dialog's event loop.
    QString dialogSeen;
    QTimer raiser;
    raiser.setInterval(10);
    QObject::connect(&raiser, &QTimer::timeout, [&] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            dialogSeen = QString::fromLatin1(modal->metaObject()->className());
            raiser.stop();
            std::raise(SIGTERM);
        }
    });
    if (param.silentBoard)
        raiser.start();
    ASSERT_TRUE(app.StartUp({QStringLiteral("tarsion")}));
    app.Ops().Poke(0x0A, 0x12345678);

    QEventLoop loop;
    QObject::connect(&app.MainWindow(), &CMainFrame::closed, &loop, &QEventLoop::quit);
    QObject::connect(&termination, &CTerminationSignals::terminationRequested, &app.MainWindow(),
                     &QWidget::close);
    termination.Arm([&app] { return app.Ops().IsBusy(); });
    std::string answer;
    if (param.open) {
        raiser.start();
        QTimer::singleShot(0, [&] { answer = param.open(app); });
    }
    // A program that doesn't end is stopped here rather than hanging the suite.
    bool hung = false;
    QTimer::singleShot(20000, &loop, [&] {
        hung = true;
        loop.quit();
    });
    loop.exec();
    app.ShutDown();

    EXPECT_FALSE(hung) << "still running after the signal";
    EXPECT_FALSE(dialogSeen.isEmpty());
    EXPECT_EQ(answer, param.expected) << dialogSeen.toStdString();
    EXPECT_EQ(app.ExitCode(), 0);
    EXPECT_EQ(board->ControlRegister(), CBoardLink::kControlClosed);
    std::ifstream state(stateFile);
    std::stringstream text;
    text << state.rdbuf();
    if (!param.silentBoard)
        EXPECT_NE(text.str().find("chip 0a 12345678\n"), std::string::npos) << text.str();
    else
        EXPECT_FALSE(text.str().empty());
    if (param.kept) {
        EXPECT_NE(text.str().find(param.kept), std::string::npos) << text.str();
    }
    QSettings settings(QStringLiteral("Tessaric"), QStringLiteral("Tarsion"));
    EXPECT_TRUE(settings.contains(QStringLiteral("Settings/BaseAddress")));
    EXPECT_TRUE(settings.contains(QStringLiteral("Settings/x")));
}

INSTANTIATE_TEST_SUITE_P(EveryKindOfDialog, DialogTermination, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<DialogCase>& row) { return row.param.name; });

} // namespace
} // namespace tarsion
