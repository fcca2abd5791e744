#include "MainFrame.h"

#include "AppSettings.h"
#include "HelpWindow.h"
#include "LogWindow.h"
#include "pages/PageFactory.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <QSplitter>
#include <QStatusBar>
#include <QTabBar>
#include <QVBoxLayout>

namespace tarsion {

namespace {
const QString kTitlePrefix = QStringLiteral("Tessaric - ");
// Save (Ctrl+S) would write an empty file under the document's name, which may be a user's file.
const QString kNothingToSave =
    QStringLiteral("Nothing to save: Save Configuration stores the board's registers and memories");
constexpr int kStatusMessageMs = 10000;
constexpr int kPageHeight = 300;
constexpr int kLogHeight = 400;
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
    page_ = CreateRegisterPage(0, PageContext{doc_, ops_}, splitter_);
    logWindow_ = new CLogWindow(doc_, ops_, splitter_);
    splitter_->addWidget(page_);
    splitter_->addWidget(logWindow_);
    // The page keeps its height; the log window takes what is left and any growth.
    splitter_->setStretchFactor(0, 0);
    splitter_->setStretchFactor(1, 1);
    splitter_->setSizes({kPageHeight, kLogHeight});
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
    // A station runs one window per board.
    setWindowTitle(kTitlePrefix + title +
                   (boardId_.isEmpty() ? QString() : QStringLiteral(" [%1]").arg(boardId_)));
}

void CMainFrame::SetBoardId(const QString& boardId) {
    boardId_ = boardId;
    SetDocumentTitle(documentTitle_);
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
}

void CMainFrame::ShowPage(int index) {
    if (index < 0 || index >= kPages)
        index = 0;
    if (index == currentPage_)
        return;
    const QList<int> sizes = splitter_->sizes();
    // Taking the focus off the page commits an edit typed into and not yet entered.
    if (QWidget* focus = QApplication::focusWidget(); focus && page_->isAncestorOf(focus))
        focus->clearFocus();
    delete page_;
    page_ = CreateRegisterPage(index, PageContext{doc_, ops_}, splitter_);
    splitter_->insertWidget(0, page_);
    splitter_->setSizes(sizes);
    currentPage_ = index;
    ActivatePane(false);
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
    settings_.WriteInt(QStringLiteral("x"), pos().x());
    settings_.WriteInt(QStringLiteral("y"), pos().y());
    event->accept();
    emit closed();
}

} // namespace tarsion
