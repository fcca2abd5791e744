#include "LoadInputs.h"

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

QString FormatReal(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*g", 15, value);
    return QString::fromLatin1(text);
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
        edit->setFocus(Qt::OtherFocusReason);
        edit->selectAll();
    }
    return value;
}

void ScrollPageOverLists(QWidget* content, QObject* page) {
    for (QComboBox* list : content->findChildren<QComboBox*>()) {
        list->setFocusPolicy(Qt::StrongFocus);
        list->installEventFilter(page);
    }
}

} // namespace tarsion
