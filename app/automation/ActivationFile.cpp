#include "ActivationFile.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

namespace tarsion {

namespace {

// The bus daemon splits Exec= like a shell; quote a path that holds blanks or quotes.
QString ExecArgument(const QString& executable) {
    static const QString kSpecial = QStringLiteral(" \t'\"\\$`");
    for (const QChar c : executable) {
        if (kSpecial.contains(c)) {
            QString quoted = executable;
            quoted.replace(QLatin1Char('\''), QStringLiteral("'\\''"));
            return QLatin1Char('\'') + quoted + QLatin1Char('\'');
        }
    }
    return executable;
}

} // namespace

QString ActivationFilePath() {
    QString dataHome = qEnvironmentVariable("XDG_DATA_HOME");
    if (dataHome.isEmpty() || !QDir::isAbsolutePath(dataHome))
        dataHome = QDir::homePath() + QStringLiteral("/.local/share");
    return dataHome + QStringLiteral("/dbus-1/services/com.tessaric.Tarsion.service");
}

bool WriteActivationFile(const QString& path, const QString& executable, QString& error) {
    if (!QDir().mkpath(QFileInfo(path).absolutePath())) {
        error = QStringLiteral("can't create the folder of %1").arg(path);
        return false;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text)) {
        error = file.errorString();
        return false;
    }
    const QString text = QStringLiteral("[D-BUS Service]\nName=com.tessaric.Tarsion\nExec=%1 --automation\n")
                             .arg(ExecArgument(executable));
    file.write(text.toUtf8());
    if (!file.commit()) {
        error = file.errorString();
        return false;
    }
    return true;
}

} // namespace tarsion
