#include "app/TarsionApp.h"

#include "app/AutomationHookup.h"
#include "app/LogWindow.h"
#include "app/MainFrame.h"
#include "app/ReadOutFailedDialog.h"
#include "app/StatusStrip.h"

#include <QPointer>

namespace tarsion {

namespace {
constexpr int kWindowWidth = 550;
constexpr int kWindowHeight = 500;
} // namespace

StartUpServices StartUpServices::Standard() {
    StartUpServices services;
    services.connectSessionBus = ConnectSessionBus;
    services.bindPort = BindNamedPort;
    services.askAfterFailedReadOut = [](QWidget* parent, const QString& cause) {
        return CReadOutFailedDialog(parent, cause).Ask();
    };
    services.startAutomation = [](CTarsionApp& app) { return std::make_unique<CAutomationHookup>(app); };
    return services;
}

CTarsionApp::CTarsionApp(StartUpServices services, QObject* parent)
    : QObject(parent), services_(std::move(services)), files_(services_.files ? services_.files : &qtFiles_),
      core_(services_.connectSessionBus, services_.bindPort,
            services_.prompt ? *services_.prompt : qtPrompt_) {}

CTarsionApp::~CTarsionApp() {
    // Automation calls reach the operation layer: it stops serving first.
    automation_.reset();
    // The window and its views go before the document they observe.
    mainFrame_.reset();
}

CRegisterSession& CTarsionApp::Registers() {
    return core_.Registers();
}

CTarsionDoc& CTarsionApp::Doc() {
    return core_.Doc();
}

CBoardOperations& CTarsionApp::Ops() {
    return core_.Ops();
}

bool CTarsionApp::StartUp(const QStringList& arguments) {
    if (!core_.Open(arguments))
        return false;
    CreateMainWindow();
    if (services_.startAutomation)
        automation_ = services_.startAutomation(*this);
    NewDocument();
    const QString& documentFile = core_.Options().documentFile;
    if (!documentFile.isEmpty())
        mainFrame_->OpenDocument(documentFile);
    PlaceMainWindow();
    core_.StartDocument([this] {
        if (Interrupted())
            return ReadOutChoice::EnterDemoMode;
        const ReadOutChoice choice =
            services_.askAfterFailedReadOut(mainFrame_.get(), QString::fromStdString(core_.NoBoardCause()));
        // Closing the dialog means Retry, which would only ask again.
        return Interrupted() ? ReadOutChoice::EnterDemoMode : choice;
    });
    mainFrame_->repaint();
    return true;
}

void CTarsionApp::CreateMainWindow() {
    mainFrame_ = std::make_unique<CMainFrame>(Doc(), Ops(), Prompt(), *files_, Settings());
    mainFrame_->AttachRegisters(core_.Registers());
    mainFrame_->SetBoardId(QString::fromStdString(Doc().boardId));
    qtPrompt_.SetWindow(mainFrame_.get());
    qtPrompt_.Progress().SetTaskListener(
        [status = QPointer<CStatusStrip>(&mainFrame_->Status())](const QString& task) {
            if (status)
                status->SetOperation(task);
        });
    qtFiles_.SetParent(mainFrame_.get());
    qtFiles_.SetFolders(&Doc().lastFolders);
    mainFrame_->RecentFiles().SetFiles(Settings().RecentFiles());
    connect(mainFrame_.get(), &CMainFrame::newDocumentRequested, this, &CTarsionApp::NewDocument);
}

void CTarsionApp::PlaceMainWindow() {
    mainFrame_->move(Settings().ReadInt(QStringLiteral("x"), 0), Settings().ReadInt(QStringLiteral("y"), 0));
    mainFrame_->resize(kWindowWidth, kWindowHeight);
    mainFrame_->RestoreLayout();
    mainFrame_->show();
    mainFrame_->FitPage();
}

void CTarsionApp::NewDocument() {
    mainFrame_->SetDocumentTitle(QString::fromStdString(Doc().titleText));
    Doc().UpdateAllViews();
}

void CTarsionApp::Interrupt() {
    qtPrompt_.Progress().CancelAll();
    unwinder_.Start();
}

void CTarsionApp::ShutDown() {
    core_.ShutDown(mainFrame_ ? std::optional(mainFrame_->RecentFiles().Files()) : std::nullopt);
}

} // namespace tarsion
