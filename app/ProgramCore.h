#pragma once

#include "app/AppSettings.h"
#include "app/InitialReadOut.h"
#include "board/PortBackend.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace tarsion {

class CBoardOperations;
class CDocumentHost;
class CRegisterSession;
class CTarsionDoc;
class IUserPrompt;

class CBoardLock;

// The program's command line: Qt's own switches, --automation (set by D-Bus activation), the
// headless server's options, the board (--port, --board-id) and an optional document file name.
struct CommandLine {
    bool automation = false;
    bool headless = false;
    // Headless: demo mode when the initial read-out fails, instead of ending the program.
    bool demo = false;
    std::optional<std::string> port;
    std::string boardId;
    QString documentFile;
};

// The board a program is to hold: the port value, the board's id and where it is locked (empty:
// nowhere).
struct BoardChoice {
    std::string spec;
    std::string id;
    std::string lockPath;
    // A virtual board's state file, which is locked itself.
    std::string statePath;
};

// The automation runtime (the D-Bus session bus), and the board locked and its port bound.
bool ConnectSessionBus();
PortBinding BindNamedPort(const BoardChoice& board);

// What the windowed and the headless program share: the session bus, the command line, the
// document over the bound port, the document start-up, and the shutdown that leaves the port's
// control register at 0x04 and saves the settings.
class CProgramCore {
public:
    using PortBinder = std::function<PortBinding(const BoardChoice& board)>;

    CProgramCore(std::function<bool()> connectSessionBus, PortBinder bindPort, IUserPrompt& prompt);
    ~CProgramCore();

    // Start-up up to the document: session bus, command line, the board's lock, port binding. The
    // port is --port, else TARSION_PORT, else the Port setting; neither of the first two is stored. False
    // when the program must end with ExitCode(); the user has been told why.
    bool Open(const QStringList& arguments);
    // Document start-up: settings, port base address, initial read-out. True when the board was
    // read, false when demo mode was entered.
    bool StartDocument(const ReadOutFailureHandler& onReadOutFailure);
    // Port, base address and steps, then the recent-file list when there is one; written to disk.
    // Nothing happens when no document was created. A kept board state that can't be written sets
    // a non-zero exit status.
    void ShutDown(const std::optional<QStringList>& recentFiles = std::nullopt);

    bool HasDocument() const { return host_ != nullptr; }
    // Why no board answered the initial read-out, with the remedy; empty when nothing is known.
    std::string NoBoardCause() const;
    CTarsionDoc& Doc();
    CBoardOperations& Ops();
    CRegisterSession& Registers();
    CAppSettings& Settings() { return settings_; }
    const CommandLine& Options() const { return options_; }
    IUserPrompt& Prompt() { return prompt_; }

    // The port value in use ("sim:board.txt", "/dev/parport0", "" for auto).
    const std::string& PortSpec() const { return portSpec_; }

    int ExitCode() const { return exitCode_; }
    // Another program holds the board.
    static constexpr int kBoardHeldExitCode = 4;
    // Tells the user and sets the exit status; `cause` (when known) says why, for FailureText.
    void Fail(const QString& message, int exitCode, const std::string& cause = {});
    // Why the program could not start: the cause of the last Fail, else its message.
    const std::string& FailureText() const { return failure_; }

private:
    bool ParseCommandLine(const QStringList& arguments);
    bool CreateDocument();

    std::function<bool()> connectSessionBus_;
    PortBinder bindPort_;
    IUserPrompt& prompt_;
    CAppSettings settings_;
    CommandLine options_;
    std::string portSpec_;
    std::uint16_t startBase_ = 0;
    // Held until the board's state is written, after the document.
    std::unique_ptr<CBoardLock> boardLock_;
    std::unique_ptr<CDocumentHost> host_;
    int exitCode_ = 0;
    std::string failure_;
};

} // namespace tarsion
