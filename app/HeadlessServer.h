#pragma once

#include "app/ProgramCore.h"
#include "app/StreamUserPrompt.h"

#include <QStringList>

#include <functional>
#include <iosfwd>
#include <memory>

namespace tarsion {

class CAutomationServer;
class CStreamLogView;

// What the headless server takes from its surroundings; tests replace the bus and the port.
struct HeadlessServices {
    std::function<bool()> connectSessionBus;
    CProgramCore::PortBinder bindPort;
    // Serves the automation object; null: none is served and the server ends at start.
    std::function<std::unique_ptr<CAutomationServer>(CBoardOperations&, std::function<void()> newDocument)>
        startAutomation;
    // The log (standard output); messages, answered questions and start-up failures (standard error).
    std::ostream* out = nullptr;
    std::ostream* err = nullptr;

    static HeadlessServices Standard();
};

// `tarsion --headless`: the document, the board link and the automation object without a window,
// started and shut down as the windowed program does. The initial read-out dialog is answered
// by the command line: --demo enters demo mode, otherwise a board that does not answer ends the
// program.
class CHeadlessServer final {
public:
    static constexpr int kBoardSilentExitCode = 2;
    static constexpr int kNoAutomationExitCode = 3;

    explicit CHeadlessServer(HeadlessServices services = HeadlessServices::Standard());
    ~CHeadlessServer();

    // True when the event loop should run; otherwise ShutDown(), then end with ExitCode().
    bool StartUp(const QStringList& arguments);
    // Port, settings; the board's state is written when the server is destroyed.
    void ShutDown();
    int ExitCode() const { return core_.ExitCode(); }
    // Started by D-Bus activation; why the start-up failed.
    bool Activated() const { return core_.Options().automation; }
    const std::string& FailureText() const { return core_.FailureText(); }

    // The program is to end: a load in progress stops after the word in hand.
    void Interrupt() { prompt_.Cancel(); }

    CTarsionDoc& Doc() { return core_.Doc(); }
    CBoardOperations& Ops() { return core_.Ops(); }

private:
    HeadlessServices services_;
    CStreamUserPrompt prompt_;
    CProgramCore core_;
    std::unique_ptr<CStreamLogView> log_;
    std::unique_ptr<CAutomationServer> automation_;
};

} // namespace tarsion
