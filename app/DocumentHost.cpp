#include "app/DocumentHost.h"

#include "app/AppSettings.h"

#include <filesystem>
#include <iostream>
#include <utility>

namespace tarsion {

CDocumentHost::CDocumentHost(std::unique_ptr<IPortBackend> port, IUserPrompt& prompt, IKeptState* keptState)
    : keptState_(keptState), link_(doc_.Shadow(), doc_, std::move(port), clock_), ops_(link_, doc_, prompt),
      stateFlusher_(keptState ? std::make_unique<CStateFlusher>(*keptState) : nullptr) {
    std::error_code error;
    doc_.startDirectory = std::filesystem::current_path(error).string();
}

bool CDocumentHost::StartUp(CAppSettings& settings, const ReadOutFailureHandler& onReadOutFailure) {
    double clockPin = doc_.Shadow().ClockPin();
    for (const QString& refused : settings.LoadSteps(doc_.steps, clockPin))
        ops_.Log("Setting " + refused.toStdString() + ": the default is used", 0);
    doc_.Shadow().SetClockPin(clockPin);
    doc_.ResetLoadSettings();
    link_.SetBaseAddress(settings.BaseAddress());
    bool diagnosed = false;
    return RunInitialReadOut(link_, doc_, [&] {
        // The dialog names no cause; the port layer may know it. Once, however often Retry fails.
        if (!std::exchange(diagnosed, true)) {
            noBoardCause_ = link_.DiagnoseNoBoard();
            if (!noBoardCause_.empty())
                std::cerr << "tarsion: " << noBoardCause_ << std::endl;
        }
        return onReadOutFailure();
    });
}

bool CDocumentHost::ShutDown(CAppSettings& settings, std::string& error) {
    link_.Close();
    settings.WriteInt(QStringLiteral("BaseAddress"), link_.BaseAddress());
    settings.SaveSteps(doc_.steps, doc_.Shadow().ClockPin());
    // Written here rather than when the port is released, so a failure still reaches the exit status.
    return !keptState_ || keptState_->SaveChangedState(error);
}

} // namespace tarsion
