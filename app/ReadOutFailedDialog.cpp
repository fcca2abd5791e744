#include "app/ReadOutFailedDialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace tarsion {

CReadOutFailedDialog::CReadOutFailedDialog(QWidget* parent, const QString& cause) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Failed to do Initial ReadOut"));
    auto* text = new QLabel(QString::fromLatin1(kReadOutFailedText), this);
    text->setWordWrap(true);
    auto* causeText = new QLabel(QStringLiteral("Why: ") + cause, this);
    causeText->setObjectName(QStringLiteral("cause"));
    causeText->setWordWrap(true);
    causeText->setTextInteractionFlags(Qt::TextSelectableByMouse);
    causeText->setVisible(!cause.isEmpty());
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* retry = buttons->addButton(QStringLiteral("Retry"), QDialogButtonBox::AcceptRole);
    QPushButton* demo = buttons->addButton(QStringLiteral("Enter Demo Mode"), QDialogButtonBox::ActionRole);
    retry->setDefault(true);
    connect(retry, &QPushButton::clicked, this, [this] {
        choice_ = ReadOutChoice::Retry;
        accept();
    });
    connect(demo, &QPushButton::clicked, this, [this] {
        choice_ = ReadOutChoice::EnterDemoMode;
        accept();
    });
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text);
    layout->addWidget(causeText);
    layout->addWidget(buttons);
    setMinimumWidth(380);
}

ReadOutChoice CReadOutFailedDialog::Ask() {
    choice_ = ReadOutChoice::Retry;
    exec();
    return choice_;
}

void CReadOutFailedDialog::reject() {
    // Escape and the close box mean Retry.
    choice_ = ReadOutChoice::Retry;
    QDialog::reject();
}

} // namespace tarsion
