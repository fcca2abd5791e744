#pragma once

#include "AppSettings.h"
#include "InitialReadOut.h"
#include "board/PortBackend.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

namespace tarsion {

class CBoardOperations;
class CDocumentHost;
class CRegisterSession;
class CTarsionDoc;
class IUserPrompt;

// The program's command line: Qt's own switches, --automation (set by D-Bus activation), the
// headless server's options and an optional document file name.
struct CommandLine {
    bool automation = false;
    bool headless = false;
    // Headless: demo mode when the initial read-out fails, instead of ending the program.
    bool demo = false;
    QString documentFile;
};

// The automation runtime (the D-Bus session bus) and the port named by TARSION_PORT.
bool ConnectSessionBus();
PortBinding BindNamedPort();

// What the windowed and the headless program share: the session bus, the command line, the
// document over the bound port, the document start-up, and the shutdown that leaves the port's
// control register at 0x04 and saves the settings.
class CProgramCore {
public:
    CProgramCore(std::function<bool()> connectSessionBus, std::function<PortBinding()> bindPort,
                 IUserPrompt& prompt);
    ~CProgramCore();

    // Start-up up to the document: session bus, command line, port binding. False when the
    // program must end with ExitCode(); the user has been told why.
    bool Open(const QStringList& arguments);
    // Document start-up: settings, port base address, initial read-out. True when the board was
    // read, false when demo mode was entered.
    bool StartDocument(const ReadOutFailureHandler& onReadOutFailure);
    // Port, base address and steps, then the recent-file list when there is one; written to disk.
    // Nothing happens when no document was created.
    void ShutDown(const std::optional<QStringList>& recentFiles = std::nullopt);

    bool HasDocument() const { return host_ != nullptr; }
    CTarsionDoc& Doc();
    CBoardOperations& Ops();
    CRegisterSession& Registers();
    CAppSettings& Settings() { return settings_; }
    const CommandLine& Options() const { return options_; }
    IUserPrompt& Prompt() { return prompt_; }

    int ExitCode() const { return exitCode_; }
    // Tells the user and sets the exit status.
    void Fail(const QString& message, int exitCode);

private:
    bool ParseCommandLine(const QStringList& arguments);
    bool CreateDocument();

    std::function<bool()> connectSessionBus_;
    std::function<PortBinding()> bindPort_;
    IUserPrompt& prompt_;
    CAppSettings settings_;
    CommandLine options_;
    std::unique_ptr<CDocumentHost> host_;
    int exitCode_ = 0;
};

} // namespace tarsion
