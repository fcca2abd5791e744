#include "pages/LoadInputs.h"

#include "ops/UserPrompt.h"

#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QPointer>

#include <cmath>
#include <cstdio>

namespace tarsion {

OpenFileChooser FileOpenDialog(QWidget* parent) {
    return [owner = QPointer<QWidget>(parent)](const QString& filter, const QString& defaultSuffix) {
        QFileDialog dialog(owner, QString(), QString(), filter);
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFile);
        dialog.setDefaultSuffix(defaultSuffix);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return QString();
        return dialog.selectedFiles().constFirst();
    };
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
    : CRegisterPage(context, parent), chooseFile_(FileOpenDialog(this)) {}

void CInputPage::FinishPage(std::function<void()> showDocument) {
    for (QComboBox* list : Content()->findChildren<QComboBox*>()) {
        list->setFocusPolicy(Qt::StrongFocus);
        list->installEventFilter(this);
    }
    AddField(std::make_unique<CDocumentField>(std::move(showDocument)));
}

} // namespace tarsion
