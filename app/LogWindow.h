#pragma once

#include "app/CommandHistory.h"
#include "ops/TarsionDoc.h"
#include "pages/FramePacer.h"

#include <QPlainTextEdit>

#include <optional>

namespace tarsion {

class CBoardOperations;

// The log of everything done to the board and, on its last line, the console: a record in which
// only the command being typed can change and be undone. Log lines arrive
// through the document and wait in a queue until the window catches up (at most once a frame, at
// once before a key press and after a console command); Enter hands the last line to the console
// interpreter; Up and Down recall the last 20 commands. The mouse can neither place the caret nor
// select, nor drop text.
class CLogWindow final : public QPlainTextEdit, public IDocumentObserver {
    Q_OBJECT
public:
    // Characters the log holds, counting a line break as two as the log text writes it.
    static constexpr int kCapacity = 0xFFFFF;
    static constexpr int kTrimmedLines = 100;
    static constexpr int kCommandLength = 100;
    // A stream of operations scrolls the log faster than it can be read: ten frames a second show
    // it as well as more would, at less cost to the operations.
    static constexpr int kFrameMs = 100;

    CLogWindow(CTarsionDoc& doc, CBoardOperations& ops, QWidget* parent = nullptr);
    ~CLogWindow() override;

    void OnDocumentUpdate() override;
    void OnDocumentSettled(bool operationEnded) override { pacer_.Settle(operationEnded); }
    // Appends the lines that wait, in the order they came.
    void BringUpToDate() { pacer_.Flush(); }
    // The New command while the log window is active.
    void WriteCapacityNote();

    int LogLength() const;
    // The Edit menu's Cut and Paste: they reach the command only.
    void Cut();
    void Paste();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void AppendPending();
    std::optional<qsizetype> TrimPoint(const QStringList& lines) const;
    void Insert(const QString& text);
    void MakeRoomFor(int length);
    void DropOldestLines();
    void RunLastLine();
    enum class KeyEdit { None, Inserts, DeletesBackward, DeletesForward, Refused };
    static KeyEdit EditOf(QKeyEvent* event);
    // Where the command being typed begins: the start of the last line.
    int CommandStart() const;
    bool SelectionInCommand() const;
    void MoveToCommandEnd();
    void ReplaceCommand(const QString& text);

    CTarsionDoc& doc_;
    CBoardOperations& ops_;
    CCommandHistory history_;
    // Lines logged and not yet shown, with their length in the units of LogLength().
    QStringList pending_;
    qsizetype pendingLength_ = 0;
    CFramePacer pacer_{[this] { AppendPending(); }, nullptr, kFrameMs};
};

} // namespace tarsion
