#pragma once

#include <QString>

namespace tarsion {

// True when the file is a VBScript (".vbs", any case), which this host can't run.
bool IsVbScript(const QString& path);

} // namespace tarsion
