#include "app/LogWindow.h"

#include "ops/BoardOperations.h"

#include <QDropEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QScrollBar>
#include <QTextBlock>

#include <algorithm>
#include <optional>
#include <utility>
#include <vector>

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

// Appends the queued lines as the window would have appended them one by one, in one insertion: a
// line that did not fit would have trimmed the log first, so the trims of the whole queue become
// one removal of the oldest lines, and lines that would have been trimmed away are never inserted.
void CLogWindow::AppendPending() {
    const QStringList lines = std::exchange(pending_, {});
    pendingLength_ = 0;
    const std::optional<qsizetype> keptFrom = TrimPoint(lines);
    const QString text = lines.join(QString());
    if (!keptFrom) {
        Insert(text);
        return;
    }
    QTextDocument* log = document();
    const qsizetype logEnd = log->characterCount() - 1;
    QScrollBar* bar = verticalScrollBar();
    const int firstVisible = bar->value();
    const bool followed = firstVisible >= bar->maximum();
    const int linesBefore = log->blockCount();
    log->setUndoRedoEnabled(false);
    QTextCursor cursor(log);
    cursor.setPosition(static_cast<int>(std::min(*keptFrom, logEnd)), QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
    // A log scrolled up keeps showing the lines it showed, or its oldest when they were dropped.
    const int keptFirstVisible = std::max(0, firstVisible - (linesBefore - log->blockCount()));
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(text.mid(std::max<qsizetype>(0, *keptFrom - logEnd)));
    log->setUndoRedoEnabled(true);
    // A trim puts the caret back on the command.
    setTextCursor(cursor);
    bar->setValue(followed ? bar->maximum() : keptFirstVisible);
}

// Where the kept text begins in the log followed by the queued lines, when the log is trimmed as it
// is for lines that come one at a time: before a line that does not fit, the oldest hundred lines
// go (all of the log when it holds no more), until it fits. Nothing when no line needs a trim.
std::optional<qsizetype> CLogWindow::TrimPoint(const QStringList& lines) const {
    const QTextDocument* log = document();
    // The lines of the log followed by those the queue begins: where each starts.
    int logLines = log->blockCount();
    std::vector<qsizetype> queuedStarts;
    const auto start = [&](int line) {
        return line < logLines ? static_cast<qsizetype>(log->findBlockByNumber(line).position())
                               : queuedStarts[static_cast<std::size_t>(line - logLines)];
    };
    int firstLine = 0;
    qsizetype end = log->characterCount() - 1;
    qsizetype length = LogLength();
    std::optional<qsizetype> keptFrom;
    for (const QString& line : lines) {
        const qsizetype lineLength = LengthInLog(line);
        while (length > 0 && length + lineLength > kCapacity) {
            const qsizetype from = keptFrom.value_or(0);
            if (logLines + std::ssize(queuedStarts) - firstLine > kTrimmedLines) {
                firstLine += kTrimmedLines;
                keptFrom = start(firstLine);
                // Each dropped line takes its two-character line break along.
                length -= *keptFrom - from + kTrimmedLines;
            } else {
                keptFrom = end;
                length = 0;
                logLines = 0;
                queuedStarts.assign(1, end);
                firstLine = 0;
            }
        }
        for (qsizetype at = line.indexOf(QLatin1Char('\n')); at >= 0;
             at = line.indexOf(QLatin1Char('\n'), at + 1))
            queuedStarts.push_back(end + at + 1);
        end += line.size();
        length += lineLength;
    }
    return keptFrom;
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
