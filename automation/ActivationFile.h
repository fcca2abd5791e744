#pragma once

#include <QString>
#include <QStringList>

namespace tarsion {

// $XDG_DATA_HOME/dbus-1/services/com.tessaric.Tarsion.service (XDG_DATA_HOME defaults to
// ~/.local/share).
QString ActivationFilePath();

// The D-Bus service file that starts `executable --automation` when a script asks for the
// automation object while no program runs; a comment names the version that wrote it. False with
// the reason in `error` when it can't be written; the old file is then kept.
bool WriteActivationFile(const QString& path, const QString& executable, QString& error);

// The installed activation files: dbus-1/services/com.tessaric.Tarsion.service in each folder of
// XDG_DATA_DIRS (default /usr/local/share:/usr/share).
QStringList SystemActivationFiles();

// What keeping the per-user activation file up to date found.
struct ActivationContext {
    QString userFile;
    // The running program and its version.
    QString executable;
    QString version;
    // Installed activation files (SystemActivationFiles()).
    QStringList systemFiles;
};

// The per-user file points at an installed program or at the running one, and a newer program's
// file is never replaced: an installed program writes none (the installed file starts it) and
// removes a per-user file whose program is gone; any other program writes its own unless the file
// starts a newer version. `note` says what was left alone or removed (empty otherwise). False with
// the reason in `error` when a write failed.
bool UpdateActivationFile(const ActivationContext& context, QString& note, QString& error);

} // namespace tarsion
