// The widget benchmarks share one application, made before the first and destroyed after the last:
// Qt does not support a QApplication torn down by the exit handlers.
#include "CheckedBenchmarks.h"
#include "support/PrivateUserFolders.h"

#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // The start-up benchmark runs the standard start-up: settings, the activation file and every
    // other user file go to a scratch folder.
    tarsion::test::UsePrivateUserFolders();
    QApplication application(argc, argv);
    QTemporaryDir settingsDir;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir.path());
    return tarsion::bench::RunCheckedBenchmarks(argc, argv);
}
