#include "app/AutomationHookup.h"

#include "app/MainFrame.h"
#include "app/TarsionApp.h"
#include "ops/BoardOperations.h"

#include <cstdio>

namespace tarsion {

CAutomationHookup::CAutomationHookup(CTarsionApp& app)
    : dialogs_(&app.MainWindow(), app.Doc().lastFolders), commands_(app.Doc(), dialogs_),
      server_(StartAutomation(app.Ops(), [&app] { app.NewDocument(); })) {
    CMainFrame& frame = app.MainWindow();
    QObject::connect(&frame, &CMainFrame::runScriptRequested, &commands_,
                     &CScriptCommands::ChooseAndRunScript);
    QObject::connect(&frame, &CMainFrame::loadConfigurationRequested, &commands_,
                     &CScriptCommands::ChooseAndRunScript);
    QObject::connect(&frame, &CMainFrame::recentFileChosen, &commands_, &CScriptCommands::RunScript);
    QObject::connect(&frame, &CMainFrame::newScriptRequested, &commands_, &CScriptCommands::NewScript);
    QObject::connect(&frame, &CMainFrame::recordingToggled, &commands_, &CScriptCommands::ToggleRecording);
    QObject::connect(&commands_, &CScriptCommands::recentFileAdded, &frame.RecentFiles(),
                     &CRecentFileList::Add);
    QObject::connect(&commands_, &CScriptCommands::recordingChanged, &frame,
                     &CMainFrame::SetRecordingIndicator);
    if (!server_)
        return;
    // A program started for automation has nobody else to serve; one started by the user stays.
    server_->OnBusLost([&app] {
        if (app.AutomationRequested()) {
            app.MainWindow().close();
            return;
        }
        const char* line = "Automation is off: the session bus is gone";
        app.Ops().Log(line, 0);
        std::fprintf(stderr, "tarsion: %s\n", line);
    });
}

CAutomationHookup::~CAutomationHookup() = default;

} // namespace tarsion
