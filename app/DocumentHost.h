#pragma once

#include "app/InitialReadOut.h"
#include "app/StateFlusher.h"
#include "board/PortBackend.h"
#include "board/SteadyClock.h"
#include "ops/BoardStack.h"
#include "registers/RegisterSession.h"

#include <memory>

namespace tarsion {

class CAppSettings;
class IUserPrompt;

// The document with what it owns for the whole run: the board link over the bound port and the
// operation layer, and the writer of a board state kept in a file.
class CDocumentHost {
public:
    CDocumentHost(std::unique_ptr<IPortBackend> port, IUserPrompt& prompt, IKeptState* keptState = nullptr);

    CTarsionDoc& Doc() { return stack_.Doc(); }
    CBoardLink& Link() { return stack_.Link(); }
    CBoardOperations& Ops() { return stack_.Ops(); }
    CRegisterSession& Registers() { return registers_; }

    // Document start-up once the window shows: settings, port base address, initial read-out. When
    // the read-out fails, the port layer's cause goes to standard error once. True when the board
    // was read, false when demo mode was entered.
    bool StartUp(CAppSettings& settings, const ReadOutFailureHandler& onReadOutFailure);
    // What the port layer said of the failed initial read-out; empty when it had nothing to add.
    const std::string& NoBoardCause() const { return noBoardCause_; }
    // Leaves the port's control register at 0x04, saves the base address and the steps, and writes
    // a kept board state. False, with the reason in `error`, when that state could not be written.
    bool ShutDown(CAppSettings& settings, std::string& error);

private:
    SystemSteadyClock clock_;
    IKeptState* keptState_;
    CBoardStack stack_;
    std::string noBoardCause_;
    CRegisterSession registers_{stack_.Ops()};
    // Goes before the board it writes.
    std::unique_ptr<CStateFlusher> stateFlusher_;
};

} // namespace tarsion
