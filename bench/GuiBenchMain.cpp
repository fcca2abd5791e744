// The widget benchmarks share one application, made before the first and destroyed after the last:
// Qt does not support a QApplication torn down by the exit handlers.
#include "CheckedBenchmarks.h"

#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    // Settings the benchmarks write go to a scratch folder.
    QTemporaryDir settingsDir;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir.path());
    return tarsion::bench::RunCheckedBenchmarks(argc, argv);
}
