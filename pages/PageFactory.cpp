#include "PageFactory.h"

#include "BoardForm.h"
#include "ChannelsForm.h"
#include "ControlForm.h"
#include "DlfForm.h"
#include "FifoForm.h"
#include "FilterForm.h"

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
