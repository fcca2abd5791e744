#pragma once

#include "app/ScriptCommands.h"
#include "app/ScriptDialogs.h"
#include "automation/AutomationServer.h"

#include <memory>

namespace tarsion {

class CTarsionApp;

// Start-up step 7 for the running program: the activation file, the automation object on the
// session bus, and the File menu's script commands connected to the main window.
class CAutomationHookup final {
public:
    explicit CAutomationHookup(CTarsionApp& app);
    ~CAutomationHookup();

    // Null when another program already serves the automation object.
    CAutomationServer* Server() const { return server_.get(); }
    CScriptCommands& ScriptCommands() { return commands_; }

private:
    CScriptDialogs dialogs_;
    CScriptCommands commands_;
    std::unique_ptr<CAutomationServer> server_;
};

} // namespace tarsion
