#pragma once

#include "board/VirtualBoard.h"
#include "ops/BoardStack.h"
#include "pages/PageFactory.h"
#include "pages/RegisterPage.h"
#include "support/FakeClock.h"
#include "support/LogView.h"
#include "support/ScriptedPrompt.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace tarsion::test {

// A register page over the virtual board: document, board link, operation layer, scripted prompt.
class PageTest : public ::testing::Test {
protected:
    PageTest() = default;

    std::unique_ptr<VirtualBoard> MakeBoard() {
        auto board = std::make_unique<VirtualBoard>();
        board_ = board.get();
        return board;
    }

    void Open(int index) {
        page_.reset(CreateRegisterPage(index, PageContext{doc_, *ops_, reviewImport_}, nullptr));
        page_->resize(550, 400);
    }
    // Puts a register on the board and into the shadow, as a read would.
    void Preset(std::uint8_t reg, std::uint32_t value) {
        board_->SetChipRegister(reg, value);
        doc_.Shadow().StoreChipReg(reg, value);
    }
    std::uint32_t Chip(std::uint8_t reg) const { return board_->ChipRegister(reg); }
    // After operations the page did not start itself: what it shows within a frame.
    void CatchUp() { static_cast<CRegisterPage*>(page_.get())->BringUpToDate(); }
    // How often `what` occurs in the log.
    std::size_t Logged(const std::string& what) const {
        std::size_t count = 0;
        for (auto pos = log_.text.find(what); pos != std::string::npos; pos = log_.text.find(what, pos + 1))
            ++count;
        return count;
    }

    template <class W>
    W* Find(const char* name) {
        W* widget = page_->findChild<W*>(QLatin1String(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    QLineEdit* Edit(const char* name) { return Find<QLineEdit>(name); }
    QString Text(const char* name) { return Edit(name)->text(); }

    // Replaces the edit's text by typing and presses Enter.
    void Type(const char* name, const QString& text, bool enter = true) {
        QLineEdit* edit = Edit(name);
        edit->selectAll();
        edit->del();
        QTest::keyClicks(edit, text);
        if (enter)
            QTest::keyClick(edit, Qt::Key_Return);
    }
    void LoseFocus(const char* name) {
        QFocusEvent focusOut(QEvent::FocusOut, Qt::TabFocusReason);
        QApplication::sendEvent(Edit(name), &focusOut);
    }
    void Click(const char* name) { Find<QAbstractButton>(name)->click(); }
    void Arrow(const char* valueEdit, bool up) {
        const std::string arrows = std::string(valueEdit) + "Arrows";
        QWidget* pair = Find<QWidget>(arrows.c_str());
        pair->findChild<QAbstractButton*>(up ? "up" : "down")->click();
    }
    void Key(const char* name, Qt::Key key) { QTest::keyClick(Edit(name), key); }

    // Presses the button labelled `buttonText` of the next modal dialog, or closes it when empty.
    // The dialog's title is kept in `dialogTitle_`.
    void AnswerNextDialog(const QString& buttonText) {
        QTimer::singleShot(0, [this, buttonText] {
            QWidget* dialog = QApplication::activeModalWidget();
            ASSERT_NE(dialog, nullptr);
            dialogTitle_ = dialog->windowTitle();
            if (auto* box = qobject_cast<QMessageBox*>(dialog))
                dialogText_ = box->text() + u'\n' + box->informativeText();
            if (buttonText.isEmpty()) {
                dialog->close();
                return;
            }
            for (auto* button : dialog->findChildren<QAbstractButton*>()) {
                if (button->text() == buttonText) {
                    button->click();
                    return;
                }
            }
            ADD_FAILURE() << "no button " << buttonText.toStdString();
            dialog->close();
        });
    }

    FakeClock clock_;
    ScriptedPrompt prompt_;
    VirtualBoard* board_ = nullptr;
    CBoardStack stack_{MakeBoard(), clock_, prompt_};
    CTarsionDoc& doc_ = stack_.Doc();
    CBoardLink* link_ = &stack_.Link();
    CBoardOperations* ops_ = &stack_.Ops();
    LogView log_{doc_};
    // The Board page's import preview; empty: nothing is imported.
    ImportReviewer reviewImport_;
    std::unique_ptr<QWidget> page_;
    QString dialogTitle_;
    // A message box's text and informative text, on two lines.
    QString dialogText_;
};

} // namespace tarsion::test
