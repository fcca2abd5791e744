#include "app/AboutDialog.h"
#include "app/LogWindow.h"
#include "app/MainFrame.h"
#include "app/ViewSettingsStore.h"
#include "ops/BoardOperations.h"
#include "views/SignalViewMenu.h"

#include <QAction>
#include <QEvent>
#include <QMenuBar>
#include <QToolBar>
#include <QWhatsThis>

namespace tarsion {

namespace {
// Toolbar buttons carry status-bar prompts but no tool tips.
class NoToolTips final : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject*, QEvent* event) override { return event->type() == QEvent::ToolTip; }
};
} // namespace

// `prompt` is the status-bar text, optionally followed by "\n" and the tool tip.
QAction* CMainFrame::AddAction(QMenu* menu, const QString& name, const QString& text, const QString& prompt) {
    auto* action = new QAction(text, this);
    action->setObjectName(name);
    action->setStatusTip(prompt.section(QLatin1Char('\n'), 0, 0));
    action->setToolTip(prompt.section(QLatin1Char('\n'), 1, 1));
    if (menu)
        menu->addAction(action);
    else
        addAction(action);
    return action;
}

void CMainFrame::CreateMenus() {
    CreateFileMenu();
    CreateEditMenu();
    viewMenu_ = menuBar()->addMenu(QStringLiteral("&View"));
    viewSettings_ = std::make_unique<CViewSettingsStore>(settings_);
    signalViews_ = new CSignalViewMenu(*this, doc_, ops_, *viewSettings_, *viewMenu_);
    CreateDumpMenu();
    CreateActionsMenu();
    CreateHelpMenu();
}

void CMainFrame::CreateFileMenu() {
    fileMenu_ = menuBar()->addMenu(QStringLiteral("&File"));
    connect(AddAction(fileMenu_, QStringLiteral("runScript"), QStringLiteral("Run Script"),
                      QStringLiteral("Runs a Java or Vb Script using Windows Scripting Host")),
            &QAction::triggered, this, &CMainFrame::runScriptRequested);
    connect(AddAction(fileMenu_, QStringLiteral("newScript"), QStringLiteral("New Script"),
                      QStringLiteral("opens notepad for editing a new Jscript, or VBscript")),
            &QAction::triggered, this, &CMainFrame::newScriptRequested);
    connect(AddAction(fileMenu_, QStringLiteral("startRecording"), QStringLiteral("Start Recording"),
                      QStringLiteral("opens a file and then records actions pertaining to board access")),
            &QAction::triggered, this, &CMainFrame::recordingToggled);
    connect(
        AddAction(fileMenu_, QStringLiteral("saveConfiguration"), QStringLiteral("Save Configuration"),
                  QStringLiteral("Saves 90627 Registers, CPLD Registers, and all Memory Contents inta a Java "
                                 "Script")),
        &QAction::triggered, this, &CMainFrame::SaveConfiguration);
    connect(AddAction(fileMenu_, QStringLiteral("loadConfiguration"), QStringLiteral("Load Configuration"),
                      QStringLiteral("Runs a Java Script File that sets up the TRM90627 and the Board")),
            &QAction::triggered, this, &CMainFrame::loadConfigurationRequested);
    fileMenu_->addSeparator();
    recentFilesEnd_ = fileMenu_->addSeparator();

    QAction* print = AddAction(fileMenu_, QStringLiteral("filePrint"), QStringLiteral("&Print...\tCtrl+P"),
                               QStringLiteral("Prints whatever is in the Log Window"));
    print->setShortcut(QKeySequence(QStringLiteral("Ctrl+P")));
    connect(print, &QAction::triggered, this, &CMainFrame::Print);
    connect(AddAction(fileMenu_, QStringLiteral("printSetup"), QStringLiteral("P&rint Setup..."),
                      QStringLiteral("Change the printer and printing options\nPrint Setup")),
            &QAction::triggered, this, &CMainFrame::PrintSetup);
    fileMenu_->addSeparator();
    connect(AddAction(fileMenu_, QStringLiteral("appExit"), QStringLiteral("E&xit"),
                      QStringLiteral("Quit the application; prompts to save documents\nExit")),
            &QAction::triggered, this, &QWidget::close);
}

void CMainFrame::RebuildRecentFileEntries() {
    qDeleteAll(recentFileEntries_);
    recentFileEntries_.clear();
    const QStringList& files = recentFiles_.Files();
    if (files.isEmpty()) {
        auto* placeholder = new QAction(QStringLiteral("Recent File"), this);
        placeholder->setEnabled(false);
        recentFileEntries_.append(placeholder);
    }
    for (int i = 0; i < files.size(); ++i) {
        auto* entry = new QAction(QStringLiteral("&%1 %2").arg(i + 1).arg(files[i]), this);
        entry->setStatusTip(QStringLiteral("Open this document"));
        connect(entry, &QAction::triggered, this, [this, path = files[i]] { emit recentFileChosen(path); });
        recentFileEntries_.append(entry);
    }
    fileMenu_->insertActions(recentFilesEnd_, recentFileEntries_);
}

