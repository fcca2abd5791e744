#include "TarsionApp.h"

#include "DocumentHost.h"
#include "LogWindow.h"
#include "MainFrame.h"
#include "ReadOutFailedDialog.h"
#include "automation/AutomationHookup.h"

#include <QCommandLineParser>
#include <QDBusConnection>
#include <QFileInfo>

#include <cstdlib>
#include <iostream>

namespace tarsion {

namespace {
constexpr int kWindowWidth = 550;
constexpr int kWindowHeight = 500;
constexpr int kDriverFailureExitCode = 1;
constexpr int kStartUpFailureExitCode = 1;
} // namespace

StartUpServices StartUpServices::Standard() {
    StartUpServices services;
    services.connectSessionBus = [] { return QDBusConnection::sessionBus().isConnected(); };
    services.bindPort = [] {
        const char* spec = std::getenv("TARSION_PORT");
        return BindPortIo(spec ? spec : "");
    };
    services.askAfterFailedReadOut = [](QWidget* parent) { return CReadOutFailedDialog(parent).Ask(); };
    services.startAutomation = [](CTarsionApp& app) { return std::make_unique<CAutomationHookup>(app); };
    return services;
}

CTarsionApp::CTarsionApp(StartUpServices services, QObject* parent)
    : QObject(parent), services_(std::move(services)),
      prompt_(services_.prompt ? services_.prompt : &qtPrompt_),
      files_(services_.files ? services_.files : &qtFiles_) {}

CTarsionApp::~CTarsionApp() {
    // Automation calls reach the operation layer: it stops serving first.
    automation_.reset();
    // The window and its views go before the document they observe.
    mainFrame_.reset();
    host_.reset();
}

CTarsionDoc& CTarsionApp::Doc() {
    return host_->Doc();
}

CBoardOperations& CTarsionApp::Ops() {
    return host_->Ops();
}

bool CTarsionApp::StartUp(const QStringList& arguments) {
    if (!services_.connectSessionBus()) {
        Fail(QStringLiteral(
                 "OLE initialization failed.  Make sure that the OLE libraries are the correct version."),
             kStartUpFailureExitCode);
        return false;
    }
    if (!ParseCommandLine(arguments))
        return false;
    if (!CreateDocument())
        return false;
    CreateMainWindow();
    if (services_.startAutomation)
        automation_ = services_.startAutomation(*this);
    NewDocument();
    if (!documentFile_.isEmpty()) {
        mainFrame_->SetDocumentTitle(QFileInfo(documentFile_).fileName());
        mainFrame_->RecentFiles().Add(QFileInfo(documentFile_).absoluteFilePath());
    }
    PlaceMainWindow();
    host_->StartUp(settings_, [this] { return services_.askAfterFailedReadOut(mainFrame_.get()); });
    mainFrame_->repaint();
    return true;
}

bool CTarsionApp::ParseCommandLine(const QStringList& arguments) {
    QCommandLineParser parser;
    const QCommandLineOption automation(QStringLiteral("automation"));
    parser.addOption(automation);
    parser.addPositionalArgument(QStringLiteral("file"), QString(), QStringLiteral("[file]"));
    if (!parser.parse(arguments) || parser.positionalArguments().size() > 1) {
        Fail(parser.errorText().isEmpty() ? QStringLiteral("Too many file names on the command line.")
                                          : parser.errorText(),
             kStartUpFailureExitCode);
        return false;
    }
    automationRequested_ = parser.isSet(automation);
    if (!parser.positionalArguments().isEmpty()) {
        documentFile_ = parser.positionalArguments().constFirst();
        // The framework's open: the file must exist; nothing is read from it.
        if (!QFileInfo(documentFile_).isFile()) {
            Fail(QStringLiteral(
                     "%1\nCannot find this file.\nPlease verify that the correct path and file name "
                     "are given.")
                     .arg(documentFile_),
                 kStartUpFailureExitCode);
            return false;
        }
    }
    return true;
}

bool CTarsionApp::CreateDocument() {
    PortBinding binding = services_.bindPort();
    if (!binding.backend) {
        std::cerr << "tarsion: " << binding.error << std::endl;
        Fail(QStringLiteral("Couldn't Initiate the Driver, Program will terminate"), kDriverFailureExitCode);
        return false;
    }
    host_ = std::make_unique<CDocumentHost>(std::move(binding.backend), *prompt_);
    return true;
}

void CTarsionApp::CreateMainWindow() {
    mainFrame_ = std::make_unique<CMainFrame>(host_->Doc(), host_->Ops(), *prompt_, *files_, settings_);
    qtPrompt_.SetWindow(mainFrame_.get());
    qtFiles_.SetParent(mainFrame_.get());
    mainFrame_->RecentFiles().SetFiles(settings_.RecentFiles());
    connect(mainFrame_.get(), &CMainFrame::newDocumentRequested, this, &CTarsionApp::NewDocument);
}

void CTarsionApp::PlaceMainWindow() {
    mainFrame_->move(settings_.ReadInt(QStringLiteral("x"), 0), settings_.ReadInt(QStringLiteral("y"), 0));
    mainFrame_->resize(kWindowWidth, kWindowHeight);
    mainFrame_->show();
}

void CTarsionApp::NewDocument() {
    mainFrame_->SetDocumentTitle(QString::fromStdString(host_->Doc().titleText));
    host_->Doc().UpdateAllViews();
}

void CTarsionApp::ShutDown() {
    host_->ShutDown(settings_);
    settings_.SaveRecentFiles(mainFrame_->RecentFiles().Files());
    settings_.Sync();
}

void CTarsionApp::Fail(const QString& message, int exitCode) {
    prompt_->ShowMessage(message.toStdString());
    exitCode_ = exitCode;
}

} // namespace tarsion
