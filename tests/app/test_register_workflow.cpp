// Undo of register writes, the Compare view, Find Field and the export, in the real window.
#include "MainWindowFixture.h"
#include "app/CompareView.h"
#include "app/FieldFinder.h"
#include "app/LogWindow.h"
#include "registers/RegisterFieldTable.h"

#include <QAction>
#include <QApplication>
#include <QDockWidget>
#include <QFile>
#include <QKeySequence>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <algorithm>

namespace tarsion {
namespace {

constexpr std::uint8_t kCarrier = 0x0a;

class RegisterWorkflow : public test::MainWindowFixture {
protected:
    RegisterWorkflow() {
        window_->AttachRegisters(host_->Registers());
        QApplication::setActiveWindow(window_.get());
    }
    QLineEdit* PageEdit(const char* name) {
        return window_->Page()->findChild<QLineEdit*>(QLatin1String(name));
    }
    std::string Log() const { return window_->LogWindow().toPlainText().toStdString(); }
};

TEST_F(RegisterWorkflow, CtrlZOnAPageUndoesTheEditAsAPokeAndCtrlYRedoesIt) {
    window_->ShowPage(0);
    QLineEdit* hex = PageEdit("carrierHex");
    ASSERT_NE(hex, nullptr);
    hex->setFocus();
    hex->selectAll();
    QTest::keyClicks(hex, QStringLiteral("20000000"));
    QTest::keyClick(hex, Qt::Key_Return);
    ASSERT_EQ(board_->ChipRegister(kCarrier), 0x20000000u);
    window_->BringUpToDate();
    EXPECT_EQ(Action("registerUndo").text(), QStringLiteral("Undo Poke 0a 20000000"));

    // Focus on the page, not in a text field: Ctrl+Z is the register undo.
    window_->Page()->setFocus();
    QTest::keyClick(window_->Page(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(board_->ChipRegister(kCarrier), 0u);
    EXPECT_NE(Log().find("Poke 0a 00000000"), std::string::npos) << Log();
    window_->BringUpToDate();
    EXPECT_EQ(Action("registerRedo").text(), QStringLiteral("Redo Poke 0a 20000000"));

    QTest::keyClick(window_->Page(), Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(board_->ChipRegister(kCarrier), 0x20000000u);
    // In the log window Ctrl+Z stays the log's own text undo.
    window_->LogWindow().setFocus();
    QTest::keyClick(&window_->LogWindow(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(board_->ChipRegister(kCarrier), 0x20000000u);
}

// Ctrl+Z in the Compare view undoes the register write and leaves every logged line; Ctrl+Shift+Z
// redoes it. The Edit menu shows Ctrl+Z beside the item that performs it where the focus is.
TEST_F(RegisterWorkflow, CtrlZInTheCompareViewUndoesTheWriteAndNeverReachesTheLog) {
    ASSERT_TRUE(host_->Ops().Poke(kCarrier, 0x20000000));
    window_->LogWindow().BringUpToDate();
    window_->findChild<QDockWidget*>(QStringLiteral("viewCompareDock"))->show();
    QTableWidget& rows = window_->CompareView()->Rows();
    rows.setFocus();
    QApplication::processEvents();
    EXPECT_EQ(Action("registerUndo").shortcut(), QKeySequence(QStringLiteral("Ctrl+Z")));
    EXPECT_EQ(Action("editUndo").text(), QStringLiteral("&Undo"));
    window_->LogWindow().BringUpToDate();
    const QString logged = window_->LogWindow().toPlainText();

    QTest::keyClick(&rows, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(board_->ChipRegister(kCarrier), 0u);
    window_->LogWindow().BringUpToDate();
    EXPECT_TRUE(window_->LogWindow().toPlainText().startsWith(logged));
    QTest::keyClick(&rows, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(board_->ChipRegister(kCarrier), 0x20000000u);

    window_->LogWindow().setFocus();
    QApplication::processEvents();
    EXPECT_EQ(Action("editUndo").text(), QStringLiteral("&Undo\tCtrl+Z"));
    EXPECT_TRUE(Action("registerUndo").shortcut().isEmpty());
    const QString before = window_->LogWindow().toPlainText();
    for (int i = 0; i < 5; ++i)
        QTest::keyClick(&window_->LogWindow(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(window_->LogWindow().toPlainText(), before);
    EXPECT_EQ(board_->ChipRegister(kCarrier), 0x20000000u);
}

// A stream of writes: the Edit menu's undo items and the Compare view's history follow it at most
// once a frame, yet a key reaching the window finds them current; a hidden history catches up when
// it shows.
TEST_F(RegisterWorkflow, UndoItemsAndHistoryAreCurrentWhenAKeyArrivesAfterAStreamOfWrites) {
    auto* dock = window_->findChild<QDockWidget*>(QStringLiteral("viewCompareDock"));
    dock->show();
    QTableWidget& history = window_->CompareView()->History();
    const int before = history.rowCount();
    for (std::uint32_t value = 1; value <= 20; ++value)
        ASSERT_TRUE(host_->Ops().Poke(kCarrier, value));
    QTest::keyClick(window_->Page(), Qt::Key_Shift);
    EXPECT_EQ(Action("registerUndo").text(), QStringLiteral("Undo Poke 0a 00000014"));
    ASSERT_EQ(history.rowCount(), before + 20);
    EXPECT_EQ(history.item(0, 5)->text(), QStringLiteral("Poke 0a 00000014"));

    dock->hide();
    ASSERT_TRUE(host_->Ops().Poke(kCarrier, 0x15));
    window_->BringUpToDate();
    EXPECT_EQ(history.rowCount(), before + 20);
    dock->show();
    ASSERT_EQ(history.rowCount(), before + 21);
    EXPECT_EQ(history.item(0, 5)->text(), QStringLiteral("Poke 0a 00000015"));
}

TEST_F(RegisterWorkflow, CompareViewShowsTheChangedFieldAndAppliesTheOtherSide) {
    CCompareView& view = *window_->CompareView();
    window_->findChild<QDockWidget*>(QStringLiteral("viewCompareDock"))->show();
    std::string error;
    const std::string id = host_->Registers().TakeSnapshot("before", error);
    ASSERT_TRUE(host_->Ops().Poke(0x01, 0x00000010));
    view.CompareIds(QString::fromStdString(id), QStringLiteral("board"));
    ASSERT_EQ(view.Rows().rowCount(), 1);
    EXPECT_EQ(view.Rows().item(0, 0)->text(), QStringLiteral("0x01 DeviceConfig"));
    EXPECT_EQ(view.Rows().item(0, 1)->text(), QStringLiteral("Half Band Filter Enable"));
    EXPECT_EQ(view.Rows().item(0, 2)->text(), QStringLiteral("not ticked"));
    EXPECT_EQ(view.Rows().item(0, 3)->text(), QStringLiteral("ticked"));

    view.Rows().selectRow(0);
    view.findChild<QPushButton*>(QStringLiteral("applyBefore"))->click();
    window_->BringUpToDate();
    EXPECT_EQ(board_->ChipRegister(0x01), 0u);
    EXPECT_EQ(view.Rows().rowCount(), 0);
    // Both writes are in the history, newest first.
    ASSERT_EQ(view.History().rowCount(), 2);
    EXPECT_EQ(view.History().item(0, 5)->text(), QStringLiteral("Poke 01 00000000"));
}

TEST_F(RegisterWorkflow, CompareViewListsLoadSettingsThatCanBeFoundButNotApplied) {
    CCompareView& view = *window_->CompareView();
    window_->findChild<QDockWidget*>(QStringLiteral("viewCompareDock"))->show();
    std::string error;
    const std::string id = host_->Registers().TakeSnapshot("before", error);
    view.CompareIds(QString::fromStdString(id), QStringLiteral("board"));
    ASSERT_EQ(view.Rows().rowCount(), 0);

    // A memory load is no register write: the view follows the board now all the same.
    ASSERT_TRUE(host_->Ops().LoadExternalMem(2, 0, 1.0, 0.0, 16, 16));
    window_->BringUpToDate();
    EXPECT_FALSE(view.Rows().findItems(QStringLiteral("Pattern File"), Qt::MatchExactly).isEmpty());
    ASSERT_TRUE(host_->Ops().Poke(0x01, 0x00000010));
    window_->BringUpToDate();
    QStringList settings;
    int settingRow = -1;
    int registerRow = -1;
    for (int row = 0; row < view.Rows().rowCount(); ++row) {
        QStringList cells;
        for (int column = 0; column < view.Rows().columnCount(); ++column)
            cells << view.Rows().item(row, column)->text();
        // A setting has no raw words.
        if (cells[4].isEmpty() && cells[5].isEmpty()) {
            settings << cells.mid(0, 4).join(QStringLiteral(" | "));
            settingRow = cells[1] == QStringLiteral("I Pattern") ? row : settingRow;
        } else if (cells[0] == QStringLiteral("0x01 DeviceConfig")) {
            registerRow = row;
        }
    }
    EXPECT_EQ(settings,
              (QStringList{QStringLiteral("Pattern Memory Contents | Pattern File | Unknown | Pattern"),
                           QStringLiteral("Pattern Parameters | I Pattern | Sine Wave | Cos Wave")}));
    ASSERT_GE(settingRow, 0);
    ASSERT_GE(registerRow, 0);

    auto* applyBefore = view.findChild<QPushButton*>(QStringLiteral("applyBefore"));
    view.Rows().selectRow(registerRow);
    EXPECT_TRUE(applyBefore->isEnabled());
    view.Rows().selectRow(settingRow);
    EXPECT_FALSE(applyBefore->isEnabled());
    EXPECT_FALSE(view.findChild<QPushButton*>(QStringLiteral("applyAfter"))->isEnabled());
    // Nothing reaches the board from a setting row.
    const std::size_t writes = host_->Registers().Journal().Entries().size();
    applyBefore->click();
    EXPECT_EQ(host_->Registers().Journal().Entries().size(), writes);

    view.findChild<QPushButton*>(QStringLiteral("goToField"))->click();
    EXPECT_EQ(window_->CurrentPage(), 5);
    ASSERT_NE(window_->focusWidget(), nullptr);
    EXPECT_EQ(window_->focusWidget()->objectName(), QStringLiteral("iKind"));
}

TEST_F(RegisterWorkflow, FindListsFieldsOfEveryPageAndGoesToTheControl) {
    for (int page = 0; page < CMainFrame::kPages; ++page) {
        int found = 0;
        for (const RegisterField& field : RegisterFields()) {
            if (field.page != page)
                continue;
            const auto matches = FindFields(field.Title() + " " + field.name);
            EXPECT_NE(std::find(matches.begin(), matches.end(), &field), matches.end()) << field.name;
            ++found;
        }
        EXPECT_GT(found, 0) << page;
    }
    const auto halfBand = FindFields("half band");
    ASSERT_EQ(halfBand.size(), 1u);
    EXPECT_STREQ(halfBand[0]->name, "halfBandEnable");
    for (const RegisterField* field : FindFields("0x01"))
        EXPECT_EQ(field->reg, 0x01) << field->name;

    CFieldFinder finder(window_.get());
    QObject::connect(&finder, &CFieldFinder::goToField, window_.get(), &CMainFrame::GoToField);
    finder.show();
    QTest::keyClicks(&finder.Search(), QStringLiteral("vco divider"));
    QTest::keyClick(&finder.Search(), Qt::Key_Return);
    EXPECT_EQ(window_->CurrentPage(), 3);
    ASSERT_NE(window_->focusWidget(), nullptr);
    EXPECT_EQ(window_->focusWidget()->objectName(), QStringLiteral("vcoDivider"));
}

TEST_F(RegisterWorkflow, ExportWritesTheRegistersAsAHeaderWithFieldComments) {
    ASSERT_TRUE(host_->Ops().Poke(kCarrier, 0x20000000));
    files_.answers = {dir_.filePath(QStringLiteral("regs.h"))};
    Action("exportCHeader").trigger();
    QFile file(dir_.filePath(QStringLiteral("regs.h")));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    EXPECT_TRUE(text.contains(QStringLiteral("{0x0a, 0x20000000u}, /* CarrierFrequency */")))
        << qPrintable(text);
    EXPECT_TRUE(text.contains(QStringLiteral("/*   Frequency: 10.000000MHz */"))) << qPrintable(text);
}

} // namespace
} // namespace tarsion
