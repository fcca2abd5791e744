#include "app/DocumentHost.h"
#include "app/LogWindow.h"
#include "board/VirtualBoard.h"
#include "support/ScriptedPrompt.h"

#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QMimeData>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <utility>

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

// A stream of operations: the first is shown at once, those within the log's frame after it when
// the frame ends (not before: the pages' shorter frame does not apply), or before a key press.
TEST_F(LogWindowTest, AStreamOfOperationsIsShownOnceALogFrame) {
    ASSERT_TRUE(host_->Ops().Poke(0x0A, 1));
    QElapsedTimer sinceFirst;
    sinceFirst.start();
    const QString first = log_->toPlainText();
    EXPECT_TRUE(first.endsWith(QStringLiteral("Poke 0a 00000001 \n\tDone\n"))) << qPrintable(first);
    QTest::qWait(CFramePacer::kFrameMs + 10);
    ASSERT_TRUE(host_->Ops().Poke(0x0A, 2));
    QTest::qWait(10);
    // Unless the machine was too slow to tell the two frames apart.
    if (sinceFirst.elapsed() < CLogWindow::kFrameMs - 10) {
        EXPECT_EQ(log_->toPlainText(), first);
    }
    const QString both = first + QStringLiteral("Poke 0a 00000002 \n\tDone\n");
    EXPECT_TRUE(QTest::qWaitFor([&] { return log_->toPlainText() == both; }, 2000));

    ASSERT_TRUE(host_->Ops().Poke(0x0A, 3));
    ASSERT_TRUE(host_->Ops().Poke(0x0A, 4));
    Type("x");
    EXPECT_TRUE(log_->toPlainText().endsWith(QStringLiteral("Poke 0a 00000004 \n\tDone\nx")));
}

TEST_F(LogWindowTest, EnterOnAnOlderLineRunsTheLastLine) {
    Run("poke 0a 5");
    Type("poke 0b 7");
    Press(Qt::Key_Home, Qt::ControlModifier);
    const QString before = log_->toPlainText();
    Press(Qt::Key_Return);
    EXPECT_EQ(board_->ChipRegister(0x0B), 7u);
    // The answer follows the command at the end: the older lines stay as they were.
    EXPECT_TRUE(log_->toPlainText().startsWith(before + QStringLiteral("\n\tDone")));
    EXPECT_EQ(LastLine(), QString());
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
    // At the start of the command Backspace would join it to a logged line: it does nothing.
    Press(Qt::Key_Backspace);
    EXPECT_EQ(log_->toPlainText(), QStringLiteral("abc\ndef"));
}

