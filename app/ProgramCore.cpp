#include "app/ProgramCore.h"

#include "app/DocumentHost.h"
#include "app/FileCommands.h"
#include "app/ProgramOptions.h"
#include "automation/BusConnection.h"
#include "base/ProcessSetup.h"
#include "board/BoardLock.h"
#include "ops/UserPrompt.h"

#include <cstdlib>
#include <iostream>
#include <vector>

namespace tarsion {

namespace {
constexpr int kDriverFailureExitCode = 1;
constexpr int kStartUpFailureExitCode = 1;
constexpr int kStateNotSavedExitCode = 1;
} // namespace

bool ConnectSessionBus() {
    // The same kind of connection the automation object is served on, closed again: no Qt D-Bus
    // connection and thread kept for nothing.
    QString error;
    if (CBusConnection::OpenSession(error))
        return true;
    std::cerr << "tarsion: can't use the D-Bus session bus: " << error.toStdString() << std::endl;
    return false;
}

PortBinding BindNamedPort(const BoardChoice& board) {
    std::unique_ptr<CBoardLock> lock;
    // The board's state is read only once nobody else can change it.
    if (!board.lockPath.empty()) {
        std::string error;
        const BoardHolder self{0, board.id, board.spec};
        lock = board.statePath.empty() ? CBoardLock::Take(board.lockPath, self, error)
                                       : CBoardLock::TakeFile(board.statePath, board.lockPath, self, error);
        if (!lock) {
            PortBinding refused{nullptr, error};
            refused.boardHeld = true;
            return refused;
        }
    }
    PortBinding binding = BindPortIo(board.spec, CAppSettings().BaseAddress());
    if (binding.keptState && lock)
        binding.keptState->KeepLockedBy(*lock);
    binding.lock = std::move(lock);
    return binding;
}

CProgramCore::CProgramCore(std::function<bool()> connectSessionBus, PortBinder bindPort, IUserPrompt& prompt)
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
    std::vector<std::string> words;
    for (qsizetype i = 1; i < arguments.size(); ++i)
        words.push_back(arguments.at(i).toStdString());
    const ProgramOptions parsed = ParseProgramOptions(words);
    if (parsed.action == ProgramOptions::Action::Refuse) {
        Fail(QString::fromStdString(parsed.error), kUsageExitCode);
        return false;
    }
    if (parsed.files.size() > 1) {
        Fail(QStringLiteral("Too many file names on the command line."), kStartUpFailureExitCode);
        return false;
    }
    options_.automation = parsed.automation;
    options_.headless = parsed.headless;
    options_.demo = parsed.demo;
    options_.port = parsed.port;
    options_.boardId = parsed.boardId;
    if (!parsed.files.empty()) {
        options_.documentFile = QString::fromStdString(parsed.files.front());
        // The framework's open: the file must exist; nothing is read from it.
        if (!CFileCommands::IsDocumentFile(options_.documentFile)) {
            Fail(CFileCommands::MissingDocumentMessage(options_.documentFile), kStartUpFailureExitCode);
            return false;
        }
    }
    return true;
}

bool CProgramCore::CreateDocument() {
    // An activated program gets the bus daemon's environment: the Port setting names its board.
    // A run's --port is that run's (a test's virtual board); tarsion --save-port stores one.
    if (options_.port) {
        portSpec_ = *options_.port;
    } else if (const char* environment = std::getenv("TARSION_PORT")) {
        portSpec_ = environment;
    } else {
        portSpec_ = settings_.Port().toStdString();
    }
    startBase_ = settings_.BaseAddress();
    const BoardIdentity identity = IdentifyBoard(portSpec_, startBase_, PortLockFolder(), ParportDeviceAt);
    const std::string boardId = options_.boardId.empty() ? identity.defaultId : options_.boardId;
    const std::string portName = portSpec_.empty() ? "auto" : portSpec_;
    PortBinding binding = bindPort_({portSpec_, boardId, identity.lockPath, identity.statePath});
    if (binding.boardHeld) {
        const std::string message =
            "The board " + boardId + " (" + portName + ") can't be used: " + binding.error;
        Fail(QString::fromStdString(message), kBoardHeldExitCode);
        return false;
    }
    boardLock_ = std::move(binding.lock);
    if (!binding.backend) {
        std::cerr << "tarsion: " << binding.error << std::endl;
        Fail(QStringLiteral("Couldn't Initiate the Driver, Program will terminate"), kDriverFailureExitCode,
             portName + ": " + binding.error);
        return false;
    }
    host_ = std::make_unique<CDocumentHost>(std::move(binding.backend), prompt_, binding.keptState);
    Doc().boardId = boardId;
    Doc().portName = portName;
    return true;
}

std::string CProgramCore::NoBoardCause() const {
    return host_ ? host_->NoBoardCause() : std::string();
}

bool CProgramCore::StartDocument(const ReadOutFailureHandler& onReadOutFailure) {
    return host_->StartUp(settings_, onReadOutFailure);
}

void CProgramCore::ShutDown(const std::optional<QStringList>& recentFiles) {
    if (!host_)
        return;
    // A base chosen on the Board page: an activated program is to find this board again.
    if (host_->Link().BaseAddress() != startBase_)
        settings_.SetPort(QString::fromStdString(Doc().portName));
    std::string error;
    const bool stateSaved = host_->ShutDown(settings_, error);
    if (recentFiles)
        settings_.SaveRecentFiles(*recentFiles);
    settings_.Sync();
    if (!stateSaved) {
        // The window is gone: standard error is where this can still be read.
        std::cerr << "tarsion: " << error << "; the board's changes of this run are lost" << std::endl;
        exitCode_ = kStateNotSavedExitCode;
    }
}

void CProgramCore::Fail(const QString& message, int exitCode, const std::string& cause) {
    prompt_.ShowMessage(message.toStdString());
    exitCode_ = exitCode;
    failure_ = cause.empty() ? message.toStdString() : cause;
}

} // namespace tarsion