void CMainFrame::CreateEditMenu() {
    QMenu* menu = menuBar()->addMenu(QStringLiteral("&Edit"));
    editMenu_ = menu;
    struct EditItem {
        const char* name;
        const char* text;
        const char* prompt;
        QList<QKeySequence> keys;
        void (CLogWindow::*slot)();
    };
    const EditItem items[] = {
        {"editUndo",
         "&Undo\tCtrl+Z",
         "Undo the last action\nUndo",
         // The log window takes Ctrl+Z itself; as a shortcut of the window it would clash with the
         // register Undo's wherever the focus is outside a text entry.
         {QKeySequence(QStringLiteral("Alt+Backspace"))},
         &QPlainTextEdit::undo},
        {"editCut",
         "Cu&t\tCtrl+X",
         "Cut the selection and put it on the Clipboard\nCut",
         {QKeySequence(QStringLiteral("Ctrl+X")), QKeySequence(QStringLiteral("Shift+Del"))},
         &CLogWindow::Cut},
        {"editCopy",
         "&Copy\tCtrl+C",
         "Copy the selection and put it on the Clipboard\nCopy",
         {QKeySequence(QStringLiteral("Ctrl+C")), QKeySequence(QStringLiteral("Ctrl+Ins"))},
         &QPlainTextEdit::copy},
        {"editPaste",
         "&Paste\tCtrl+V",
         "Insert Clipboard contents\nPaste",
         {QKeySequence(QStringLiteral("Ctrl+V")), QKeySequence(QStringLiteral("Shift+Ins"))},
         &CLogWindow::Paste},
    };
    for (const EditItem& item : items) {
        QAction* action = AddAction(menu, QString::fromLatin1(item.name), QString::fromLatin1(item.text),
                                    QString::fromLatin1(item.prompt));
        action->setShortcuts(item.keys);
        connect(action, &QAction::triggered, logWindow_, item.slot);
    }
}

void CMainFrame::CreateDumpMenu() {
    QMenu* menu = menuBar()->addMenu(QStringLiteral("&Dump"));
    dumpMenu_ = menu;
    AddAction(menu, QStringLiteral("dumpExternalMemory"), QStringLiteral("External Memory"),
              QStringLiteral("Dumps contents of external memory into a file"))
        ->setEnabled(false);
    connect(AddAction(menu, QStringLiteral("dumpICoefficientRam"), QStringLiteral("I Coefficient RAM"),
                      QStringLiteral("Dumps contents of I Coefficient RAM into a file")),
            &QAction::triggered, this, [this] { fileCommands_.DumpCoefficientRam(0); });
    connect(AddAction(menu, QStringLiteral("dumpQCoefficientRam"), QStringLiteral("Q Coefficient RAM"),
                      QStringLiteral("Dumps contents of Q Coefficient RAM into a file")),
            &QAction::triggered, this, [this] { fileCommands_.DumpCoefficientRam(1); });
    connect(AddAction(menu, QStringLiteral("dumpConstellationRam"), QStringLiteral("Constellation RAM"),
                      QStringLiteral("Dumps contents of Constellation RAM into a file")),
            &QAction::triggered, this, [this] { fileCommands_.DumpConstellationRam(); });
    AddAction(menu, QStringLiteral("dumpFifo"), QStringLiteral("FIFO"),
              QStringLiteral("Dumps Fifo contents into a file"))
        ->setEnabled(false);
}

void CMainFrame::CreateActionsMenu() {
    QMenu* menu = menuBar()->addMenu(QStringLiteral("&Actions"));
    // Results go to the log only.
    connect(AddAction(menu, QStringLiteral("softReset"), QStringLiteral("Soft Reset"),
                      QStringLiteral("Asserts SoftReset bit in 90627 for 100 ms")),
            &QAction::triggered, this, [this] { ops_.SoftReset(); });
    connect(AddAction(menu, QStringLiteral("boardReset"), QStringLiteral("Board Reset"),
                      QStringLiteral("Asserts Parallel port Reset pin 100 ms")),
            &QAction::triggered, this, [this] { ops_.Reset(); });
    connect(AddAction(menu, QStringLiteral("sendMemoryData"), QStringLiteral("Send Memory Data"),
                      QStringLiteral("Sends Pattern from external memory to 90627")),
            &QAction::triggered, this, [this] { ops_.Send(); });
    connect(AddAction(menu, QStringLiteral("stopSending"), QStringLiteral("Stop Sending"),
                      QStringLiteral("Stops Sending Pattern from memory")),
            &QAction::triggered, this, [this] { ops_.Stop(); });
}

