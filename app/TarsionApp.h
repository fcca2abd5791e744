#pragma once

#include "app/AppSettings.h"
#include "app/FileChooser.h"
#include "app/InitialReadOut.h"
#include "app/ModalUnwinder.h"
#include "app/ProgramCore.h"
#include "app/QtUserPrompt.h"
#include "board/PortBackend.h"

#include <QObject>
#include <QStringList>

#include <functional>
#include <memory>

class QWidget;

namespace tarsion {

class CAutomationHookup;
class CBoardOperations;
class CRegisterSession;
class CMainFrame;
class CTarsionApp;
class CTarsionDoc;

// What the start-up takes from its surroundings. Tests replace them to run without a bus, over a
// virtual board of their own, and to answer dialogs.
struct StartUpServices {
    // The automation runtime: the D-Bus session bus.
    std::function<bool()> connectSessionBus;
    // The port a port value names, its device at the stored base address opened.
    CProgramCore::PortBinder bindPort;
    // Dialog "Failed to do Initial ReadOut", with what the port layer knows of the cause (may be empty).
    std::function<ReadOutChoice(QWidget* parent, const QString& cause)> askAfterFailedReadOut;
    // Message boxes and questions; null: the Qt dialogs.
    IUserPrompt* prompt = nullptr;
    // Save-file dialogs; null: the Qt dialog.
    IFileChooser* files = nullptr;
    // Start-up step 7: the automation object on the session bus and the File menu's script
    // commands; null: neither (tests of the shell alone).
    std::function<std::unique_ptr<CAutomationHookup>(CTarsionApp&)> startAutomation;

    static StartUpServices Standard();
};

// The application: brings the document, the board and the main window up in order, and takes them
// down again at exit.
class CTarsionApp final : public QObject {
    Q_OBJECT
public:
    explicit CTarsionApp(StartUpServices services = StartUpServices::Standard(), QObject* parent = nullptr);
    ~CTarsionApp() override;

    // Returns true when the message loop should run; otherwise the program ends with ExitCode().
    bool StartUp(const QStringList& arguments);
    // After the main window has closed: port, settings, recent files.
    void ShutDown();
    int ExitCode() const { return core_.ExitCode(); }

    // Started by D-Bus activation.
    bool AutomationRequested() const { return core_.Options().automation; }
    // Why the start-up failed.
    const std::string& FailureText() const { return core_.FailureText(); }

    CTarsionDoc& Doc();
    CBoardOperations& Ops();
    CRegisterSession& Registers();
    CMainFrame& MainWindow() { return *mainFrame_; }
    CAppSettings& Settings() { return core_.Settings(); }
    IUserPrompt& Prompt() { return core_.Prompt(); }

    // The new-document step: the document title becomes the title text; the views refresh.
    void NewDocument();

    // The program is to end (a termination signal): every dialog closes as Escape would, one that
    // opens later too, a load stops after the word in hand, and a failing initial read-out gives
    // up as demo mode does.
    void Interrupt();
    bool Interrupted() const { return unwinder_.Started(); }

private:
    void CreateMainWindow();
    void PlaceMainWindow();

    StartUpServices services_;
    CQtUserPrompt qtPrompt_;
    CQtFileChooser qtFiles_;
    IFileChooser* files_;
    CProgramCore core_;
    std::unique_ptr<CMainFrame> mainFrame_;
    std::unique_ptr<CAutomationHookup> automation_;
    CModalUnwinder unwinder_;
};

} // namespace tarsion
