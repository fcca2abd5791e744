#pragma once

#include <QObject>
#include <QStringList>

namespace tarsion {

// The four most recently used files, newest first.
class CRecentFileList final : public QObject {
    Q_OBJECT
public:
    static constexpr int kEntries = 4;

    using QObject::QObject;

    const QStringList& Files() const { return files_; }
    void SetFiles(const QStringList& files);
    // Moves `path` to the top; the oldest entry drops out of a full list.
    void Add(const QString& path);

signals:
    void changed();

private:
    QStringList files_;
};

} // namespace tarsion
