#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>

namespace tarsion {

// The file dialogs of the main window: save for the dumps and Save Configuration, open for Open.
// Tests answer them directly.
class IFileChooser {
public:
    virtual ~IFileChooser() = default;
    // `filter` in Qt's form ("Name (*.ext);;All Files (*)"); `defaultSuffix` is added to a name
    // without extension. No overwrite prompt. Empty when the user cancels.
    virtual QString SaveFileName(const QString& filter, const QString& defaultSuffix) = 0;
    // An existing file; empty when the user cancels.
    virtual QString OpenFileName(const QString& filter) = 0;
};

class CQtFileChooser final : public IFileChooser {
public:
    void SetParent(QWidget* parent) { parent_ = parent; }
    QString SaveFileName(const QString& filter, const QString& defaultSuffix) override;
    QString OpenFileName(const QString& filter) override;

private:
    QPointer<QWidget> parent_;
};

} // namespace tarsion