void CMainFrame::CreateHelpMenu() {
    QMenu* menu = menuBar()->addMenu(QStringLiteral("&Help"));
    QAction* topics = AddAction(menu, QStringLiteral("helpTopics"), QStringLiteral("&Help Topics"),
                                QStringLiteral("List Help topics\nHelp Topics"));
    topics->setShortcut(QKeySequence(Qt::Key_F1));
    connect(topics, &QAction::triggered, this, &CMainFrame::ShowHelp);
    menu->addSeparator();
    connect(AddAction(menu, QStringLiteral("appAbout"), QStringLiteral("&About Tarsion..."),
                      QStringLiteral("Display program information, version number and copyright\nAbout")),
            &QAction::triggered, this, [this] { CAboutDialog(this).exec(); });
}

void CMainFrame::CreateToolBar() {
    QToolBar* bar = addToolBar(QStringLiteral("Standard"));
    bar->setObjectName(QStringLiteral("mainToolBar"));
    bar->setMovable(true);
    QAction* console = AddAction(nullptr, QStringLiteral("consoleView"), QStringLiteral("Console View"),
                                 QStringLiteral("Changes to Console View"));
    console->setIcon(QIcon(QStringLiteral(":/icons/console-view.png")));
    QAction* registers = AddAction(nullptr, QStringLiteral("registersView"), QStringLiteral("Registers View"),
                                   QStringLiteral("Changes to Registers View"));
    registers->setIcon(QIcon(QStringLiteral(":/icons/registers-view.png")));
    bar->addAction(console);
    bar->addAction(registers);
    // The tab strip keeps its selection.
    connect(console, &QAction::triggered, this, [this] { ShowPage(0); });
    connect(registers, &QAction::triggered, this, [this] { ShowPage(1); });
    auto* filter = new NoToolTips(bar);
    for (QAction* action : {console, registers})
        bar->widgetForAction(action)->installEventFilter(filter);
}

void CMainFrame::CreateShortcuts() {
    QAction* newAction = AddAction(nullptr, QStringLiteral("fileNew"), QStringLiteral("New"), QString());
    newAction->setShortcut(QKeySequence(QStringLiteral("Ctrl+N")));
    connect(newAction, &QAction::triggered, this, [this] {
        if (logWindowActive_)
            logWindow_->WriteCapacityNote();
        else
            emit newDocumentRequested();
    });
    QAction* open = AddAction(nullptr, QStringLiteral("fileOpen"), QStringLiteral("Open"), QString());
    open->setShortcut(QKeySequence(QStringLiteral("Ctrl+O")));
    connect(open, &QAction::triggered, this, &CMainFrame::Open);
    QAction* save = AddAction(nullptr, QStringLiteral("fileSave"), QStringLiteral("Save"), QString());
    save->setShortcut(QKeySequence(QStringLiteral("Ctrl+S")));
    connect(save, &QAction::triggered, this, &CMainFrame::SaveDocument);
    QAction* nextPane =
        AddAction(nullptr, QStringLiteral("nextPane"), QStringLiteral("Next Pane"), QString());
    nextPane->setShortcuts({QKeySequence(Qt::Key_F6), QKeySequence(QStringLiteral("Shift+F6"))});
    connect(nextPane, &QAction::triggered, this, [this] {
        ActivatePane(!logWindowActive_);
        MarkActivePane();
    });
    QAction* nextPage =
        AddAction(nullptr, QStringLiteral("nextPage"), QStringLiteral("Next Page"), QString());
    nextPage->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Tab), QKeySequence(Qt::CTRL | Qt::Key_PageDown)});
    connect(nextPage, &QAction::triggered, this, [this] { StepPage(1); });
    QAction* previousPage =
        AddAction(nullptr, QStringLiteral("previousPage"), QStringLiteral("Previous Page"), QString());
    // Shift turns Tab into Backtab.
    previousPage->setShortcuts({QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab),
                                QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Tab),
                                QKeySequence(Qt::CTRL | Qt::Key_PageUp)});
    connect(previousPage, &QAction::triggered, this, [this] { StepPage(-1); });
    QAction* contextHelp =
        AddAction(nullptr, QStringLiteral("contextHelp"), QStringLiteral("Context Help"), QString());
    contextHelp->setShortcut(QKeySequence(QStringLiteral("Shift+F1")));
    connect(contextHelp, &QAction::triggered, this, [] { QWhatsThis::enterWhatsThisMode(); });
}

} // namespace tarsion
