#pragma once

#include <QStringList>
#include <QWidget>

namespace tarsion {

class CBoardOperations;
class CTarsionDoc;

// What a register page works with: the document (shadow and settings) and the operation layer.
struct PageContext {
    CTarsionDoc& doc;
    CBoardOperations& ops;
};

// Tab texts in tab order: "NCO/Status", "FIFO/IO", "DataFlow", "PLLs", "Filter", "Board".
QStringList RegisterPageTitles();

// Creates the page of a tab; any index outside 0..5 gives page 0. The page subscribes to the
// document while it exists and fills itself from it at once (its initial update).
QWidget* CreateRegisterPage(int index, PageContext context, QWidget* parent);

} // namespace tarsion
