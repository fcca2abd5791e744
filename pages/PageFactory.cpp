#include "PageFactory.h"

#include "BoardForm.h"
#include "FifoForm.h"
#include "FilterForm.h"

#include <QLabel>

namespace tarsion {

namespace {

// Pages not written yet: their tabs show which page they stand for.
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
    case 4:
        return Create<CFilterForm>(context, parent);
    case 5:
        return Create<CBoardForm>(context, parent);
    default:
        return Placeholder(titles[index], parent);
    }
}

} // namespace tarsion
