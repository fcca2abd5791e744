#include "app/QtUserPrompt.h"

#include <QMainWindow>
#include <QMessageBox>
#include <QPushButton>

namespace tarsion {

namespace {
QString FromStd(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}
} // namespace

void ShowTarsionMessage(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Tarsion"), text, QMessageBox::Ok, parent);
    box.exec();
}

void CQtUserPrompt::ShowMessage(std::string_view text) {
    ShowTarsionMessage(window_, FromStd(text));
}

bool CQtUserPrompt::AskYesNo(std::string_view title, std::string_view text) {
    QMessageBox box(QMessageBox::NoIcon, FromStd(title), FromStd(text), QMessageBox::NoButton, window_);
    QPushButton* yes = box.addButton(QStringLiteral("YES"), QMessageBox::YesRole);
    QPushButton* no = box.addButton(QStringLiteral("NO"), QMessageBox::NoRole);
    box.setDefaultButton(yes);
    box.setEscapeButton(no);
    box.exec();
    return box.clickedButton() == yes;
}

} // namespace tarsion
