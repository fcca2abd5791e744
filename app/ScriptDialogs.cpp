#include "app/ScriptDialogs.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

namespace tarsion {

namespace {

QString ChooseFile(QWidget* parent, const QString& filter, QFileDialog::FileMode mode) {
    QFileDialog dialog(parent);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(mode);
    dialog.setDefaultSuffix(QStringLiteral("js"));
    dialog.setNameFilter(filter);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

} // namespace

QString CScriptDialogs::ChooseScript() {
    return ChooseFile(parent_, QStringLiteral("Script Files (*.js *.vbs);;All Files (*)"),
                      QFileDialog::ExistingFile);
}

QString CScriptDialogs::ChooseRecordingFile() {
    // The recording file need not exist yet.
    return ChooseFile(parent_, QStringLiteral("Java Script Files (*.js);;All Files (*)"),
                      QFileDialog::AnyFile);
}

bool CScriptDialogs::AskInstallScriptHost() {
    QDialog dialog(parent_);
    dialog.setWindowTitle(QStringLiteral("Install Windows Scripting Host ??"));
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(
        new QLabel(QStringLiteral("Windows Scripting Host isn't installed in your machine. \nIn order "
                                  "to run scripts, and config files, you need to install it."),
                   &dialog));
    layout->addWidget(new QLabel(QStringLiteral("Install  Windows Scripting Host ?"), &dialog));
    auto* buttons = new QDialogButtonBox(&dialog);
    buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(buttons);
    return dialog.exec() == QDialog::Accepted;
}

void CScriptDialogs::ShowMessage(const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Tarsion"), text, QMessageBox::Ok, parent_);
    box.exec();
}

} // namespace tarsion
