#include "pages/LoadInputs.h"

#include "ops/UserPrompt.h"

#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QPointer>

#include <cmath>
#include <cstdio>

namespace tarsion {

OpenFileChooser FileOpenDialog(QWidget* parent, std::map<std::string, std::string>& folders) {
    return [owner = QPointer<QWidget>(parent), &folders](const char* kind, const QString& filter,
                                                         const QString& defaultSuffix) {
        QFileDialog dialog(owner, QString(), QString(), filter);
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFile);
        dialog.setDefaultSuffix(defaultSuffix);
        dialog.setDirectory(StartFolder(folders, kind));
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return QString();
        const QString file = dialog.selectedFiles().constFirst();
        KeepFolder(folders, kind, file);
        return file;
    };
}

QString StartFolder(const std::map<std::string, std::string>& folders, const char* kind) {
    const auto found = kind ? folders.find(kind) : folders.end();
    if (found != folders.end() && QFileInfo(QString::fromStdString(found->second)).isDir())
        return QString::fromStdString(found->second);
    return QDir::currentPath();
}

void KeepFolder(std::map<std::string, std::string>& folders, const char* kind, const QString& file) {
    if (kind && *kind && !file.isEmpty())
        folders[kind] = QFileInfo(file).absolutePath().toStdString();
}

void ShowReal(QLineEdit* edit, double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*g", 15, value);
    edit->setText(QString::fromLatin1(text));
    edit->setCursorPosition(0);
}

std::optional<double> ReadReal(const QString& text) {
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<double> CaptureReal(QLineEdit* edit, IUserPrompt& prompt) {
    const auto value = ReadReal(edit->text());
    if (!value) {
        prompt.ShowMessage("Please enter a number.");
        SelectForCorrection(edit);
    }
    return value;
}

CInputPage::CInputPage(PageContext context, QWidget* parent)
    : CRegisterPage(context, parent), chooseFile_(FileOpenDialog(this, context.doc.lastFolders)) {}

void CInputPage::FinishPage(std::function<void()> showDocument) {
    for (QComboBox* list : Content()->findChildren<QComboBox*>()) {
        list->setFocusPolicy(Qt::StrongFocus);
        list->installEventFilter(this);
    }
    AddField(std::make_unique<CDocumentField>(std::move(showDocument)));
}

} // namespace tarsion
