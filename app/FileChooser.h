#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>

namespace tarsion {

// The save-file dialog of the dumps and of Save Configuration; tests answer it directly.
class IFileChooser {
public:
    virtual ~IFileChooser() = default;
    // `filter` in Qt's form ("Name (*.ext);;All Files (*)"); `defaultSuffix` is added to a name
    // without extension. No overwrite prompt. Empty when the user cancels.
    virtual QString SaveFileName(const QString& filter, const QString& defaultSuffix) = 0;
};

class CQtFileChooser final : public IFileChooser {
public:
    void SetParent(QWidget* parent) { parent_ = parent; }
    QString SaveFileName(const QString& filter, const QString& defaultSuffix) override;

private:
    QPointer<QWidget> parent_;
};

} // namespace tarsion
