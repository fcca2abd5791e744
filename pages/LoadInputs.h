#pragma once

#include "PageFields.h"

#include <QString>

#include <functional>
#include <optional>

class QLineEdit;
class QObject;
class QWidget;

namespace tarsion {

class IUserPrompt;

// Chooses a file to open; `filter` in Qt's form, `defaultSuffix` added to a name typed without
// one. Empty when the user cancels. Tests put their own in place of the dialog.
using OpenFileChooser = std::function<QString(const QString& filter, const QString& defaultSuffix)>;
OpenFileChooser FileOpenDialog(QWidget* parent);

// The pages' real-number inputs are shown with "%.*g" at 15 significant digits.
QString FormatReal(double value);
// The whole text as a finite real number, blanks around it allowed.
std::optional<double> ReadReal(const QString& text);
// The edit's number; otherwise "Please enter a number." and the edit takes the focus.
std::optional<double> CaptureReal(QLineEdit* edit, IUserPrompt& prompt);

// Lists under `content` take no wheel events: they go to `page`'s filter, which scrolls the page.
void ScrollPageOverLists(QWidget* content, QObject* page);

// A control group of a page loaded from the document's load settings on each refresh.
class CDocumentField final : public CPageField {
public:
    explicit CDocumentField(std::function<void()> load) : load_(std::move(load)) {}
    void Load() override { load_(); }

private:
    std::function<void()> load_;
};

} // namespace tarsion
