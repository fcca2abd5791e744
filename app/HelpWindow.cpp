#include "app/HelpWindow.h"

#include <QShortcut>

namespace tarsion {

CHelpWindow::CHelpWindow(QWidget* parent) : QTextBrowser(parent) {
    setWindowFlag(Qt::Window);
    setWindowTitle(QStringLiteral("Tarsion Help"));
    setOpenExternalLinks(true);
    setSource(QUrl(QStringLiteral("qrc:/help/index.html")));
    resize(640, 560);
    for (const QKeySequence& keys : {QKeySequence(Qt::Key_Escape), QKeySequence(Qt::CTRL | Qt::Key_W)}) {
        auto* shortcut = new QShortcut(keys, this, this, &QWidget::close);
        shortcut->setContext(Qt::WindowShortcut);
    }
}

} // namespace tarsion
