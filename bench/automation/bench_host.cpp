// The program as started by the automation benchmark: the real start-up on the port TARSION_PORT
// names, with one register page shown, serving the bus until it is told to quit (SIGTERM).
// Usage: tarsion_bench_host [PAGE]   (tab index, 0..5; DataFlow, the largest page, is 2)

#include "app/MainFrame.h"
#include "app/TarsionApp.h"

#include <QApplication>

#include <clocale>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    const QStringList arguments = QApplication::arguments();
    const int page = arguments.size() > 1 ? arguments.at(1).toInt() : 2;
    tarsion::CTarsionApp app;
    if (!app.StartUp({arguments.constFirst()}))
        return app.ExitCode();
    app.MainWindow().ShowPage(page);
    // The benchmark ends the host with SIGTERM; the default action is enough: nothing is saved.
    return QApplication::exec();
}
