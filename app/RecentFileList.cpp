#include "app/RecentFileList.h"

namespace tarsion {

void CRecentFileList::SetFiles(const QStringList& files) {
    files_ = files.mid(0, kEntries);
    emit changed();
}

void CRecentFileList::Add(const QString& path) {
    files_.removeAll(path);
    files_.prepend(path);
    if (files_.size() > kEntries)
        files_.resize(kEntries);
    emit changed();
}

} // namespace tarsion
