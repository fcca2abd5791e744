#include "HelpWindow.h"

namespace tarsion {

CHelpWindow::CHelpWindow(QWidget* parent) : QTextBrowser(parent) {
    setWindowFlag(Qt::Window);
    setWindowTitle(QStringLiteral("Tarsion Help"));
    setOpenExternalLinks(true);
    setSource(QUrl(QStringLiteral("qrc:/help/index.html")));
    resize(640, 560);
}

} // namespace tarsion
