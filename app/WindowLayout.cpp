#include "app/WindowLayout.h"

#include "app/AppSettings.h"

#include <QMainWindow>
#include <QSplitter>

namespace tarsion {

namespace {
const QString kGeometry = QStringLiteral("WindowGeometry");
const QString kDocks = QStringLiteral("WindowState");
const QString kSplitter = QStringLiteral("Splitter");
// A layout state is a few hundred bytes; anything far larger is not ours.
constexpr qsizetype kLargestState = 64 * 1024;
} // namespace

void CWindowLayout::Save(CAppSettings& settings, const QMainWindow& window, const QSplitter& splitter) {
    settings.WriteBytes(kGeometry, window.saveGeometry());
    settings.WriteBytes(kDocks, window.saveState());
    settings.WriteBytes(kSplitter, splitter.saveState());
}

bool CWindowLayout::Restore(CAppSettings& settings, QMainWindow& window, QSplitter& splitter) {
    const auto read = [&settings](const QString& key) {
        const QByteArray bytes = settings.ReadBytes(key);
        return bytes.size() <= kLargestState ? bytes : QByteArray();
    };
    // Qt takes a cut-short geometry in part and can leave a window too small to use: it must be as
    // long as the window's own.
    if (const QByteArray geometry = read(kGeometry); geometry.size() >= window.saveGeometry().size()) {
        const QRect before = window.geometry();
        const Qt::WindowStates state = window.windowState();
        const QSize least = window.minimumSizeHint();
        if (!window.restoreGeometry(geometry) || window.width() < least.width() ||
            window.height() < least.height()) {
            window.setWindowState(state);
            window.setGeometry(before);
        }
    }
    if (const QByteArray docks = read(kDocks); !docks.isEmpty())
        window.restoreState(docks);
    const QByteArray position = read(kSplitter);
    return !position.isEmpty() && splitter.restoreState(position);
}

} // namespace tarsion
