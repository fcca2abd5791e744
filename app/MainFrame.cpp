#include "app/MainFrame.h"

#include "app/AppSettings.h"
#include "app/CompareView.h"
#include "app/HelpWindow.h"
#include "app/LogWindow.h"
#include "app/PatternImportDialog.h"
#include "app/StatusStrip.h"
#include "app/ViewSettingsStore.h"
#include "app/WindowLayout.h"
#include "ops/BoardOperations.h"
#include "pages/PageFactory.h"
#include "signal/SignalAnalysis.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <QScrollArea>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QTabBar>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>

namespace tarsion {

namespace {
const QString kTitlePrefix = QStringLiteral("Tessaric - ");
// Save (Ctrl+S) would write an empty file under the document's name, which may be a user's file.
const QString kNothingToSave =
    QStringLiteral("Nothing to save: Save Configuration stores the board's registers and memories");
constexpr int kStatusMessageMs = 10000;
constexpr int kPageHeight = 300;
constexpr int kLogHeight = 400;
constexpr int kLogLinesKept = 6;
} // namespace

CMainFrame::CMainFrame(CTarsionDoc& doc, CBoardOperations& ops, IUserPrompt& prompt, IFileChooser& files,
                       CAppSettings& settings, QWidget* parent)
    : QMainWindow(parent), doc_(doc), ops_(ops), settings_(settings), fileCommands_(ops, prompt, files) {
    setWindowIcon(QIcon(QStringLiteral(":/icons/tarsion.png")));

    auto* client = new QWidget(this);
    auto* layout = new QVBoxLayout(client);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    tabs_ = new QTabBar(client);
    tabs_->setExpanding(false);
    tabs_->setDrawBase(true);
    for (const QString& title : RegisterPageTitles())
        tabs_->addTab(title);
    splitter_ = new QSplitter(Qt::Vertical, client);
    splitter_->setChildrenCollapsible(false);
    page_ = CreateRegisterPage(0, PageContextFor(), splitter_);
    logWindow_ = new CLogWindow(doc_, ops_, splitter_);
    splitter_->addWidget(page_);
    splitter_->addWidget(logWindow_);
    // The page keeps its height; the log window takes what is left and any growth.
    splitter_->setStretchFactor(0, 0);
    splitter_->setStretchFactor(1, 1);
    splitter_->setSizes({kPageHeight, kLogHeight});
    // Only a drag emits this; the program's own setSizes does not.
    connect(splitter_, &QSplitter::splitterMoved, this, [this] {
        pageHeightChosen_ = true;
        chosenPageHeight_ = splitter_->sizes().value(0);
    });
    layout->addWidget(tabs_);
    layout->addWidget(splitter_, 1);
    setCentralWidget(client);
    logWindow_->setFocus();

    // A click on the tab already highlighted must still switch back after a toolbar switch.
    connect(tabs_, &QTabBar::currentChanged, this, &CMainFrame::ShowPage);
    connect(tabs_, &QTabBar::tabBarClicked, this, &CMainFrame::ShowPage);
    focusWatch_ = connect(qApp, &QApplication::focusChanged, this,
                          [this](QWidget*, QWidget* now) { OnFocusChanged(now); });

    CreateMenus();
    CreateToolBar();
    CreateShortcuts();
    statusBar()->showMessage(QString());
    status_ = new CStatusStrip(doc_, ops_.Link(), *statusBar());
    connect(status_, &CStatusStrip::demoChanged, this, &CMainFrame::UpdateWindowTitle);
    connect(&recentFiles_, &CRecentFileList::changed, this, &CMainFrame::RebuildRecentFileEntries);
    RebuildRecentFileEntries();
    SetDocumentTitle(QString::fromLatin1(CTarsionDoc::kDefaultTitle));
    UpdateEditActions();
}

CMainFrame::~CMainFrame() {
    // Destroying the children moves the focus; the handler must not see a half-destroyed window.
    disconnect(focusWatch_);
}

QAction& CMainFrame::Action(const QString& objectName) const {
    auto* action = findChild<QAction*>(objectName);
    Q_ASSERT(action);
    return *action;
}

void CMainFrame::SetDocumentTitle(const QString& title) {
    documentTitle_ = title;
    UpdateWindowTitle();
}

void CMainFrame::SetBoardId(const QString& boardId) {
    boardId_ = boardId;
    status_->SetBoardId(boardId);
    UpdateWindowTitle();
}

// "Tessaric - " and the document title, then the board's id in brackets when known (a station runs
// one window per board) and demo mode.
void CMainFrame::UpdateWindowTitle() {
    QString title = kTitlePrefix + documentTitle_;
    if (!boardId_.isEmpty())
        title += QStringLiteral(" [%1]").arg(boardId_);
    if (status_ && status_->Demo())
        title += QStringLiteral(" — DEMO MODE");
    setWindowTitle(title);
}

void CMainFrame::OpenDocument(const QString& path) {
    const QFileInfo file(path);
    SetDocumentTitle(file.fileName());
    recentFiles_.Add(file.absoluteFilePath());
}

void CMainFrame::SetRecordingIndicator(bool recording) {
    QAction& item = Action(QStringLiteral("startRecording"));
    item.setCheckable(recording);
    item.setChecked(recording);
    item.setText(recording ? QStringLiteral("Recording") : QStringLiteral("Start Recording"));
    status_->Refresh();
}

PageContext CMainFrame::PageContextFor() {
    return {doc_, ops_, [this](ImportPreview preview) {
                return ReviewImport(std::move(preview), DataClkHz(doc_.Shadow()), this);
            }};
}

void CMainFrame::ShowPage(int index) {
    if (index < 0 || index >= kPages)
        index = 0;
    if (index == currentPage_)
        return;
    // Taking the focus off the page commits an edit typed into and not yet entered.
    if (QWidget* focus = QApplication::focusWidget(); focus && page_->isAncestorOf(focus))
        focus->clearFocus();
    const QList<int> sizes = splitter_->sizes();
    delete page_;
    page_ = CreateRegisterPage(index, PageContextFor(), splitter_);
    splitter_->insertWidget(0, page_);
    currentPage_ = index;
    // A restored position is known in pixels only once the window was laid out: at the first switch.
    if (pageHeightChosen_)
        chosenPageHeight_ = chosenPageHeight_.value_or(sizes.value(0));
    FitPage();
    ActivatePane(false);
    if (paneMarked_)
        MarkActivePane();
}

void CMainFrame::StepPage(int step) {
    const int index = ((currentPage_ + step) % kPages + kPages) % kPages;
    tabs_->setCurrentIndex(index);
    ShowPage(index);
}

bool CMainFrame::RestoreLayout() {
    pageHeightChosen_ = CWindowLayout::Restore(settings_, *this, *splitter_);
    return pageHeightChosen_;
}

// A scroll area's own size hint stops at 24 lines of text, less than most pages need: the height
// of its controls is that of the widget it scrolls.
int CMainFrame::NeededPageHeight() const {
    const auto* scroll = qobject_cast<const QScrollArea*>(page_);
    if (!scroll || !scroll->widget())
        return page_->sizeHint().height();
    return scroll->widget()->sizeHint().height() + 2 * scroll->frameWidth();
}

void CMainFrame::FitPage() {
    // The log keeps a few lines in view however tall the page would like to be.
    const int logLeast =
        logWindow_->fontMetrics().lineSpacing() * kLogLinesKept + logWindow_->minimumSizeHint().height();
    const int room = splitter_->height() - splitter_->handleWidth() - logLeast;
    // The page gets what its controls need, or the height the user chose when that is more.
    int wanted = NeededPageHeight();
    if (pageHeightChosen_) {
        chosenPageHeight_ = chosenPageHeight_.value_or(splitter_->sizes().value(0));
        wanted = std::max(wanted, *chosenPageHeight_);
    }
    if (room <= 0) {
        splitter_->setSizes({wanted, kLogHeight});
        return;
    }
    const int height = std::min(wanted, room);
    splitter_->setSizes({height, splitter_->height() - splitter_->handleWidth() - height});
}

void CMainFrame::OnFocusChanged(QWidget* now) {
    if (!now || !isAncestorOf(now))
        return;
    if (now == logWindow_)
        logWindowActive_ = true;
    else if (now == page_ || page_->isAncestorOf(now))
        logWindowActive_ = false;
    UpdateEditActions();
}

void CMainFrame::UpdateEditActions() {
    for (const char* name : {"editUndo", "editCut", "editCopy", "editPaste", "filePrint"})
        Action(QString::fromLatin1(name)).setEnabled(logWindowActive_);
    // Ctrl+Z is shown beside the item it performs: the log's Undo only while the log has the focus.
    const bool inLog = QApplication::focusWidget() == logWindow_;
    QAction& undo = Action(QStringLiteral("editUndo"));
    undo.setText(inLog ? QStringLiteral("&Undo\tCtrl+Z") : QStringLiteral("&Undo"));
    undo.setShortcuts(inLog ? QList<QKeySequence>{QKeySequence(QStringLiteral("Alt+Backspace"))}
                            : QList<QKeySequence>{});
    UpdateRegisterUndo();
}

void CMainFrame::ActivatePane(bool logWindow) {
    if (logWindow) {
        logWindow_->setFocus();
    } else {
        // A page without focusable controls still has to be able to hold the focus.
        if (page_->focusPolicy() == Qt::NoFocus)
            page_->setFocusPolicy(Qt::ClickFocus);
        page_->setFocus();
    }
    logWindowActive_ = logWindow;
    UpdateEditActions();
}

void CMainFrame::MarkActivePane() {
    if (!std::exchange(paneMarked_, true))
        splitter_->setStyleSheet(QStringLiteral(
            "QAbstractScrollArea[activePane=\"true\"] { border: 2px solid palette(highlight); }"));
    for (QWidget* pane : {static_cast<QWidget*>(logWindow_), page_}) {
        pane->setProperty("activePane", (pane == logWindow_) == logWindowActive_);
        pane->style()->unpolish(pane);
        pane->style()->polish(pane);
    }
    if (logWindowActive_)
        return;
    const QList<QWidget*> controls = page_->findChildren<QWidget*>();
    const auto first = std::find_if(controls.begin(), controls.end(), [](const QWidget* control) {
        return control->isVisible() && control->isEnabled() && (control->focusPolicy() & Qt::TabFocus);
    });
    if (first != controls.end())
        (*first)->setFocus(Qt::TabFocusReason);
}

void CMainFrame::SaveConfiguration() {
    const std::optional<QString> path = fileCommands_.SaveConfiguration();
    if (!path)
        return;
    recentFiles_.Add(*path);
    SetDocumentTitle(QStringLiteral("TRM90627:  ") + *path);
}

void CMainFrame::Open() {
    if (const std::optional<QString> path = fileCommands_.ChooseDocument())
        OpenDocument(*path);
}

void CMainFrame::SaveDocument() {
    statusBar()->showMessage(kNothingToSave, kStatusMessageMs);
}

QPrinter& CMainFrame::Printer() {
    if (!printer_)
        printer_ = std::make_unique<QPrinter>();
    return *printer_;
}

void CMainFrame::Print() {
    QPrintDialog dialog(&Printer(), this);
    if (dialog.exec() == QDialog::Accepted)
        logWindow_->print(&Printer());
}

void CMainFrame::PrintSetup() {
    QPageSetupDialog dialog(&Printer(), this);
    dialog.exec();
}

void CMainFrame::ShowHelp() {
    if (!help_)
        help_ = new CHelpWindow(this);
    help_->show();
    help_->raise();
    help_->activateWindow();
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    // The next run starts from the height the user chose, not from what the last page needed.
    if (pageHeightChosen_ && chosenPageHeight_) {
        const QList<int> sizes = splitter_->sizes();
        const int total = sizes.value(0) + sizes.value(1);
        splitter_->setSizes({*chosenPageHeight_, std::max(total - *chosenPageHeight_, 0)});
    }
    CWindowLayout::Save(settings_, *this, *splitter_);
    if (compareView_)
        settings_.WriteBytes(QStringLiteral("CompareColumns"), compareView_->ColumnWidths());
    settings_.WriteInt(QStringLiteral("x"), pos().x());
    settings_.WriteInt(QStringLiteral("y"), pos().y());
    event->accept();
    emit closed();
}

} // namespace tarsion
