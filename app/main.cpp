#include "app/AppSettings.h"
#include "app/HeadlessServer.h"
#include "app/MainFrame.h"
#include "app/ProgramOptions.h"
#include "app/RunMode.h"
#include "app/TarsionApp.h"
#include "app/TerminationSignals.h"
#include "automation/ActivationRefusal.h"
#include "automation/BusConnection.h"
#include "base/ProcessSetup.h"
#include "board/PortBackend.h"
#include "board/PortDiscovery.h"
#include "ops/BoardOperations.h"

#include <QApplication>
#include <QCoreApplication>

#include <algorithm>
#include <clocale>
#include <csignal>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

namespace {

// Qt adopts the user's locale; numbers in log lines, scripts and files keep the C notation.
void KeepCNumbers() {
    std::setlocale(LC_NUMERIC, "C");
}

// A program started by D-Bus activation logs here, not into the bus daemon's output (which may be
// the output of whoever started the daemon).
constexpr const char* kActivationLog = "/activation.log";
constexpr std::size_t kActivationLogLimit = 4 << 20;

// The calls that started an activated program learn why it ends, and what to do about it.
void TellActivationCallers(const std::string& failure) {
    tarsion::RefuseWaitingCalls(
        "Tarsion could not start: " + failure +
        "\nThe program that D-Bus activation starts uses the Port setting: tarsion --save-port sim chooses "
        "the virtual board, tarsion --save-port /dev/parportN a parallel port (tarsion --list-ports shows "
        "them); its log is " +
        tarsion::UserStateFolder() + kActivationLog);
}

int SavePort(const std::string& port) {
    std::string homeError;
    if (!tarsion::EnsureHomeFolder(homeError)) {
        std::cerr << "tarsion: " << homeError << '\n';
        return 1;
    }
    std::error_code error;
    const std::string stored = tarsion::PortFromAnywhere(port, std::filesystem::current_path(error).string());
    tarsion::CAppSettings settings;
    settings.SetPort(QString::fromStdString(stored));
    if (!settings.Sync())
        return 1;
    std::cout << "Port=" << stored << " stored in " << settings.FileName().toStdString() << '\n';
    return 0;
}

int RunHeadless(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    KeepCNumbers();
    // A log reader that goes away (tarsion --headless | head) costs the rest of the log, not the run.
    std::signal(SIGPIPE, SIG_IGN);
    tarsion::CTerminationSignals termination;
    // A start-up wait for a bus that does not answer ends with the first signal.
    tarsion::CBusConnection::SetStopCheck([&termination] { return termination.Requested(); });
    tarsion::CHeadlessServer server;
    // A load in progress stops after the word in hand.
    QObject::connect(&termination, &tarsion::CTerminationSignals::interruptRequested, &application,
                     [&server] { server.Interrupt(); });
    if (!server.StartUp(QCoreApplication::arguments())) {
        server.ShutDown();
        if (server.Activated())
            TellActivationCallers(server.FailureText());
        return server.ExitCode();
    }
    QObject::connect(&termination, &tarsion::CTerminationSignals::terminationRequested, &application,
                     &QCoreApplication::quit);
    termination.Arm([&server] { return server.Ops().IsBusy(); });
    const int status = QCoreApplication::exec();
    server.ShutDown();
    return status != 0 ? status : server.ExitCode();
}

int RunWindowed(int argc, char** argv) {
    QApplication application(argc, argv);
    KeepCNumbers();
    // The main window's close ends the run, whatever other windows (help) are open.
    QApplication::setQuitOnLastWindowClosed(false);
    tarsion::CTerminationSignals termination;
    // A start-up wait for a bus that does not answer ends with the first signal.
    tarsion::CBusConnection::SetStopCheck([&termination] { return termination.Requested(); });
    tarsion::CTarsionApp app;
    // Dialogs close at once, the start-up's too; a load stops after the word in hand.
    QObject::connect(&termination, &tarsion::CTerminationSignals::interruptRequested, &app,
                     &tarsion::CTarsionApp::Interrupt);
    if (!app.StartUp(QApplication::arguments())) {
        if (app.AutomationRequested())
            TellActivationCallers(app.FailureText());
        return app.ExitCode();
    }
    tarsion::CMainFrame& window = app.MainWindow();
    QObject::connect(&window, &tarsion::CMainFrame::closed, &application, &QApplication::quit);
    // A signal ends the program as File > Exit does.
    QObject::connect(&termination, &tarsion::CTerminationSignals::terminationRequested, &window,
                     &QWidget::close);
    termination.Arm([&app] { return app.Ops().IsBusy(); });
    const int status = QApplication::exec();
    app.ShutDown();
    return status != 0 ? status : app.ExitCode();
}

} // namespace

int main(int argc, char** argv) {
    // Before anything opens a descriptor that could take the place of a closed standard one.
    tarsion::OpenStandardDescriptors();
    using Action = tarsion::ProgramOptions::Action;
    const tarsion::ProgramOptions options =
        tarsion::ParseProgramOptions(std::vector<std::string>(argv + std::min(argc, 1), argv + argc));
    // These need neither a display nor a session bus.
    switch (options.action) {
    case Action::Help:
        std::cout << tarsion::ProgramUsage();
        return 0;
    case Action::Version:
        std::cout << tarsion::ProgramVersionText();
        return 0;
    case Action::Refuse:
        std::cerr << tarsion::UsageError(options.error);
        return tarsion::kUsageExitCode;
    case Action::SavePort:
        return SavePort(*options.port);
    case Action::ListPorts:
        return tarsion::ListParallelPorts(std::cout, tarsion::PortLockFolder());
    case Action::Run:
        break;
    }
    const bool headless = tarsion::RunsHeadless(options);
    // Qt would abort in its platform plugin; nothing has touched the board or the settings yet.
    if (!headless && !tarsion::WindowCanOpen(options)) {
        std::cerr << tarsion::NoDisplayMessage() << '\n';
        return tarsion::kUsageExitCode;
    }
    std::string error;
    if (!tarsion::EnsureHomeFolder(error)) {
        std::cerr << "tarsion: " << error << '\n';
        return 1;
    }
    if (options.automation && !tarsion::RedirectOutputToFile(tarsion::UserStateFolder() + kActivationLog,
                                                             kActivationLogLimit, error))
        std::cerr << "tarsion: " << error << "; the log goes to the bus daemon's output\n";
    if (options.automation && !tarsion::LeaveRootFolder(tarsion::UserStateFolder(), error))
        std::cerr << "tarsion: " << error << "; files of relative names go to /\n";
    if (headless)
        return RunHeadless(argc, argv);
    return RunWindowed(argc, argv);
}
