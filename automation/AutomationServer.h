#pragma once

#include "automation/AutomationMethods.h"

#include <QString>

#include <functional>
#include <memory>

struct DBusMessage;

namespace tarsion {

class CAutomationCallGate;
class CBoardOperations;
class CBusConnection;

// The automation object `Trm90627` on the session bus, served by the GUI thread on a connection
// of its own.
class CAutomationServer final {
public:
    static constexpr const char* kService = "com.tessaric.Tarsion";
    // Followed by the board's id: the name of each program's own board.
    static constexpr const char* kBoardServicePrefix = "com.tessaric.Tarsion.Board.";
    static constexpr const char* kPath = "/Trm90627";

    // `newDocument` is the new-document step with the views' initial update.
    CAutomationServer(CBoardOperations& ops, std::function<void()> newDocument);
    ~CAutomationServer();

    // Connects to the session bus, exports the object and claims the board's own name (for a
    // document with a board id) and the service name. False, with the reason in `error`, when
    // there is no bus or another program already serves the name this program needs: the board's
    // own, or, without a board id, the service name. With a board id the service name is only
    // taken when no other program has it (that program keeps it).
    bool Register(QString& error);

    // `lost` runs from the event loop when the session bus goes away.
    void OnBusLost(std::function<void()> lost);

private:
    void Answer(DBusMessage* call);
    void AnswerRoot(DBusMessage* call);
    void ReplyText(DBusMessage* call, const std::string& text);
    // The member, or its arguments, don't match anything served here.
    void ReplyUnknownMethod(DBusMessage* call);

    AutomationTarget target_;
    std::unique_ptr<CBusConnection> bus_;
    std::unique_ptr<CAutomationCallGate> gate_;
};

// Start-up step: writes the activation file for this executable and serves the automation object.
// When the name is taken, a log line and standard error say so and the program runs without
// automation (nullptr).
std::unique_ptr<CAutomationServer> StartAutomation(CBoardOperations& ops, std::function<void()> newDocument);

} // namespace tarsion
