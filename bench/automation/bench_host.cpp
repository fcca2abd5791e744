// The program as started by the automation benchmarks: the real start-up on the port TARSION_PORT
// names, with one register page shown, serving the bus until it is ended (SIGTERM).
// Usage: tarsion_bench_host [PAGE]   (a tab index; DataFlow, the largest page, is 2)
// After every load that showed a progress dialog it writes to standard error how long the dialog
// showed and how often the dialog and the main window were painted meanwhile.

#include "app/MainFrame.h"
#include "app/TarsionApp.h"
#include "support/PrivateUserFolders.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QProgressDialog>

#include <clocale>
#include <cstdio>

namespace {

class PaintCounter final : public QObject {
public:
    explicit PaintCounter(QWidget& mainWindow) : mainWindow_(mainWindow) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* widget = qobject_cast<QWidget*>(watched);
        if (!widget)
            return false;
        if (event->type() == QEvent::Show && qobject_cast<QProgressDialog*>(widget)) {
            dialog_ = widget;
            shown_.start();
            dialogPaints_ = windowPaints_ = 0;
            connect(widget, &QObject::destroyed, this, &PaintCounter::Report);
        } else if (event->type() == QEvent::UpdateRequest && shown_.isValid()) {
            // One paint pass of a window and its children.
            if (widget == dialog_)
                ++dialogPaints_;
            else if (widget == &mainWindow_)
                ++windowPaints_;
        }
        return false;
    }

private:
    void Report() {
        const double seconds = static_cast<double>(shown_.elapsed()) / 1000.0;
        std::fprintf(stderr,
                     "progress dialog shown %.1f s: dialog painted %d times (%.1f/s), main window %d times "
                     "(%.1f/s)\n",
                     seconds, dialogPaints_, dialogPaints_ / seconds, windowPaints_, windowPaints_ / seconds);
        shown_.invalidate();
        dialog_ = nullptr;
    }

    QWidget& mainWindow_;
    const QWidget* dialog_ = nullptr;
    QElapsedTimer shown_;
    int dialogPaints_ = 0;
    int windowPaints_ = 0;
};

} // namespace

int main(int argc, char** argv) {
    // Started by hand it must not point the user's D-Bus activation file at itself: settings and
    // the activation file go to a scratch folder.
    tarsion::test::UsePrivateUserFolders();
    QApplication application(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    const QStringList arguments = QApplication::arguments();
    const int page = arguments.size() > 1 ? arguments.at(1).toInt() : 2;
    tarsion::CTarsionApp app;
    if (!app.StartUp({arguments.constFirst()}))
        return app.ExitCode();
    app.MainWindow().ShowPage(page);
    PaintCounter counter(app.MainWindow());
    application.installEventFilter(&counter);
    // The benchmark ends the host with SIGTERM; the default action is enough: nothing is saved.
    return QApplication::exec();
}
