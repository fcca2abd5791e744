#include "app/MainFrame.h"
#include "app/TarsionApp.h"

#include <QApplication>

#include <clocale>

int main(int argc, char** argv) {
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
