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
    if (!server.StartUp(QCoreApplication::arguments())) {
        server.ShutDown();
        return server.ExitCode();
    }
    termination.Arm([&server] { return server.Ops().IsBusy(); });
    QObject::connect(&termination, &tarsion::CTerminationSignals::terminationRequested, &application,
                     &QCoreApplication::quit);
    const int status = QCoreApplication::exec();
    server.ShutDown();
    return status;
}

int RunWindowed(int argc, char** argv) {
    QApplication application(argc, argv);
    KeepCNumbers();
    // The main window's close ends the run, whatever other windows (help) are open.
    QApplication::setQuitOnLastWindowClosed(false);
    tarsion::CTerminationSignals termination;
    tarsion::CTarsionApp app;
    if (!app.StartUp(QApplication::arguments()))
        return app.ExitCode();
    tarsion::CMainFrame& window = app.MainWindow();
    QObject::connect(&window, &tarsion::CMainFrame::closed, &application, &QApplication::quit);
    // A signal ends the program as File > Exit does.
    termination.Arm([&app] { return app.Ops().IsBusy(); });
    QObject::connect(&termination, &tarsion::CTerminationSignals::terminationRequested, &window,
                     &QWidget::close);
    const int status = QApplication::exec();
    app.ShutDown();
    return status;
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
