#include "PageFactory.h"

#include "FifoForm.h"

#include <QLabel>

namespace tarsion {

namespace {

// The Filter and Board pages are not written yet: their tabs show which page they stand for.
QWidget* Placeholder(const QString& title, QWidget* parent) {
    auto* page = new QLabel(QStringLiteral("%1 page").arg(title), parent);
    page->setAlignment(Qt::AlignCenter);
    return page;
}

template <class Page>
QWidget* Create(PageContext context, QWidget* parent) {
    auto* page = new Page(context, parent);
    page->Refresh();
    return page;
}

} // namespace

QStringList RegisterPageTitles() {
    return {"NCO/Status", "FIFO/IO", "DataFlow", "PLLs", "Filter", "Board"};
}

QWidget* CreateRegisterPage(int index, PageContext context, QWidget* parent) {
    const QStringList titles = RegisterPageTitles();
    if (index < 0 || index >= titles.size())
        index = 0;
    switch (index) {
    case 1:
        return Create<CFifoForm>(context, parent);
    default:
        return Placeholder(titles[index], parent);
    }
}

} // namespace tarsion
