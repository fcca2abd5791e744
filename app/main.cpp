#include "app/HeadlessServer.h"
#include "app/MainFrame.h"
#include "app/ProgramOptions.h"
#include "app/RunMode.h"
#include "app/TarsionApp.h"
#include "app/TerminationSignals.h"
#include "base/ProcessSetup.h"
#include "board/PortDiscovery.h"
#include "ops/BoardOperations.h"

#include <QApplication>
#include <QCoreApplication>

#include <algorithm>
#include <clocale>
#include <csignal>
#include <iostream>
#include <string>
#include <vector>

namespace {

// Qt adopts the user's locale; numbers in log lines, scripts and files keep the C notation.
void KeepCNumbers() {
    std::setlocale(LC_NUMERIC, "C");
}

int RunHeadless(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    KeepCNumbers();
    // A log reader that goes away (tarsion --headless | head) costs the rest of the log, not the run.
    std::signal(SIGPIPE, SIG_IGN);
    tarsion::CTerminationSignals termination;
    tarsion::CHeadlessServer server;
    // A load in progress stops after the word in hand.
    QObject::connect(&termination, &tarsion::CTerminationSignals::interruptRequested, &application,
                     [&server] { server.Interrupt(); });
    if (!server.StartUp(QCoreApplication::arguments())) {
        server.ShutDown();
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
    tarsion::CTarsionApp app;
    // Dialogs close at once, the start-up's too; a load stops after the word in hand.
    QObject::connect(&termination, &tarsion::CTerminationSignals::interruptRequested, &app,
                     &tarsion::CTarsionApp::Interrupt);
    if (!app.StartUp(QApplication::arguments()))
        return app.ExitCode();
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
        std::cout << tarsion::ProgramVersion() << '\n';
        return 0;
    case Action::Refuse:
        std::cerr << "tarsion: " << options.error << '\n' << tarsion::ProgramUsage();
        return tarsion::kUsageExitCode;
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
    if (headless)
        return RunHeadless(argc, argv);
    return RunWindowed(argc, argv);
}
