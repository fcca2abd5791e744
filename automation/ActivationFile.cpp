#include "automation/ActivationFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QVersionNumber>

namespace tarsion {

namespace {
const QString kServiceFile = QStringLiteral("dbus-1/services/com.tessaric.Tarsion.service");
const QString kVersionComment = QStringLiteral("# tarsion ");
// Far above any service file.
constexpr qint64 kServiceFileLimit = 64 * 1024;

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

// The program of an Exec= line, as ExecArgument writes it; the version of the comment line.
struct ServiceFile {
    bool exists = false;
    QString program;
    QString version;
};

QString FirstExecWord(const QString& line) {
    if (!line.startsWith(QLatin1Char('\'')))
        return line.section(QLatin1Char(' '), 0, 0);
    QString word;
    for (qsizetype i = 1; i < line.size(); ++i) {
        if (line.at(i) != QLatin1Char('\'')) {
            word += line.at(i);
        } else if (line.mid(i, 4) == QStringLiteral("'\\''")) {
            word += QLatin1Char('\'');
            i += 3;
        } else {
            break;
        }
    }
    return word;
}

ServiceFile ReadServiceFile(const QString& path) {
    ServiceFile service;
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly))
        return service;
    service.exists = true;
    for (const QString& line : QString::fromUtf8(file.read(kServiceFileLimit)).split(QLatin1Char('\n'))) {
        if (line.startsWith(QStringLiteral("Exec=")))
            service.program = FirstExecWord(line.mid(5).trimmed());
        else if (line.startsWith(kVersionComment))
            service.version = line.mid(kVersionComment.size()).trimmed();
    }
    return service;
}

bool SameProgram(const QString& a, const QString& b) {
    const QString canonicalA = QFileInfo(a).canonicalFilePath();
    return !canonicalA.isEmpty() && canonicalA == QFileInfo(b).canonicalFilePath();
}

bool Runnable(const QString& program) {
    const QFileInfo info(program);
    return info.isFile() && info.isExecutable();
}
} // namespace

QString ActivationFilePath() {
    QString dataHome = qEnvironmentVariable("XDG_DATA_HOME");
    if (dataHome.isEmpty() || !QDir::isAbsolutePath(dataHome))
        dataHome = QDir::homePath() + QStringLiteral("/.local/share");
    return dataHome + QLatin1Char('/') + kServiceFile;
}

QStringList SystemActivationFiles() {
    QString dirs = qEnvironmentVariable("XDG_DATA_DIRS");
    if (dirs.isEmpty())
        dirs = QStringLiteral("/usr/local/share:/usr/share");
    QStringList files;
    for (const QString& dir : dirs.split(QLatin1Char(':'), Qt::SkipEmptyParts)) {
        if (QDir::isAbsolutePath(dir) && QFileInfo(dir + QLatin1Char('/') + kServiceFile).isFile())
            files << dir + QLatin1Char('/') + kServiceFile;
    }
    return files;
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
    const QByteArray text =
        QStringLiteral("[D-BUS Service]\nName=com.tessaric.Tarsion\nExec=%1 --automation\n%2%3\n")
            .arg(ExecArgument(executable), kVersionComment, QStringLiteral(TARSION_VERSION))
            .toUtf8();
    // A full disk must not leave an empty file that scripts can't start the program with.
    if (file.write(text) != text.size() || !file.flush()) {
        error = file.errorString();
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        error = file.errorString();
        return false;
    }
    return true;
}

bool UpdateActivationFile(const ActivationContext& context, QString& note, QString& error) {
    note.clear();
    const ServiceFile current = ReadServiceFile(context.userFile);
    bool installed = false;
    for (const QString& systemFile : context.systemFiles) {
        const ServiceFile system = ReadServiceFile(systemFile);
        installed =
            installed || (Runnable(system.program) && SameProgram(system.program, context.executable));
    }
    if (installed) {
        // A per-user file would hide the installed one; one that starts nothing goes.
        if (current.exists && !Runnable(current.program)) {
            if (!QFile::remove(context.userFile)) {
                error = QStringLiteral("can't remove %1, which starts a program that is gone")
                            .arg(context.userFile);
                return false;
            }
            note = QStringLiteral("removed %1: it started %2, which is gone")
                       .arg(context.userFile, current.program);
        }
        return true;
    }
    if (current.exists && SameProgram(current.program, context.executable) &&
        current.version == context.version)
        return true;
    if (current.exists && Runnable(current.program) && !SameProgram(current.program, context.executable) &&
        QVersionNumber::fromString(current.version) > QVersionNumber::fromString(context.version)) {
        note = QStringLiteral("left %1 as it is: it starts the newer tarsion %2 (%3)")
                   .arg(context.userFile, current.version, current.program);
        return true;
    }
    return WriteActivationFile(context.userFile, context.executable, error);
}

} // namespace tarsion
