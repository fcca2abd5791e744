#pragma once

#include "app/FileCommands.h"
#include "app/RecentFileList.h"
#include "pages/FramePacer.h"
#include "pages/PageFactory.h"

#include <QMainWindow>
#include <QPointer>

#include <memory>
#include <optional>

class QAction;
class QMenu;
class QPrinter;
class QSplitter;
class QTabBar;

namespace tarsion {

class CAppSettings;
class CBoardOperations;
class CCompareView;
class CHelpWindow;
class CLogWindow;
class CRegisterSession;
class CSignalViewMenu;
class CStatusStrip;
class CTarsionDoc;
class CViewSettingsStore;
class IFileChooser;
class IUserPrompt;

// The program's window: the tab strip of register pages above a splitter that holds the page on
// display and the log window, the menu bar, the toolbar and the status bar. Script commands are
// left to whoever connects to the signals below.
class CMainFrame final : public QMainWindow {
    Q_OBJECT
public:
    static constexpr int kPages = 6;

    CMainFrame(CTarsionDoc& doc, CBoardOperations& ops, IUserPrompt& prompt, IFileChooser& files,
               CAppSettings& settings, QWidget* parent = nullptr);
    ~CMainFrame() override;

    CLogWindow& LogWindow() { return *logWindow_; }
    QWidget* Page() const { return page_; }
    int CurrentPage() const { return currentPage_; }
    QTabBar& TabBar() { return *tabs_; }
    CRecentFileList& RecentFiles() { return recentFiles_; }
    CSignalViewMenu& SignalViews() { return *signalViews_; }
    CStatusStrip& Status() { return *status_; }
    // The log, the status bar, the Edit menu's register undo and the Compare view follow the
    // operations at most once a frame; this brings them up to date now.
    void BringUpToDate();
    QAction& Action(const QString& objectName) const;

    // Title: "Tessaric - " and the document title, then the board's id in brackets when known.
    void SetDocumentTitle(const QString& title);
    // The board's id, in the title and the status bar.
    void SetBoardId(const QString& boardId);
    // An opened document file (Open, or the command line): its name becomes the title and its full
    // path enters the recent-file list. Nothing is read from it.
    void OpenDocument(const QString& path);
    const QString& DocumentTitle() const { return documentTitle_; }
    // The Start Recording item reads "Recording" with a check mark while recording.
    void SetRecordingIndicator(bool recording);

    // Shows page `index` (outside 0..5: page 0) unless it is already shown.
    void ShowPage(int index);
    // The page after or before the one shown, wrapping around; the tab strip follows.
    void StepPage(int step);
    // Geometry, maximised state, open views and splitter of the last run, before the window shows;
    // true when the splitter position was among them.
    bool RestoreLayout();
    // The register page gets the height its controls need, or the height the user dragged it to
    // (or the last run left) when that is more, as far as the log keeps a few lines; the log takes
    // the rest. Every page switch does this.
    void FitPage();
    // Whether the log window is the active pane (Edit and Print act on it, New writes its note).
    bool LogWindowActive() const { return logWindowActive_; }

    // Snapshots, undo of register writes, the Compare view, find and export of the registers.
    void AttachRegisters(CRegisterSession& session);
    CCompareView* CompareView() const { return compareView_; }
    // Shows the page and gives the field's control the focus.
    void GoToField(int page, const QString& control);

signals:
    void runScriptRequested();
    void newScriptRequested();
    void loadConfigurationRequested();
    void recordingToggled();
    void recentFileChosen(const QString& path);
    // New with a register page active: the application's new-document step.
    void newDocumentRequested();
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    // What a new page works with; the Board page's imports are previewed in a dialog over the window.
    PageContext PageContextFor();
    void CreateMenus();
    void CreateFileMenu();
    void CreateEditMenu();
    void CreateDumpMenu();
    void CreateActionsMenu();
    void CreateHelpMenu();
    void CreateToolBar();
    void CreateShortcuts();
    void RebuildRecentFileEntries();
    QAction* AddAction(QMenu* menu, const QString& name, const QString& text, const QString& prompt);

    void OnFocusChanged(QWidget* now);
    void UpdateEditActions();
    void SaveConfiguration();
    void Open();
    void SaveDocument();
    void Print();
    void PrintSetup();
    void ShowHelp();
    void ActivatePane(bool logWindow);
    // After F6: the pane that has the focus is framed in the highlight colour, and on a page the
    // first control takes the focus with its focus frame.
    void MarkActivePane();
    int NeededPageHeight() const;
    void UpdateWindowTitle();
    QPrinter& Printer();
    void UpdateRegisterUndo();
    bool FocusInTextEntry() const;
    void UndoOrRedoRegisterWrite(bool undo);
    void ExportRegisters(bool header);
    void FindField();

    CTarsionDoc& doc_;
    CBoardOperations& ops_;
    CAppSettings& settings_;
    CFileCommands fileCommands_;
    CRecentFileList recentFiles_;
    QTabBar* tabs_ = nullptr;
    QSplitter* splitter_ = nullptr;
    QMetaObject::Connection focusWatch_;
    CLogWindow* logWindow_ = nullptr;
    QWidget* page_ = nullptr;
    int currentPage_ = 0;
    bool pageHeightChosen_ = false;       // dragged or restored: every page gets the same height
    std::optional<int> chosenPageHeight_; // that height, once known
    bool logWindowActive_ = true;
    bool paneMarked_ = false;
    QString documentTitle_;
    QString boardId_;
    CStatusStrip* status_ = nullptr;
    QMenu* fileMenu_ = nullptr;
    QAction* recentFilesEnd_ = nullptr;
    QList<QAction*> recentFileEntries_;
    QPointer<CHelpWindow> help_;
    // The views read and write it only on the user's commits, while the window runs.
    std::unique_ptr<CViewSettingsStore> viewSettings_;
    CSignalViewMenu* signalViews_ = nullptr;
    std::unique_ptr<QPrinter> printer_;
    QMenu* editMenu_ = nullptr;
    QMenu* viewMenu_ = nullptr;
    QMenu* dumpMenu_ = nullptr;
    CRegisterSession* registers_ = nullptr;
    CCompareView* compareView_ = nullptr;
    QAction* registerUndo_ = nullptr;
    QAction* registerRedo_ = nullptr;
    // A script's stream of writes changes the journal thousands of times a second; the undo items
    // follow it once a frame (and before any input reaches the menu or a shortcut).
    CFramePacer registerUndoPacer_{[this] { UpdateRegisterUndo(); }};
};

} // namespace tarsion
