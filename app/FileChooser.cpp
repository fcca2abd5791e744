#include "app/FileChooser.h"

#include "pages/LoadInputs.h"

#include <QDir>
#include <QFileDialog>

namespace tarsion {

QString CQtFileChooser::Run(QFileDialog& dialog, const char* kind) {
    if (folders_)
        dialog.setDirectory(StartFolder(*folders_, kind));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    const QString file = dialog.selectedFiles().constFirst();
    if (folders_)
        KeepFolder(*folders_, kind, file);
    return file;
}

QString CQtFileChooser::SaveFileName(const QString& filter, const QString& defaultSuffix, const char* kind) {
    QFileDialog dialog(parent_, QString(), QDir::currentPath(), filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.setDefaultSuffix(defaultSuffix);
    return Run(dialog, kind);
}

QString CQtFileChooser::OpenFileName(const QString& filter, const char* kind) {
    QFileDialog dialog(parent_, QString(), QDir::currentPath(), filter);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    return Run(dialog, kind);
}

} // namespace tarsion
