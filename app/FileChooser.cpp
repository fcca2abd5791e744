#include "app/FileChooser.h"

#include <QDir>
#include <QFileDialog>

namespace tarsion {

QString CQtFileChooser::SaveFileName(const QString& filter, const QString& defaultSuffix) {
    QFileDialog dialog(parent_, QString(), QDir::currentPath(), filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.setDefaultSuffix(defaultSuffix);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

QString CQtFileChooser::OpenFileName(const QString& filter) {
    QFileDialog dialog(parent_, QString(), QDir::currentPath(), filter);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

} // namespace tarsion
