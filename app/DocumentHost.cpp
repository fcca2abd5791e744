#include "app/DocumentHost.h"

#include "app/AppSettings.h"

#include <filesystem>
#include <iostream>
#include <utility>

namespace tarsion {

CDocumentHost::CDocumentHost(std::unique_ptr<IPortBackend> port, IUserPrompt& prompt, IKeptState* keptState)
    : keptState_(keptState), stack_(std::move(port), clock_, prompt),
      stateFlusher_(keptState ? std::make_unique<CStateFlusher>(*keptState) : nullptr) {
    std::error_code error;
    Doc().startDirectory = std::filesystem::current_path(error).string();
}

bool CDocumentHost::StartUp(CAppSettings& settings, const ReadOutFailureHandler& onReadOutFailure) {
    CTarsionDoc& doc = Doc();
    CBoardLink& link = Link();
    double clockPin = doc.Shadow().ClockPin();
    for (const QString& refused : settings.LoadSteps(doc.steps, clockPin))
        Ops().Log("Setting " + refused.toStdString() + ": the default is used", 0);
    doc.Shadow().SetClockPin(clockPin);
    doc.ResetLoadSettings();
    doc.lastFolders = settings.LastFolders();
    link.SetBaseAddress(settings.BaseAddress());
    bool diagnosed = false;
    return RunInitialReadOut(link, doc, [&] {
        // The dialog names no cause; the port layer may know it. Once, however often Retry fails.
        if (!std::exchange(diagnosed, true)) {
            noBoardCause_ = link.DiagnoseNoBoard();
            if (!noBoardCause_.empty())
                std::cerr << "tarsion: " << noBoardCause_ << std::endl;
        }
        return onReadOutFailure();
    });
}

bool CDocumentHost::ShutDown(CAppSettings& settings, std::string& error) {
    Link().Close();
    settings.WriteInt(QStringLiteral("BaseAddress"), Link().BaseAddress());
    settings.SaveSteps(Doc().steps, Doc().Shadow().ClockPin());
    settings.SaveLastFolders(Doc().lastFolders);
    // Written here rather than when the port is released, so a failure still reaches the exit status.
    return !keptState_ || keptState_->SaveChangedState(error);
}

} // namespace tarsion
