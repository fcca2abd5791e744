#include "app/PatternImportDialog.h"
#include "app/QtUserPrompt.h"
#include "app/ReadOutFailedDialog.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
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

ImportPreview TonePreview() {
    ImportPreview preview;
    preview.path = "/data/tone.csv";
    preview.signal = ImportedSignal{{0.5, -0.25}, {2.0, 0.0}, true, false, "CSV, 2 columns, floating point"};
    Rescale(preview, ImportScaling::AsIs);
    return preview;
}

QString LabelText(QWidget* dialog, const char* name) {
    const auto* label = dialog->findChild<QLabel*>(QLatin1String(name));
    return label ? label->text() : QStringLiteral("no label ") + QLatin1String(name);
}

TEST(PatternImportDialogTest, ShowsTheReportAndFollowsTheScalingChosen) {
    CPatternImportDialog dialog(TonePreview(), std::nullopt);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Import Pattern"));
    EXPECT_EQ(LabelText(&dialog, "file"), QStringLiteral("tone.csv"));
    EXPECT_EQ(LabelText(&dialog, "length"),
              QStringLiteral("2 sample pairs, 4 words from 0x3fffc to 0x3ffff"));
    EXPECT_EQ(LabelText(&dialog, "range"), QStringLiteral("file values -0.25 to 2, samples -8192 to 32767"));
    EXPECT_EQ(LabelText(&dialog, "scale"), QStringLiteral("x 32768: 1.0 is full scale"));
    EXPECT_EQ(LabelText(&dialog, "clipped"), QStringLiteral("<b>1 of 4 samples</b>"));
    EXPECT_EQ(LabelText(&dialog, "negatives"),
              QStringLiteral("16-bit two's complement (-1 is 0xffff), bits 23..18 clear"));

    dialog.findChild<QComboBox*>(QStringLiteral("scaling"))->setCurrentIndex(1);
    EXPECT_EQ(dialog.Preview().prepared->report.scaling, ImportScaling::FullScale);
    EXPECT_EQ(LabelText(&dialog, "scale"), QStringLiteral("x 16383.5: the largest magnitude becomes 32767"));
    EXPECT_EQ(LabelText(&dialog, "clipped"), QStringLiteral("none"));
    EXPECT_EQ(LabelText(&dialog, "range"), QStringLiteral("file values -0.25 to 2, samples -4096 to 32767"));
}

TEST(PatternImportDialogTest, LoadConfirmsAndCancelWritesNothing) {
    WhenModal([](QWidget* open) {
        open->findChild<QComboBox*>(QStringLiteral("scaling"))->setCurrentIndex(1);
        ButtonNamed(open, QStringLiteral("Load"))->click();
    });
    const std::optional<ImportPreview> confirmed = ReviewImport(TonePreview(), 1e6, nullptr);
    ASSERT_TRUE(confirmed);
    EXPECT_EQ(confirmed->prepared->report.scaling, ImportScaling::FullScale);
    EXPECT_EQ(confirmed->prepared->pairs[0].q, 32767);
    WhenModal([](QWidget* open) { QTest::keyClick(open, Qt::Key_Escape); });
    EXPECT_FALSE(ReviewImport(TonePreview(), 1e6, nullptr));
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
