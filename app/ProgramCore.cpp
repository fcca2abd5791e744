#include "ProgramCore.h"

#include "DocumentHost.h"
#include "FileCommands.h"
#include "app/automation/BusConnection.h"
#include "ops/UserPrompt.h"

#include <QCommandLineParser>

#include <cstdlib>
#include <iostream>

namespace tarsion {

namespace {
constexpr int kDriverFailureExitCode = 1;
constexpr int kStartUpFailureExitCode = 1;
} // namespace

bool ConnectSessionBus() {
    // The same kind of connection the automation object is served on, closed again: no Qt D-Bus
    // connection and thread kept for nothing.
    QString error;
    return CBusConnection::OpenSession(error) != nullptr;
}

PortBinding BindNamedPort() {
    const char* spec = std::getenv("TARSION_PORT");
    return BindPortIo(spec ? spec : "", CAppSettings().BaseAddress());
}

CProgramCore::CProgramCore(std::function<bool()> connectSessionBus, std::function<PortBinding()> bindPort,
                           IUserPrompt& prompt)
    : connectSessionBus_(std::move(connectSessionBus)), bindPort_(std::move(bindPort)), prompt_(prompt) {}

CProgramCore::~CProgramCore() = default;

CTarsionDoc& CProgramCore::Doc() {
    return host_->Doc();
}

CBoardOperations& CProgramCore::Ops() {
    return host_->Ops();
}

CRegisterSession& CProgramCore::Registers() {
    return host_->Registers();
}

bool CProgramCore::Open(const QStringList& arguments) {
    if (!connectSessionBus_()) {
        Fail(QStringLiteral(
                 "OLE initialization failed.  Make sure that the OLE libraries are the correct version."),
             kStartUpFailureExitCode);
        return false;
    }
    return ParseCommandLine(arguments) && CreateDocument();
}

bool CProgramCore::ParseCommandLine(const QStringList& arguments) {
    QCommandLineParser parser;
    const QCommandLineOption automation(QStringLiteral("automation"));
    const QCommandLineOption headless(QStringLiteral("headless"));
    const QCommandLineOption demo(QStringLiteral("demo"));
    parser.addOptions({automation, headless, demo});
    parser.addPositionalArgument(QStringLiteral("file"), QString(), QStringLiteral("[file]"));
    if (!parser.parse(arguments) || parser.positionalArguments().size() > 1) {
        Fail(parser.errorText().isEmpty() ? QStringLiteral("Too many file names on the command line.")
                                          : parser.errorText(),
             kStartUpFailureExitCode);
        return false;
    }
    options_.automation = parser.isSet(automation);
    options_.headless = parser.isSet(headless);
    options_.demo = parser.isSet(demo);
    if (!parser.positionalArguments().isEmpty()) {
        options_.documentFile = parser.positionalArguments().constFirst();
        // The framework's open: the file must exist; nothing is read from it.
        if (!CFileCommands::IsDocumentFile(options_.documentFile)) {
            Fail(CFileCommands::MissingDocumentMessage(options_.documentFile), kStartUpFailureExitCode);
            return false;
        }
    }
    return true;
}

bool CProgramCore::CreateDocument() {
    PortBinding binding = bindPort_();
    if (!binding.backend) {
        std::cerr << "tarsion: " << binding.error << std::endl;
        Fail(QStringLiteral("Couldn't Initiate the Driver, Program will terminate"), kDriverFailureExitCode);
        return false;
    }
    host_ = std::make_unique<CDocumentHost>(std::move(binding.backend), prompt_, binding.keptState);
    return true;
}

bool CProgramCore::StartDocument(const ReadOutFailureHandler& onReadOutFailure) {
    return host_->StartUp(settings_, onReadOutFailure);
}

void CProgramCore::ShutDown(const std::optional<QStringList>& recentFiles) {
    if (!host_)
        return;
    host_->ShutDown(settings_);
    if (recentFiles)
        settings_.SaveRecentFiles(*recentFiles);
    settings_.Sync();
}

void CProgramCore::Fail(const QString& message, int exitCode) {
    prompt_.ShowMessage(message.toStdString());
    exitCode_ = exitCode;
}

} // namespace tarsion
