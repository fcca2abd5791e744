#pragma once

#include "pages/RegisterPage.h"

#include <QString>

#include <functional>
#include <map>
#include <optional>
#include <string>

class QLineEdit;

namespace tarsion {

class IUserPrompt;

// Chooses a file to open; `filter` in Qt's form, `defaultSuffix` added to a name typed without
// one. Empty when the user cancels. Tests put their own in place of the dialog.
// `kind` names the document's folder memory the dialog opens in and keeps (CTarsionDoc::lastFolders).
using OpenFileChooser =
    std::function<QString(const char* kind, const QString& filter, const QString& defaultSuffix)>;
OpenFileChooser FileOpenDialog(QWidget* parent, std::map<std::string, std::string>& folders);
// The folder a dialog of `kind` opens in: the last one of its kind, else the current directory.
QString StartFolder(const std::map<std::string, std::string>& folders, const char* kind);
// Keeps the folder of a file chosen in a dialog of `kind` (none when `kind` is empty).
void KeepFolder(std::map<std::string, std::string>& folders, const char* kind, const QString& file);

// A real number as "%.*g" at 15 significant digits, its leading digits in view.
void ShowReal(QLineEdit* edit, double value);
// The whole text as a finite real number, blanks around it allowed.
std::optional<double> ReadReal(const QString& text);
// The edit's number; otherwise "Please enter a number." and the edit takes the focus.
std::optional<double> CaptureReal(QLineEdit* edit, IUserPrompt& prompt);

// A control group of a page loaded from the document's load settings on each refresh.
class CDocumentField final : public CPageField {
public:
    explicit CDocumentField(std::function<void()> load) : load_(std::move(load)) {}
    void Load() override { load_(); }

private:
    std::function<void()> load_;
};

// A page whose controls are mostly inputs for its load buttons, some of them file names.
class CInputPage : public CRegisterPage {
    Q_OBJECT
public:
    void SetFileChooser(OpenFileChooser chooser) { chooseFile_ = std::move(chooser); }

protected:
    CInputPage(PageContext context, QWidget* parent);

    QString ChooseFile(const char* kind, const QString& filter, const QString& defaultSuffix) const {
        return chooseFile_(kind, filter, defaultSuffix);
    }
    // Loads the page from the document on each refresh, after the shadow-bound fields; the wheel
    // over a list scrolls the page rather than changing the list.
    void FinishPage(std::function<void()> showDocument);

private:
    OpenFileChooser chooseFile_;
};

} // namespace tarsion
