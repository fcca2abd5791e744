#include "app/HelpWindow.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QShortcut>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace tarsion {

CHelpWindow::CHelpWindow(QWidget* parent) : QWidget(parent) {
    setWindowFlag(Qt::Window);
    setWindowTitle(QStringLiteral("Tarsion Help"));
    browser_ = new QTextBrowser(this);
    browser_->setOpenExternalLinks(true);
    browser_->setSource(QUrl(QStringLiteral("qrc:/help/index.html")));

    findBar_ = new QWidget(this);
    auto* bar = new QHBoxLayout(findBar_);
    bar->setContentsMargins(4, 2, 4, 2);
    auto* label = new QLabel(QStringLiteral("&Find:"), findBar_);
    findText_ = new QLineEdit(findBar_);
    findText_->setObjectName(QStringLiteral("helpFind"));
    label->setBuddy(findText_);
    findState_ = new QLabel(findBar_);
    bar->addWidget(label);
    bar->addWidget(findText_, 1);
    bar->addWidget(findState_);
    findBar_->hide();
    connect(findText_, &QLineEdit::returnPressed, this, [this] { FindNext(); });

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(browser_, 1);
    layout->addWidget(findBar_);
    resize(640, 560);

    const auto add = [this](const QKeySequence& keys, auto slot) {
        auto* shortcut = new QShortcut(keys, this);
        shortcut->setContext(Qt::WindowShortcut);
        connect(shortcut, &QShortcut::activated, this, slot);
    };
    add(QKeySequence::Find, [this] { OpenFindBar(); });
    add(QKeySequence(Qt::Key_F3), [this] { FindNext(); });
    add(QKeySequence(Qt::SHIFT | Qt::Key_F3), [this] { FindNext(true); });
    add(QKeySequence(Qt::Key_Escape), [this] { Escape(); });
    add(QKeySequence(Qt::CTRL | Qt::Key_W), [this] { close(); });
}

void CHelpWindow::OpenFindBar() {
    findBar_->show();
    findText_->setFocus(Qt::ShortcutFocusReason);
    findText_->selectAll();
}

bool CHelpWindow::FindNext(bool backward) {
    if (findText_->text().isEmpty()) {
        OpenFindBar();
        return false;
    }
    const QTextDocument::FindFlags flags =
        backward ? QTextDocument::FindBackward : QTextDocument::FindFlags();
    bool found = browser_->find(findText_->text(), flags);
    if (!found) {
        // Once around from the other end.
        QTextCursor cursor = browser_->textCursor();
        cursor.movePosition(backward ? QTextCursor::End : QTextCursor::Start);
        browser_->setTextCursor(cursor);
        found = browser_->find(findText_->text(), flags);
    }
    findState_->setText(found ? QString() : QStringLiteral("Not found"));
    return found;
}

void CHelpWindow::Escape() {
    if (findBar_->isVisible()) {
        findBar_->hide();
        browser_->setFocus();
        return;
    }
    close();
}

} // namespace tarsion
