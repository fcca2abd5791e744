#include "app/AppSettings.h"
#include "app/CompareView.h"
#include "app/FieldFinder.h"
#include "app/FileChooser.h"
#include "app/LogWindow.h"
#include "app/MainFrame.h"
#include "app/StatusStrip.h"
#include "base/ReplacementFile.h"
#include "ops/BoardOperations.h"
#include "registers/RegisterExport.h"
#include "registers/RegisterSession.h"

#include <QAbstractSpinBox>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDockWidget>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QScrollArea>
#include <QTabBar>
#include <QTextEdit>

namespace tarsion {

void CMainFrame::AttachRegisters(CRegisterSession& session) {
    registers_ = &session;
    editMenu_->addSeparator();
    connect(AddAction(editMenu_, QStringLiteral("takeSnapshot"), QStringLiteral("Take &Snapshot..."),
                      QStringLiteral("Keeps the register values and memory settings for comparing later")),
            &QAction::triggered, this, [this] { compareView_->TakeSnapshot(); });
    registerUndo_ =
        AddAction(editMenu_, QStringLiteral("registerUndo"), QStringLiteral("Undo Register Write"),
                  QStringLiteral("Writes the register's previous value back"));
    registerRedo_ =
        AddAction(editMenu_, QStringLiteral("registerRedo"), QStringLiteral("Redo Register Write"),
                  QStringLiteral("Writes the undone register value again"));
    connect(registerUndo_, &QAction::triggered, this, [this] { UndoOrRedoRegisterWrite(true); });
    connect(registerRedo_, &QAction::triggered, this, [this] { UndoOrRedoRegisterWrite(false); });
    QAction* find =
        AddAction(editMenu_, QStringLiteral("findField"), QStringLiteral("&Find Field...\tCtrl+F"),
                  QStringLiteral("Finds a register field on the pages by name or address"));
    find->setShortcut(QKeySequence(QStringLiteral("Ctrl+F")));
    connect(find, &QAction::triggered, this, &CMainFrame::FindField);

    compareView_ = new CCompareView(session, ops_, fileCommands_.Files(), this);
    compareView_->RestoreColumnWidths(settings_.ReadBytes(QStringLiteral("CompareColumns")));
    connect(compareView_, &CCompareView::goToField, this, &CMainFrame::GoToField);
    auto* dock = new QDockWidget(QStringLiteral("Compare"), this);
    dock->setObjectName(QStringLiteral("viewCompareDock"));
    dock->setAllowedAreas(Qt::RightDockWidgetArea | Qt::BottomDockWidgetArea);
    dock->setWidget(compareView_);
    addDockWidget(Qt::RightDockWidgetArea, dock);
    dock->hide();
    QAction* toggle = dock->toggleViewAction();
    toggle->setObjectName(QStringLiteral("viewCompare"));
    toggle->setText(QStringLiteral("Compare"));
    toggle->setStatusTip(
        QStringLiteral("Shows the differences between the board, snapshots and configurations"));
    viewMenu_->addAction(toggle);

    dumpMenu_->addSeparator();
    connect(AddAction(dumpMenu_, QStringLiteral("exportCHeader"), QStringLiteral("Registers as C Header..."),
                      QStringLiteral("Writes the chip registers as a C array with field comments")),
            &QAction::triggered, this, [this] { ExportRegisters(true); });
    connect(AddAction(dumpMenu_, QStringLiteral("exportHexListing"),
                      QStringLiteral("Registers as Hex Listing..."),
                      QStringLiteral("Writes every register as a plain hexadecimal listing")),
            &QAction::triggered, this, [this] { ExportRegisters(false); });

    session.Journal().SetChangeHandler([this] {
        compareView_->JournalChanged();
        registerUndoPacer_.MarkStale();
        registerUndoPacer_.Settle(true);
    });
    UpdateRegisterUndo();
}

void CMainFrame::UpdateRegisterUndo() {
    registerUndoPacer_.MarkUpToDate();
    if (!registers_)
        return;
    CRegisterJournal& journal = registers_->Journal();
    registerUndo_->setEnabled(journal.CanUndo());
    registerRedo_->setEnabled(journal.CanRedo());
    registerUndo_->setText(journal.CanUndo() ? QString::fromStdString(journal.UndoText())
                                             : QStringLiteral("Undo Register Write"));
    registerRedo_->setText(journal.CanRedo() ? QString::fromStdString(journal.RedoText())
                                             : QStringLiteral("Redo Register Write"));
    // In a text entry (the log window, a page's edit) Ctrl+Z and Ctrl+Shift+Z stay the entry's own;
    // anywhere else (a page's buttons, the Compare view) they undo and redo register writes, and the
    // menu shows them beside these items.
    static const QKeySequence undoKey(QStringLiteral("Ctrl+Z"));
    static const QList<QKeySequence> redoKeys{QKeySequence(QStringLiteral("Ctrl+Shift+Z")),
                                              QKeySequence(QStringLiteral("Ctrl+Y"))};
    const bool inText = FocusInTextEntry();
    registerUndo_->setShortcut(inText ? QKeySequence() : undoKey);
    registerRedo_->setShortcuts(inText ? QList<QKeySequence>{} : redoKeys);
}

void CMainFrame::BringUpToDate() {
    logWindow_->BringUpToDate();
    status_->BringUpToDate();
    registerUndoPacer_.Flush();
    if (compareView_)
        compareView_->BringUpToDate();
}

bool CMainFrame::FocusInTextEntry() const {
    const QWidget* focus = QApplication::focusWidget();
    if (!focus)
        return false;
    if (const auto* combo = qobject_cast<const QComboBox*>(focus))
        return combo->isEditable();
    return qobject_cast<const QLineEdit*>(focus) || qobject_cast<const QAbstractSpinBox*>(focus) ||
           qobject_cast<const QPlainTextEdit*>(focus) || qobject_cast<const QTextEdit*>(focus);
}

void CMainFrame::UndoOrRedoRegisterWrite(bool undo) {
    if (!registers_ || ops_.IsBusy())
        return;
    CRegisterJournal& journal = registers_->Journal();
    if (undo)
        journal.Undo();
    else
        journal.Redo();
}

void CMainFrame::GoToField(int page, const QString& control) {
    tabs_->setCurrentIndex(page);
    ShowPage(page);
    auto* widget = page_->findChild<QWidget*>(control);
    if (!widget)
        return;
    if (auto* scroll = qobject_cast<QScrollArea*>(page_))
        scroll->ensureWidgetVisible(widget);
    widget->setFocus(Qt::ShortcutFocusReason);
}

void CMainFrame::FindField() {
    CFieldFinder finder(this);
    connect(&finder, &CFieldFinder::goToField, this, &CMainFrame::GoToField);
    finder.exec();
}

void CMainFrame::ExportRegisters(bool header) {
    const QString path =
        fileCommands_.Files().SaveFileName(header ? QStringLiteral("C Headers (*.h);;All Files (*)")
                                                  : QStringLiteral("Text Files (*.txt);;All Files (*)"),
                                           header ? QStringLiteral("h") : QStringLiteral("txt"), "");
    if (path.isEmpty())
        return;
    const CRegisterSnapshot snapshot = CRegisterSnapshot::Take(doc_, "Board");
    CReplacementFile file(path.toStdString());
    if (!file.IsOpen() ||
        !file.Commit(header ? RegistersAsCHeader(snapshot) : RegistersAsHexListing(snapshot))) {
        QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Tarsion"),
                        QStringLiteral("Could not write %1").arg(path), QMessageBox::Ok, this);
        box.exec();
    }
}

} // namespace tarsion
