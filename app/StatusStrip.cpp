#include "app/StatusStrip.h"

#include "board/BoardLink.h"

#include <QFileInfo>
#include <QLabel>
#include <QStatusBar>

#include <optional>
#include <utility>

namespace tarsion {

namespace {
// Demo mode must not pass for a board: a Poke there answers "Done" as a real board would.
const QString kDemoStyle = QStringLiteral("QLabel { background: #c00000; color: white; font-weight: bold; "
                                          "padding: 0 6px; }");
const QString kNoAnswerStyle =
    QStringLiteral("QLabel { background: #f0a000; color: black; font-weight: bold; padding: 0 6px; }");
const QString kAnswersStyle = QStringLiteral("QLabel { padding: 0 6px; }");

QLabel* AddField(QStatusBar& bar, const char* name) {
    auto* field = new QLabel(&bar);
    field->setObjectName(QString::fromLatin1(name));
    field->setStyleSheet(kAnswersStyle);
    bar.addPermanentWidget(field);
    return field;
}

void SetField(QLabel& field, const QString& text) {
    if (field.text() != text)
        field.setText(text);
    field.setVisible(!text.isEmpty());
}
} // namespace

CStatusStrip::CStatusStrip(CTarsionDoc& doc, CBoardLink& link, QStatusBar& bar)
    : QObject(&bar), doc_(doc), link_(link), port_(AddField(bar, "statusPort")),
      boardId_(AddField(bar, "statusBoardId")), board_(AddField(bar, "statusBoard")),
      recording_(AddField(bar, "statusRecording")), operation_(AddField(bar, "statusOperation")),
      clock_(AddField(bar, "statusClock")) {
    SetField(*boardId_, QString());
    SetField(*operation_, QString());
    Refresh();
    doc_.AddObserver(this);
}

CStatusStrip::~CStatusStrip() {
    doc_.RemoveObserver(this);
}

void CStatusStrip::Refresh() {
    pacer_.MarkUpToDate();
    SetField(*port_, QString::fromStdString(link_.DescribePort()));
    const bool demo = link_.IsDemo();
    const std::optional<bool> answering = link_.Answering();
    const char* state = demo ? kDemoMode : !answering ? kNotRead : *answering ? kBoardAnswers : kNoAnswer;
    const QString& style = demo ? kDemoStyle : answering.value_or(true) ? kAnswersStyle : kNoAnswerStyle;
    if (board_->styleSheet() != style)
        board_->setStyleSheet(style);
    SetField(*board_, QString::fromUtf8(state));
    // The status bar squeezes its fields; this one must be read whole.
    board_->setMinimumWidth(board_->sizeHint().width());
    const std::string& recording = doc_.RecordingPath();
    SetField(*recording_, recording.empty() ? QString()
                                            : QStringLiteral("Recording ") +
                                                  QFileInfo(QString::fromStdString(recording)).fileName());
    // A new SysClk moves every frequency on the pages.
    SetField(*clock_, QString::fromStdString(doc_.clockChange));
    if (std::exchange(demo_, demo) != demo)
        emit demoChanged(demo);
}

void CStatusStrip::SetOperation(const QString& task) {
    SetField(*operation_, task);
}

void CStatusStrip::SetBoardId(const QString& id) {
    SetField(*boardId_, id.isEmpty() ? QString() : QStringLiteral("Board ") + id);
}

} // namespace tarsion
