// tarsion-script FILE [ARGUMENTS...]: runs a JavaScript file that drives Tarsion through its
// automation object.

#include "ScriptRunner.h"
#include "ScriptSource.h"

#include <QApplication>
#include <QFile>
#include <QMessageBox>

#include <cstdio>
#include <memory>

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
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Fail(QStringLiteral("%1: %2").arg(path, file.errorString()), hasDisplay);

    tarsion::CScriptRunner runner(path, arguments, hasDisplay);
    QString error;
    const int status = runner.Run(tarsion::DecodeScript(file.readAll()), error);
    if (!error.isEmpty())
        Fail(error, hasDisplay);
    return status;
}
