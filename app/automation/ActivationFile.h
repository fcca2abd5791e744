#pragma once

#include <QString>

namespace tarsion {

// $XDG_DATA_HOME/dbus-1/services/com.tessaric.Tarsion.service (XDG_DATA_HOME defaults to
// ~/.local/share).
QString ActivationFilePath();

// The D-Bus service file that starts `executable --automation` when a script asks for the
// automation object while no program runs. False with the reason in `error` when it can't be written.
bool WriteActivationFile(const QString& path, const QString& executable, QString& error);

} // namespace tarsion
