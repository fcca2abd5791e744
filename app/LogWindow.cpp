#include "app/LogWindow.h"

#include "ops/BoardOperations.h"

#include <QDropEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QScrollBar>
#include <QTextBlock>

#include <algorithm>
#include <utility>

namespace tarsion {

namespace {
// The log scrolls by its line count less this many lines after each append.
constexpr int kScrollMargin = 4;
// Tab stops every 32 dialog units: eight average character widths.
constexpr int kTabStopChars = 8;

// A text's length in the units of LogLength(): a line break counts twice.
qsizetype LengthInLog(const QString& text) {
    return text.size() + text.count(QLatin1Char('\n'));
}
} // namespace

CLogWindow::CLogWindow(CTarsionDoc& doc, CBoardOperations& ops, QWidget* parent)
    : QPlainTextEdit(parent), doc_(doc), ops_(ops) {
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setTabStopDistance(fontMetrics().averageCharWidth() * kTabStopChars);
    setContextMenuPolicy(Qt::NoContextMenu);
    setAcceptDrops(false);
    doc_.AddObserver(this);
}

CLogWindow::~CLogWindow() {
    doc_.RemoveObserver(this);
}

int CLogWindow::LogLength() const {
    // characterCount() counts one separator per line break and one closing character.
    const QTextDocument* text = document();
    return text->characterCount() - 1 + (text->blockCount() - 1);
}

void CLogWindow::OnDocumentUpdate() {
    const std::string& pending = doc_.PendingLogText();
    if (pending.empty())
        return;
    QString text = QString::fromUtf8(pending.data(), static_cast<qsizetype>(pending.size()));
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    pendingLength_ += LengthInLog(text);
    pending_.append(std::move(text));
    // The log holds no more than its capacity: a longer queue would only be trimmed away, so it is
    // appended at once rather than allowed to grow.
    if (pendingLength_ > kCapacity)
        pacer_.Flush();
    else
        pacer_.MarkStale();
}

void CLogWindow::WriteCapacityNote() {
    for (int indent = 0; indent < 3; ++indent)
        doc_.LogLine("LogWindow Stores Last 10K chars", indent);
    BringUpToDate();
}

// Appends the queued lines as the window would have appended them one by one: consecutive lines
// that fit go in as one insertion; a line that needs room first trims the log as it always has.
void CLogWindow::AppendPending() {
    const QStringList lines = std::exchange(pending_, {});
    pendingLength_ = 0;
    QString run;
    qsizetype runLength = 0;
    const auto insertRun = [&] {
        Insert(run);
        run.clear();
        runLength = 0;
    };
    for (const QString& text : lines) {
        const qsizetype length = LengthInLog(text);
        const qsizetype logLength = LogLength() + runLength;
        if (logLength > 0 && logLength + length > kCapacity) {
            if (!run.isEmpty())
                insertRun();
            Append(text);
            continue;
        }
        run += text;
        runLength += length;
    }
    if (!run.isEmpty())
        insertRun();
}

void CLogWindow::Append(const QString& text) {
    MakeRoomFor(static_cast<int>(LengthInLog(text)));
    Insert(text);
}

// Log text goes to the end of the last line: after every logged line, and after a half-typed
// command there. It is not undoable: only the command's own typing is. The view follows it only
// while it shows the newest line; a log scrolled up stays where the user left it.
void CLogWindow::Insert(const QString& text) {
    QScrollBar* bar = verticalScrollBar();
    const int firstVisible = bar->value();
    const bool followed = firstVisible >= bar->maximum();
    const bool caretOnCommand = textCursor().block() == document()->lastBlock();
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    document()->setUndoRedoEnabled(false);
    cursor.insertText(text);
    document()->setUndoRedoEnabled(true);
    if (caretOnCommand)
        setTextCursor(cursor);
    bar->setValue(followed ? bar->maximum() : firstVisible);
}

void CLogWindow::MakeRoomFor(int length) {
    while (LogLength() > 0 && LogLength() + length > kCapacity)
        DropOldestLines();
}

void CLogWindow::DropOldestLines() {
    QTextDocument* text = document();
    // Trimming is not undoable; switching undo off also spares copying the dropped text.
    text->setUndoRedoEnabled(false);
    QTextCursor cursor(text);
    const QTextBlock keep = text->findBlockByNumber(kTrimmedLines);
    if (keep.isValid())
        cursor.setPosition(keep.position(), QTextCursor::KeepAnchor);
    else
        cursor.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
    text->setUndoRedoEnabled(true);
    setTextCursor(QTextCursor(text->lastBlock()));
}

int CLogWindow::CommandStart() const {
    return document()->lastBlock().position();
}

bool CLogWindow::SelectionInCommand() const {
    const QTextCursor cursor = textCursor();
    return std::min(cursor.anchor(), cursor.position()) >= CommandStart();
}

void CLogWindow::MoveToCommandEnd() {
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    setTextCursor(cursor);
}

// Up and Down put a command of the history in place of the one being typed.
void CLogWindow::ReplaceCommand(const QString& text) {
    QTextCursor cursor(document()->lastBlock());
    cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    document()->clearUndoRedoStacks();
    cursor.insertText(text);
    setTextCursor(cursor);
    ensureCursorVisible();
}

void CLogWindow::Cut() {
    if (SelectionInCommand())
        QPlainTextEdit::cut();
}

void CLogWindow::Paste() {
    if (!SelectionInCommand())
        MoveToCommandEnd();
    QPlainTextEdit::paste();
}

// Whether a key changes text; keys that only move the caret, select or copy are free everywhere.
CLogWindow::KeyEdit CLogWindow::EditOf(QKeyEvent* event) {
    for (const QKeySequence::StandardKey key :
         {QKeySequence::DeleteCompleteLine, QKeySequence::DeleteEndOfLine, QKeySequence::DeleteEndOfWord,
          QKeySequence::Delete, QKeySequence::Cut})
        if (event->matches(key))
            return key == QKeySequence::DeleteCompleteLine ? KeyEdit::Refused : KeyEdit::DeletesForward;
    if (event->matches(QKeySequence::DeleteStartOfWord) || event->key() == Qt::Key_Backspace)
        return KeyEdit::DeletesBackward;
    if (event->matches(QKeySequence::Paste))
        return KeyEdit::Inserts;
    const QString text = event->text();
    if (!text.isEmpty() && (text.at(0).isPrint() || text.at(0) == QLatin1Char('\t')))
        return KeyEdit::Inserts;
    return KeyEdit::None;
}

// Enter runs the last line of the log, wherever the caret stands.
void CLogWindow::RunLastLine() {
    const QString command = document()->lastBlock().text().left(kCommandLength);
    history_.Add(command);
    ops_.Console(command.toStdString());
    BringUpToDate();
}

void CLogWindow::keyPressEvent(QKeyEvent* event) {
    // Typed characters go after every line logged before the key.
    BringUpToDate();
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        RunLastLine();
        return;
    case Qt::Key_Left:
        if (textCursor().positionInBlock() > 0)
            QPlainTextEdit::keyPressEvent(event);
        return;
    case Qt::Key_Up:
        ReplaceCommand(history_.Back());
        return;
    case Qt::Key_Down:
        ReplaceCommand(history_.Forward());
        return;
    default:
        break;
    }
    // Only the command on the last line can change: typing elsewhere goes to its end, and nothing
    // removes a character of a logged line or the line break that ends one.
    switch (EditOf(event)) {
    case KeyEdit::None:
        break;
    case KeyEdit::Refused:
        return;
    case KeyEdit::Inserts:
        if (!SelectionInCommand())
            MoveToCommandEnd();
        if (event->matches(QKeySequence::Paste)) {
            Paste();
            return;
        }
        MakeRoomFor(static_cast<int>(event->text().size()));
        break;
    case KeyEdit::DeletesBackward:
        if (!SelectionInCommand() ||
            (!textCursor().hasSelection() && textCursor().position() == CommandStart()))
            return;
        break;
    case KeyEdit::DeletesForward:
        if (!SelectionInCommand())
            return;
        break;
    }
    QPlainTextEdit::keyPressEvent(event);
}

