#pragma once

#include "ops/PatternImport.h"

#include <QStringList>
#include <QWidget>

#include <functional>
#include <optional>

namespace tarsion {

class CBoardOperations;
class CTarsionDoc;

// Shows the preview of an import and gives back what the user confirmed, with the scaling chosen;
// nothing when the user cancels. Without one, nothing is imported.
using ImportReviewer = std::function<std::optional<ImportPreview>(ImportPreview preview)>;

// What a register page works with: the document (shadow and settings), the operation layer, and
// the preview of imported patterns (the application's dialog).
struct PageContext {
    CTarsionDoc& doc;
    CBoardOperations& ops;
    ImportReviewer reviewImport = {};
};

// Tab texts in tab order: "NCO/Status", "FIFO/IO", "DataFlow", "PLLs", "Filter", "Board".
QStringList RegisterPageTitles();

// Creates the page of a tab; any index outside 0..5 gives page 0. The page subscribes to the
// document while it exists and fills itself from it at once (its initial update).
QWidget* CreateRegisterPage(int index, PageContext context, QWidget* parent);

} // namespace tarsion
