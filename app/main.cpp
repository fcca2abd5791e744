#include "app/MainFrame.h"
#include "app/TarsionApp.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
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
