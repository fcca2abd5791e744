#include "pages/PageFactory.h"

#include "pages/BoardForm.h"
#include "pages/ChannelsForm.h"
#include "pages/ControlForm.h"
#include "pages/DlfForm.h"
#include "pages/FifoForm.h"
#include "pages/FilterForm.h"

namespace tarsion {

namespace {

template <class Page>
QWidget* Create(PageContext context, QWidget* parent) {
    auto* page = new Page(context, parent);
    page->Refresh();
    page->FollowOwnControls();
    return page;
}

} // namespace

QStringList RegisterPageTitles() {
    return {"NCO/Status", "FIFO/IO", "DataFlow", "PLLs", "Filter", "Board"};
}

QWidget* CreateRegisterPage(int index, PageContext context, QWidget* parent) {
    // Any other index gives the first page.
    switch (index) {
    case 1:
        return Create<CFifoForm>(context, parent);
    case 2:
        return Create<CChannelsForm>(context, parent);
    case 3:
        return Create<CDlfForm>(context, parent);
    case 4:
        return Create<CFilterForm>(context, parent);
    case 5:
        return Create<CBoardForm>(context, parent);
    default:
        return Create<CControlForm>(context, parent);
    }
}

} // namespace tarsion
