#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>

#include <map>
#include <string>

class QFileDialog;

namespace tarsion {

// The file dialogs of the main window: save for the dumps and Save Configuration, open for Open.
// Tests answer them directly. `kind` names the folder memory the dialog uses (see
// CTarsionDoc::lastFolders); empty for none.
class IFileChooser {
public:
    virtual ~IFileChooser() = default;
    // `filter` in Qt's form ("Name (*.ext);;All Files (*)"); `defaultSuffix` is added to a name
    // without extension. No overwrite prompt. Empty when the user cancels.
    virtual QString SaveFileName(const QString& filter, const QString& defaultSuffix, const char* kind) = 0;
    // An existing file; empty when the user cancels.
    virtual QString OpenFileName(const QString& filter, const char* kind) = 0;
};

class CQtFileChooser final : public IFileChooser {
public:
    void SetParent(QWidget* parent) { parent_ = parent; }
    void SetFolders(std::map<std::string, std::string>* folders) { folders_ = folders; }
    QString SaveFileName(const QString& filter, const QString& defaultSuffix, const char* kind) override;
    QString OpenFileName(const QString& filter, const char* kind) override;

private:
    QString Run(QFileDialog& dialog, const char* kind);

    QPointer<QWidget> parent_;
    std::map<std::string, std::string>* folders_ = nullptr;
};

} // namespace tarsion
