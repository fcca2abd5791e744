#include "QtUserPrompt.h"

#include <QMainWindow>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>

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

void CQtUserPrompt::ReportProgress(std::string_view task, std::size_t done, std::size_t total) {
    if (!window_ || total == 0)
        return;
    QStatusBar* bar = window_->statusBar();
    if (done >= total) {
        shownPercent_ = -1;
        bar->clearMessage();
        bar->repaint();
        return;
    }
    // Repainting costs far more than a board cycle: show whole percents only.
    const int percent = static_cast<int>(done * 100 / total);
    if (percent == shownPercent_)
        return;
    shownPercent_ = percent;
    bar->showMessage(QStringLiteral("%1: %2%").arg(FromStd(task)).arg(percent));
    // Paint now without running the event loop: no user input may reach a half-done load.
    bar->repaint();
}

} // namespace tarsion
