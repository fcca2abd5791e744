#pragma once

#include "ops/TarsionDoc.h"
#include "pages/FramePacer.h"

#include <QObject>
#include <QString>

class QLabel;
class QStatusBar;

namespace tarsion {

class CBoardLink;

// The permanent fields of the status bar: the port in use, the board id when one is named,
// whether a board answers or the program runs in demo mode, the recording, and the load running.
// They follow the document: a change that settles refreshes them, at most once a frame while a
// script's operations stream in.
class CStatusStrip final : public QObject, public IDocumentObserver {
    Q_OBJECT
public:
    static constexpr const char* kBoardAnswers = "Board answers";
    static constexpr const char* kDemoMode = "DEMO MODE — no board: nothing reaches hardware";
    static constexpr const char* kNoAnswer = "No answer from the board";
    static constexpr const char* kNotRead = "Board not read yet";

    CStatusStrip(CTarsionDoc& doc, CBoardLink& link, QStatusBar& bar);
    ~CStatusStrip() override;

    void OnDocumentUpdate() override {}
    void OnDocumentSettled(bool operationEnded) override {
        pacer_.MarkStale();
        pacer_.Settle(operationEnded);
    }
    // Reads the port, the mode and the recording again.
    void Refresh();
    // Refreshes now if a change is still to be shown.
    void BringUpToDate() { pacer_.Flush(); }
    // The load or dump that shows its progress; empty once it has ended.
    void SetOperation(const QString& task);
    // Empty hides the field.
    void SetBoardId(const QString& id);

    bool Demo() const { return demo_; }
    const QLabel& PortField() const { return *port_; }
    const QLabel& BoardIdField() const { return *boardId_; }
    const QLabel& BoardField() const { return *board_; }
    const QLabel& RecordingField() const { return *recording_; }
    const QLabel& OperationField() const { return *operation_; }
    const QLabel& ClockField() const { return *clock_; }

signals:
    void demoChanged(bool demo);

private:
    CTarsionDoc& doc_;
    CBoardLink& link_;
    QLabel* port_;
    QLabel* boardId_;
    QLabel* board_;
    QLabel* recording_;
    QLabel* operation_;
    QLabel* clock_;
    bool demo_ = false;
    CFramePacer pacer_{[this] { Refresh(); }};
};

} // namespace tarsion
