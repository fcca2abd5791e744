#include "app/QtUserPrompt.h"
#include "app/ReadOutFailedDialog.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>

namespace tarsion {
namespace {

// Acts on the modal dialog once it is open.
void WhenModal(std::function<void(QWidget*)> act) {
    QTimer::singleShot(0, [act = std::move(act)] {
        QWidget* dialog = QApplication::activeModalWidget();
        ASSERT_NE(dialog, nullptr);
        act(dialog);
    });
}

QPushButton* ButtonNamed(QWidget* dialog, const QString& text) {
    for (QPushButton* button : dialog->findChildren<QPushButton*>())
        if (button->text() == text)
            return button;
    return nullptr;
}

TEST(ReadOutDialogTest, RetryIsTheDefaultAndTheAnswerToEscape) {
    CReadOutFailedDialog dialog;
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Failed to do Initial ReadOut"));
    WhenModal([](QWidget* open) { QTest::keyClick(open, Qt::Key_Escape); });
    EXPECT_EQ(dialog.Ask(), ReadOutChoice::Retry);
    WhenModal([](QWidget* open) { QTest::keyClick(open, Qt::Key_Return); });
    EXPECT_EQ(dialog.Ask(), ReadOutChoice::Retry);
    WhenModal([](QWidget* open) { ButtonNamed(open, QStringLiteral("Enter Demo Mode"))->click(); });
    EXPECT_EQ(dialog.Ask(), ReadOutChoice::EnterDemoMode);
    WhenModal([](QWidget* open) { open->close(); });
    EXPECT_EQ(dialog.Ask(), ReadOutChoice::Retry);
}

TEST(QtUserPromptTest, QuestionDefaultsToYesAndEscapeMeansNo) {
    CQtUserPrompt prompt;
    const std::string question = "Are you using an External Pattern Generator ?";
    WhenModal([](QWidget* open) {
        EXPECT_EQ(open->windowTitle(), QStringLiteral("Are you using an External Pattern Generator ?"));
        EXPECT_EQ(static_cast<QMessageBox*>(open)->icon(), QMessageBox::NoIcon);
        QTest::keyClick(open, Qt::Key_Return);
    });
    EXPECT_TRUE(prompt.AskYesNo(question, question));
    WhenModal([](QWidget* open) { QTest::keyClick(open, Qt::Key_Escape); });
    EXPECT_FALSE(prompt.AskYesNo(question, question));
    WhenModal([](QWidget* open) { ButtonNamed(open, QStringLiteral("NO"))->click(); });
    EXPECT_FALSE(prompt.AskYesNo(question, question));
}

TEST(QtUserPromptTest, MessageHasTheCaptionTarsionAndNoIcon) {
    CQtUserPrompt prompt;
    WhenModal([](QWidget* open) {
        auto* box = static_cast<QMessageBox*>(open);
        EXPECT_EQ(box->windowTitle(), QStringLiteral("Tarsion"));
        EXPECT_EQ(box->text(), QStringLiteral("Constellation RAM Saved"));
        EXPECT_EQ(box->icon(), QMessageBox::NoIcon);
        box->button(QMessageBox::Ok)->click();
    });
    prompt.ShowMessage("Constellation RAM Saved");
}

} // namespace
} // namespace tarsion