// The log is a record: whatever key is pressed wherever the caret stands, the logged lines stay;
// typing goes to the command on the last line, and undo takes back only that typing.
TEST_F(LogWindowTest, KeystrokesNeverChangeALoggedLine) {
    Run("peek 0a");
    host_->Doc().LogLine("Returned f0abcd30", 1);
    const QString logged = log_->toPlainText();
    ASSERT_TRUE(logged.endsWith(QStringLiteral("\tReturned f0abcd30\n")));
    QApplication::clipboard()->setText(QStringLiteral("zz"));
    const auto command = [this, &logged] { return log_->toPlainText().mid(logged.size()); };
    struct Place {
        const char* name;
        std::function<void()> go;
    };
    const Place places[] = {
        {"command", [] {}},
        {"first line", [this] { Press(Qt::Key_Home, Qt::ControlModifier); }},
        {"page up", [this] { Press(Qt::Key_PageUp); }},
        {"older line selected",
         [this] {
             Press(Qt::Key_Up, Qt::NoModifier); // recalls "peek 0a" into the command
             Press(Qt::Key_Home, Qt::ControlModifier);
             Press(Qt::Key_End, Qt::ShiftModifier | Qt::ControlModifier);
         }},
        {"start of command", [this] { Press(Qt::Key_Home); }},
    };
    const std::pair<Qt::Key, Qt::KeyboardModifiers> keys[] = {
        {Qt::Key_Backspace, Qt::NoModifier},
        {Qt::Key_Delete, Qt::NoModifier},
        {Qt::Key_Backspace, Qt::ControlModifier},
        {Qt::Key_Delete, Qt::ControlModifier},
        {Qt::Key_X, Qt::ControlModifier},
        {Qt::Key_Delete, Qt::ShiftModifier},
        {Qt::Key_K, Qt::ControlModifier},
        {Qt::Key_Z, Qt::ControlModifier},
        {Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier},
        {Qt::Key_Y, Qt::ControlModifier},
        {Qt::Key_V, Qt::ControlModifier},
        {Qt::Key_Insert, Qt::ShiftModifier},
        {Qt::Key_Q, Qt::NoModifier},
        {Qt::Key_Tab, Qt::NoModifier},
    };
    for (const Place& place : places) {
        for (const auto& [key, modifiers] : keys) {
            place.go();
            Press(key, modifiers);
            ASSERT_TRUE(log_->toPlainText().startsWith(logged))
                << place.name << " key " << key << " modifiers " << modifiers.toInt();
            ASSERT_FALSE(command().contains(QLatin1Char('\n'))) << place.name << " key " << key;
        }
    }
    // The Edit menu's Cut, Paste and Undo reach the command only, too.
    Press(Qt::Key_Home, Qt::ControlModifier);
    Press(Qt::Key_End, Qt::ShiftModifier | Qt::ControlModifier);
    log_->Cut();
    log_->Paste();
    for (int i = 0; i < 40; ++i)
        log_->undo();
    EXPECT_TRUE(log_->toPlainText().startsWith(logged));
    EXPECT_FALSE(command().contains(QLatin1Char('\n')));

    // A line logged after typing takes the typing into the record: nothing undoes it.
    Press(Qt::Key_End, Qt::ControlModifier);
    Press(Qt::Key_Home, Qt::ShiftModifier);
    Press(Qt::Key_Backspace);
    Type("pe");
    host_->Doc().LogLine("Done", 1);
    const QString after = log_->toPlainText();
    EXPECT_TRUE(after.endsWith(QStringLiteral("pe\tDone\n")));
    for (int i = 0; i < 3; ++i)
        Press(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(log_->toPlainText(), after);
    Type("ek");
    Press(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(log_->toPlainText(), after);
}

// A log scrolled up stays where the user left it while lines arrive; one showing its newest line
// follows them.
TEST_F(LogWindowTest, ScrolledLogKeepsItsPlaceAndAFollowingOneFollows) {
    for (int i = 0; i < 200; ++i)
        host_->Doc().LogLine("line " + std::to_string(i), 0);
    QScrollBar* bar = log_->verticalScrollBar();
    ASSERT_EQ(bar->value(), bar->maximum());
    host_->Doc().LogLine("newest", 0);
    EXPECT_EQ(bar->value(), bar->maximum());
    bar->setValue(40);
    for (int i = 0; i < 20; ++i)
        host_->Doc().LogLine("later", 1);
    log_->resize(500, 200);
    log_->resize(500, 300);
    EXPECT_EQ(bar->value(), 40);
    Type("pe");
    EXPECT_GT(bar->value(), 150) << "typing shows the command";
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

// The log as it would be with every line appended on its own: before a line that does not fit, the
// oldest hundred lines go, or all of the log when it holds no more.
class OneByOneLog {
public:
    explicit OneByOneLog(const QString& text) {
        const QStringList lines = text.split(QLatin1Char('\n'));
        lines_.assign(lines.begin(), lines.end() - 1);
        last_ = lines.back();
        length_ = text.size() + lines.size() - 1;
    }
    void Add(const QString& line) {
        const qsizetype length = line.size() + line.count(QLatin1Char('\n'));
        while (length_ > 0 && length_ + length > CLogWindow::kCapacity) {
            if (static_cast<int>(lines_.size()) >= CLogWindow::kTrimmedLines) {
                for (int i = 0; i < CLogWindow::kTrimmedLines; ++i) {
                    length_ -= lines_.front().size() + 2;
                    lines_.pop_front();
                }
            } else {
                lines_.clear();
                last_.clear();
                length_ = 0;
            }
        }
        for (const QString& part : line.split(QLatin1Char('\n'))) {
            last_ += part;
            lines_.push_back(last_);
            last_.clear();
        }
        last_ = lines_.back();
        lines_.pop_back();
        length_ += length;
    }
    QString Text() const {
        QString text;
        for (const QString& line : lines_)
            text += line + QLatin1Char('\n');
        return text + last_;
    }

private:
    std::deque<QString> lines_;
    QString last_;
    qsizetype length_ = 0;
};

class FullLogTest : public LogWindowTest {
protected:
    // Lines of 98 characters plus the two-character line break, numbered, up to the capacity.
    void Fill() {
        QStringList lines;
        for (int i = 0; i < CLogWindow::kCapacity / 100; ++i)
            lines.append(QStringLiteral("line %1 ")
                             .arg(i, 5, 10, QLatin1Char('0'))
                             .leftJustified(98, QLatin1Char('.')));
        log_->setPlainText(lines.join(QLatin1Char('\n')) + QLatin1Char('\n'));
        log_->moveCursor(QTextCursor::End);
    }
    // Logs the lines in one frame: the window appends them together.
    void LogInOneFrame(const std::vector<std::string>& lines, OneByOneLog& expected) {
        host_->Doc().HoldViews();
        for (const std::string& line : lines) {
            host_->Doc().LogLine(line, 0);
            expected.Add(QString::fromStdString(line) + QLatin1Char('\n'));
        }
        host_->Doc().ReleaseViews();
        log_->BringUpToDate();
    }
};

// Trimming a frame's lines at once leaves the log exactly as trimming before each line would: the
// newest lines in order, a half-typed command taken into the record with the first of them.
TEST_F(FullLogTest, AFrameOfManyLinesKeepsWhatOneLineAtATimeWouldKeep) {
    Fill();
    Type("pok");
    OneByOneLog expected(log_->toPlainText());
    ASSERT_EQ(expected.Text(), log_->toPlainText());
    std::vector<std::string> ragged;
    for (int i = 0; i < 3000; ++i)
        ragged.push_back("Poke " + std::to_string(i) + std::string(static_cast<std::size_t>(i % 211), '.'));
    LogInOneFrame(ragged, expected);
    ASSERT_EQ(log_->toPlainText(), expected.Text());
    EXPECT_TRUE(Line(log_->blockCount() - 2).startsWith(QStringLiteral("Poke 2999.")));

    // A line too long for the log less its oldest hundred lines empties it; so does a line that does
    // not fit after it.
    LogInOneFrame({"before", std::string(CLogWindow::kCapacity - 30, 'y'), "after", std::string(40, 'z')},
                  expected);
    ASSERT_EQ(log_->toPlainText(), expected.Text());
    EXPECT_EQ(Line(0), QString(40, QLatin1Char('z')));

    // A queue longer than the log: only its newest lines are kept, with nothing of the log before.
    std::vector<std::string> flood;
    for (int i = 0; i < 11000; ++i)
        flood.push_back("flood " + std::to_string(i) + std::string(90, '-'));
    LogInOneFrame(flood, expected);
    ASSERT_EQ(log_->toPlainText(), expected.Text());
    EXPECT_TRUE(Line(0).startsWith(QStringLiteral("flood ")));
    EXPECT_LE(log_->LogLength(), CLogWindow::kCapacity);
    EXPECT_EQ(LastLine(), QString());
    EXPECT_EQ(log_->textCursor().position(), log_->document()->characterCount() - 1);
}

// More than a hundred trims in one frame leave the log as full as lines of its size allow.
TEST_F(FullLogTest, AFrameOfMoreThanAHundredTrimsKeepsTheLogFull) {
    Fill();
    const int logLines = log_->blockCount() - 1;
    OneByOneLog expected(log_->toPlainText());
    LogInOneFrame(std::vector<std::string>(10200, std::string(98, 'n')), expected);
    ASSERT_EQ(log_->toPlainText(), expected.Text());
    EXPECT_EQ(log_->LogLength(), logLines * 100);
    EXPECT_TRUE(Line(0).startsWith(QStringLiteral("line ")));
}

// The first line a hundred lines cannot make room for, and a line that fills the log exactly.
TEST_F(FullLogTest, TrimsAtTheirBoundaries) {
    const QString longLine(10000, QLatin1Char('a'));
    const std::string tooLong(60000, 'x');
    for (const int lines : {99, 100}) {
        QStringList text(lines, longLine);
        log_->setPlainText(text.join(QLatin1Char('\n')) + QStringLiteral("\npok"));
        log_->moveCursor(QTextCursor::End);
        OneByOneLog expected(log_->toPlainText());
        LogInOneFrame({tooLong}, expected);
        ASSERT_EQ(log_->toPlainText(), expected.Text()) << lines;
        // Without a hundred lines to drop the whole log goes, the half-typed command with it.
        EXPECT_EQ(Line(0),
                  (lines == 100 ? QStringLiteral("pok") : QString()) + QString::fromStdString(tooLong))
            << lines;
    }
    log_->setPlainText(QStringLiteral("short\n"));
    OneByOneLog expected(log_->toPlainText());
    LogInOneFrame({"ab", std::string(CLogWindow::kCapacity - 7 - 4 - 2, 'f')}, expected);
    ASSERT_EQ(log_->toPlainText(), expected.Text());
    EXPECT_EQ(log_->LogLength(), CLogWindow::kCapacity);
    EXPECT_EQ(Line(0), QStringLiteral("short"));
}

// A trim moves the lines up: a log scrolled up keeps showing the same line, one whose lines were
// dropped shows its oldest, one that showed the newest follows. Nothing logged can be undone.
TEST_F(FullLogTest, ATrimKeepsThePlaceScrolledTo) {
    Fill();
    OneByOneLog expected(log_->toPlainText());
    QScrollBar* bar = log_->verticalScrollBar();
    bar->setValue(500);
    const QString shown = Line(500);
    LogInOneFrame(std::vector<std::string>(150, std::string(98, 'a')), expected);
    ASSERT_EQ(log_->toPlainText(), expected.Text());
    EXPECT_EQ(Line(bar->value()), shown);
    EXPECT_EQ(bar->value(), 300);

    // The caret on an older line goes back to the command.
    Press(Qt::Key_Home, Qt::ControlModifier);
    bar->setValue(50);
    LogInOneFrame(std::vector<std::string>(150, std::string(98, 'b')), expected);
    EXPECT_EQ(bar->value(), 0);
    EXPECT_EQ(log_->textCursor().position(), log_->document()->characterCount() - 1);

    bar->setValue(bar->maximum());
    LogInOneFrame(std::vector<std::string>(150, std::string(98, 'c')), expected);
    EXPECT_EQ(bar->value(), bar->maximum());
    EXPECT_EQ(Line(log_->blockCount() - 2), QString(98, QLatin1Char('c')));

    const QString logged = log_->toPlainText();
    Type("ab");
    for (int i = 0; i < 4; ++i)
        Press(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(log_->toPlainText(), logged);
}

} // namespace
} // namespace tarsion
