#include "app/HeadlessServer.h"
#include "app/MainFrame.h"
#include "app/RunMode.h"
#include "app/TarsionApp.h"
#include "app/TerminationSignals.h"
#include "board/PortDiscovery.h"
#include "ops/BoardOperations.h"

#include <QApplication>
#include <QCoreApplication>

#include <clocale>
#include <csignal>
#include <iostream>
#include <string_view>

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
    // Port discovery needs neither a display nor a session bus.
    if (argc == 2 && std::string_view(argv[1]) == "--list-ports")
        return tarsion::ListParallelPorts(std::cout);
    if (tarsion::RunsHeadless(argc, argv))
        return RunHeadless(argc, argv);
    return RunWindowed(argc, argv);
}
