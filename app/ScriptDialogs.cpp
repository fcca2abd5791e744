#include "app/ScriptDialogs.h"

#include "pages/LoadInputs.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

namespace tarsion {

namespace {
constexpr const char* kScripts = "scripts";
} // namespace

QString CScriptDialogs::ChooseFile(const QString& title, const QString& filter, bool mustExist) {
    QFileDialog dialog(parent_, title);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(mustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    dialog.setDefaultSuffix(QStringLiteral("js"));
    dialog.setNameFilter(filter);
    dialog.setDirectory(StartFolder(folders_, kScripts));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    const QString file = dialog.selectedFiles().constFirst();
    KeepFolder(folders_, kScripts, file);
    return file;
}

QString CScriptDialogs::ChooseScript() {
    return ChooseFile(QString(), QStringLiteral("Script Files (*.js *.vbs);;All Files (*)"), true);
}

QString CScriptDialogs::ChooseRecordingFile() {
    // The recording file need not exist yet.
    return ChooseFile(QStringLiteral("Start Recording"),
                      QStringLiteral("Java Script Files (*.js);;All Files (*)"), false);
}

bool CScriptDialogs::ConfirmReplace(const QString& path) {
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Start Recording"),
                    QStringLiteral("%1 already exists.\nReplace it with the new recording?").arg(path),
                    QMessageBox::Yes | QMessageBox::No, parent_);
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
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
