#include "app/MainFrame.h"
#include "app/TarsionApp.h"
#include "board/PortDiscovery.h"

#include <QApplication>

#include <clocale>
#include <iostream>
#include <string_view>

int main(int argc, char** argv) {
    // Port discovery needs neither a display nor a session bus.
    if (argc == 2 && std::string_view(argv[1]) == "--list-ports")
        return tarsion::ListParallelPorts(std::cout);
    QApplication application(argc, argv);
    // Qt adopts the user's locale; numbers in log lines, scripts and files keep the C notation.
    std::setlocale(LC_NUMERIC, "C");
    // The main window's close ends the run, whatever other windows (help) are open.
    QApplication::setQuitOnLastWindowClosed(false);
    tarsion::CTarsionApp app;
    if (!app.StartUp(QApplication::arguments()))
        return app.ExitCode();
    QObject::connect(&app.MainWindow(), &tarsion::CMainFrame::closed, &application, &QApplication::quit);
    const int status = QApplication::exec();
    app.ShutDown();
    return status;
}
