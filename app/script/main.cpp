// tarsion-script FILE [ARGUMENTS...]: runs a JavaScript file that drives Tarsion through its
// automation object.

#include "ScriptRunner.h"
#include "ScriptSource.h"
#include "board/RegularFile.h"

#include <QApplication>
#include <QMessageBox>

#include <cstdio>
#include <memory>
#include <string>

namespace {

// Without a display (or on the offscreen platform) no window may be opened, not even to report.
bool HasDisplay() {
    const QString platform = qEnvironmentVariable("QT_QPA_PLATFORM");
    if (platform == QLatin1String("offscreen") || platform == QLatin1String("minimal"))
        return false;
    return qEnvironmentVariableIsSet("DISPLAY") || qEnvironmentVariableIsSet("WAYLAND_DISPLAY");
}

int Fail(const QString& text, bool hasDisplay) {
    std::fprintf(stderr, "%s\n", qPrintable(text));
    if (hasDisplay) {
        QMessageBox box(QMessageBox::Critical, QStringLiteral("tarsion-script"), text, QMessageBox::Ok);
        box.exec();
    }
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    const bool hasDisplay = HasDisplay();
    std::unique_ptr<QCoreApplication> app;
    if (hasDisplay)
        app = std::make_unique<QApplication>(argc, argv);
    else
        app = std::make_unique<QCoreApplication>(argc, argv);

    QStringList arguments = app->arguments();
    if (arguments.size() < 2)
        return Fail(QStringLiteral("usage: tarsion-script FILE [ARGUMENTS...]"), hasDisplay);
    arguments.removeFirst();
    const QString path = arguments.takeFirst();
    if (tarsion::IsVbScript(path))
        return Fail(
            QStringLiteral("%1: VBScript files can't be run; tarsion-script runs JavaScript (.js) files only")
                .arg(path),
            hasDisplay);
    // A regular file of sane size only: a FIFO would block and /dev/zero never end.
    std::string bytes;
    switch (tarsion::ReadRegularFile(path.toStdString(), tarsion::kScriptFileLimit, bytes)) {
    case tarsion::FileRead::Ok:
        break;
    case tarsion::FileRead::CannotOpen:
        return Fail(QStringLiteral("%1: can't open the file, or it is no regular file").arg(path),
                    hasDisplay);
    case tarsion::FileRead::TooLarge:
        return Fail(QStringLiteral("%1: the file is larger than %2 MB, too large for a script")
                        .arg(path)
                        .arg(tarsion::kScriptFileLimit >> 20),
                    hasDisplay);
    }

    tarsion::CScriptRunner runner(path, arguments, hasDisplay);
    QString error;
    const int status = runner.Run(bytes, error);
    if (!error.isEmpty())
        Fail(error, hasDisplay);
    return status;
}
