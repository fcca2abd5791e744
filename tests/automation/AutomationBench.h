#pragma once

#include "automation/AutomationServer.h"
#include "board/SteadyClock.h"
#include "board/VirtualBoard.h"
#include "ops/BoardStack.h"
#include "support/ScriptedPrompt.h"

#include <QByteArray>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

namespace tarsion::test {

// The program's core on a fresh virtual board, with its automation object on the session bus.
class AutomationBench {
public:
    AutomationBench();
    ~AutomationBench();

    // Serves the automation object (only one bench at a time can).
    void Serve();

    ScriptedPrompt prompt;
    SystemSteadyClock clock;
    VirtualBoard* board = nullptr; // owned by the link
    CBoardStack stack;
    CTarsionDoc& doc = stack.Doc();
    CBoardLink* link = &stack.Link();
    CBoardOperations* ops = &stack.Ops();
    std::unique_ptr<CAutomationServer> server;
    int newDocumentSteps = 0;
    std::function<void()> duringNewDocument; // runs inside each new-document step
};

// The board's state file as text.
std::string BoardState(const VirtualBoard& board);

// Starts a call through a second bus connection, as another process would make it.
QDBusPendingCall StartCall(const QString& method, const QList<QVariant>& arguments,
                           const QString& interface = QStringLiteral("com.tessaric.Trm90627"));

// Runs the event loop until `call` has its reply or `milliseconds` have passed.
void WaitFor(const QDBusPendingCall& call, int milliseconds = 60000);

// Runs the event loop for a while.
void ServeEvents(int milliseconds);

// A call through a second bus connection, as another process would make it; the event loop runs
// while the call is out, so the automation object in this process can answer.
QDBusMessage CallFromClient(const QString& method, const QList<QVariant>& arguments,
                            const QString& interface = QStringLiteral("com.tessaric.Trm90627"));

// Runs tarsion-script with a script file and arguments; the event loop serves the calls meanwhile.
struct ScriptResult {
    int exitCode = -1;
    QString out;
    QString err;
};
ScriptResult RunScript(const QString& script, const QStringList& arguments = {});

QString WriteText(const QString& path, const QByteArray& text);

} // namespace tarsion::test
