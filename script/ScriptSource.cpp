#include "script/ScriptSource.h"

#include <QFileInfo>

namespace tarsion {

bool IsVbScript(const QString& path) {
    return QFileInfo(path).suffix().compare(QLatin1String("vbs"), Qt::CaseInsensitive) == 0;
}

} // namespace tarsion