// Composed input (dead keys, input methods) goes to the command like typed characters.
void CLogWindow::inputMethodEvent(QInputMethodEvent* event) {
    if (!SelectionInCommand())
        MoveToCommandEnd();
    QPlainTextEdit::inputMethodEvent(event);
}

// A log that showed its newest line keeps it in view when a page switch or a view takes room from
// it; one scrolled up stays where the user left it.
void CLogWindow::resizeEvent(QResizeEvent* event) {
    QScrollBar* bar = verticalScrollBar();
    const bool atEnd = bar->value() >= bar->maximum();
    QPlainTextEdit::resizeEvent(event);
    if (atEnd)
        bar->setValue(bar->maximum());
}

void CLogWindow::keyReleaseEvent(QKeyEvent* event) {
    event->accept();
}

// The mouse neither moves the caret nor selects; only the keyboard edits the log.
void CLogWindow::mousePressEvent(QMouseEvent* event) {
    event->accept();
}
void CLogWindow::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
}
void CLogWindow::mouseDoubleClickEvent(QMouseEvent* event) {
    event->accept();
}
void CLogWindow::mouseMoveEvent(QMouseEvent* event) {
    event->accept();
}
void CLogWindow::contextMenuEvent(QContextMenuEvent* event) {
    event->accept();
}

// A drop would move the caret, and later log lines would land where the text was dropped.
void CLogWindow::dragEnterEvent(QDragEnterEvent* event) {
    event->ignore();
}
void CLogWindow::dragMoveEvent(QDragMoveEvent* event) {
    event->ignore();
}
void CLogWindow::dropEvent(QDropEvent* event) {
    event->ignore();
}

} // namespace tarsion
