#include "PageFactory.h"

#include <QLabel>

namespace tarsion {

QStringList RegisterPageTitles() { return {"NCO/Status", "FIFO/IO", "DataFlow", "PLLs", "Filter", "Board"}; }

// Until the register pages exist, each tab shows which page it stands for.
QWidget* CreateRegisterPage(int index, PageContext, QWidget* parent) {
    const QStringList titles = RegisterPageTitles();
    if (index < 0 || index >= titles.size())
        index = 0;
    auto* page = new QLabel(QStringLiteral("%1 page").arg(titles[index]), parent);
    page->setAlignment(Qt::AlignCenter);
    return page;
}

} // namespace tarsion
