#include "app/DocumentHost.h"
#include "app/LogWindow.h"
#include "board/VirtualBoard.h"
#include "support/ScriptedPrompt.h"

#include <QApplication>
#include <QMimeData>
#include <QTest>
#include <QTextBlock>
#include <gtest/gtest.h>

namespace tarsion {
namespace {

class LogWindowTest : public ::testing::Test {
protected:
    LogWindowTest() {
        auto board = std::make_unique<VirtualBoard>();
        board_ = board.get();
        host_ = std::make_unique<CDocumentHost>(std::move(board), prompt_);
        log_ = std::make_unique<CLogWindow>(host_->Doc(), host_->Ops());
        log_->resize(500, 300);
        log_->show();
        log_->setFocus();
    }

    void Type(const char* text) { QTest::keyClicks(log_.get(), QString::fromLatin1(text)); }
    void Press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(log_.get(), key, modifiers);
    }
    void Run(const char* command) {
        Type(command);
        Press(Qt::Key_Return);
    }
    QString LastLine() const { return log_->document()->lastBlock().text(); }
    QString Line(int number) const { return log_->document()->findBlockByNumber(number).text(); }

    test::ScriptedPrompt prompt_;
    VirtualBoard* board_ = nullptr;
    std::unique_ptr<CDocumentHost> host_;
    std::unique_ptr<CLogWindow> log_;
};

TEST_F(LogWindowTest, EnterRunsTheTypedCommandOnTheBoard) {
    Run("poke 0a 12345678");
    EXPECT_EQ(board_->ChipRegister(0x0A), 0x12345678u);
    EXPECT_EQ(Line(0), QStringLiteral("poke 0a 12345678"));
    // The answers start on a fresh line and the caret waits on an empty last line.
    EXPECT_GT(log_->blockCount(), 2);
    EXPECT_EQ(LastLine(), QString());
    EXPECT_EQ(log_->textCursor().block(), log_->document()->lastBlock());
}

TEST_F(LogWindowTest, EnterOnAnOlderLineRunsTheLastLine) {
    Run("poke 0a 5");
    Type("poke 0b 7");
    Press(Qt::Key_Home, Qt::ControlModifier);
    Press(Qt::Key_Return);
    EXPECT_EQ(board_->ChipRegister(0x0B), 7u);
    // The answer goes after the caret's line; the typed last line stays as it was.
    EXPECT_EQ(Line(0), QStringLiteral("poke 0a 5"));
    EXPECT_EQ(LastLine(), QStringLiteral("poke 0b 7"));
}

TEST_F(LogWindowTest, CommandIsCutToOneHundredCharacters) {
    const QString longCommand =
        QStringLiteral("poke 0a 1") + QString(120, QLatin1Char(' ')) + QStringLiteral("9");
    QTest::keyClicks(log_.get(), longCommand);
    Press(Qt::Key_Return);
    // The trailing "9" lies beyond the cut: the command has its two arguments only.
    EXPECT_EQ(board_->ChipRegister(0x0A), 1u);
    Press(Qt::Key_Up);
    EXPECT_EQ(LastLine(), longCommand.left(CLogWindow::kCommandLength));
}

TEST_F(LogWindowTest, UpAndDownWithoutHistoryEmptyTheLine) {
    Type("abc");
    Press(Qt::Key_Up);
    EXPECT_EQ(LastLine(), QString());
    Type("def");
    Press(Qt::Key_Down);
    EXPECT_EQ(LastLine(), QString());
}

TEST_F(LogWindowTest, HistoryKeepsTheLastTwentyCommands) {
    for (int i = 1; i <= 21; ++i)
        Run(QStringLiteral("c%1").arg(i).toLatin1().constData());
    for (int expected = 21; expected >= 2; --expected) {
        Press(Qt::Key_Up);
        EXPECT_EQ(LastLine(), QStringLiteral("c%1").arg(expected));
    }
    Press(Qt::Key_Up);
    EXPECT_EQ(LastLine(), QStringLiteral("c21"));
    // Recalling replaces only the caret's line.
    EXPECT_EQ(Line(0), QStringLiteral("c1"));
}

TEST_F(LogWindowTest, BackspaceAndLeftStayOnTheirLine) {
    log_->setPlainText(QStringLiteral("abc\n"));
    log_->moveCursor(QTextCursor::End);
    Press(Qt::Key_Backspace);
    EXPECT_EQ(log_->toPlainText(), QStringLiteral("abc\n"));
    Press(Qt::Key_Left);
    EXPECT_EQ(log_->textCursor().position(), 4);

    Type("def");
    Press(Qt::Key_Home);
    Press(Qt::Key_Left);
    EXPECT_EQ(log_->textCursor().position(), 4);
    // At the start of a non-empty line Backspace joins it to the line above.
    Press(Qt::Key_Backspace);
    EXPECT_EQ(log_->toPlainText(), QStringLiteral("abcdef"));
}

TEST_F(LogWindowTest, LogLineFollowsAHalfTypedCommand) {
    Type("pok");
    host_->Doc().LogLine("Done", 1);
    EXPECT_EQ(Line(0), QStringLiteral("pok\tDone"));
    EXPECT_EQ(LastLine(), QString());
    Type("e 0a 3");
    Press(Qt::Key_Return);
    // The last line held only "e 0a 3": not a command.
    EXPECT_EQ(board_->ChipRegister(0x0A), 0u);
}

TEST_F(LogWindowTest, MouseNeitherMovesTheCaretNorSelects) {
    log_->setPlainText(QStringLiteral("first line\nsecond line\n"));
    log_->moveCursor(QTextCursor::End);
    const int caret = log_->textCursor().position();
    QTest::mouseClick(log_->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(10, 5));
    QTest::mouseDClick(log_->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(10, 5));
    EXPECT_EQ(log_->textCursor().position(), caret);
    EXPECT_FALSE(log_->textCursor().hasSelection());
}

TEST_F(LogWindowTest, DroppedTextIsRefused) {
    log_->setPlainText(QStringLiteral("first line\nsecond line\n"));
    log_->moveCursor(QTextCursor::End);
    const int caret = log_->textCursor().position();
    QMimeData dragged;
    dragged.setText(QStringLiteral("dropped"));
    const QPointF at(10, 5);
    QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &dragged, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(log_->viewport(), &enter);
    EXPECT_FALSE(enter.isAccepted());
    QDropEvent drop(at, Qt::CopyAction, &dragged, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(log_->viewport(), &drop);
    EXPECT_FALSE(drop.isAccepted());
    EXPECT_EQ(log_->toPlainText().toStdString(), "first line\nsecond line\n");
    EXPECT_EQ(log_->textCursor().position(), caret);
    // The next log line still lands at the end.
    host_->Doc().LogLine("Done", 1);
    EXPECT_EQ(Line(2), QStringLiteral("\tDone"));
}

TEST_F(LogWindowTest, FullLogDropsItsOldestHundredLines) {
    // Lines of 98 characters plus the two-character line break: 100 each.
    QStringList lines;
    const int lineCount = CLogWindow::kCapacity / 100;
    for (int i = 0; i < lineCount; ++i)
        lines.append(
            QStringLiteral("line %1 ").arg(i, 5, 10, QLatin1Char('0')).leftJustified(98, QLatin1Char('.')));
    log_->setPlainText(lines.join(QLatin1Char('\n')) + QLatin1Char('\n'));
    log_->moveCursor(QTextCursor::End);
    ASSERT_EQ(log_->LogLength(), lineCount * 100);
    ASSERT_LE(CLogWindow::kCapacity - log_->LogLength(), 100);

    host_->Doc().LogLine(std::string(120, 'x'), 0);
    EXPECT_TRUE(Line(0).startsWith(QStringLiteral("line 00100 ")));
    EXPECT_EQ(Line(log_->blockCount() - 2), QString(120, QLatin1Char('x')));
    EXPECT_EQ(log_->LogLength(), (lineCount - 100) * 100 + 122);
    EXPECT_EQ(LastLine(), QString());
}

TEST_F(LogWindowTest, TrimOfAShortLogDropsEverything) {
    log_->setPlainText(QStringLiteral("short\nlog\n"));
    host_->Doc().LogLine(std::string(CLogWindow::kCapacity - 4, 'y'), 0);
    EXPECT_EQ(Line(0), QString(CLogWindow::kCapacity - 4, QLatin1Char('y')));
    EXPECT_EQ(log_->LogLength(), CLogWindow::kCapacity - 2);
}

} // namespace
} // namespace tarsion
