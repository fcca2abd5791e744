#include "DocumentHost.h"

#include "AppSettings.h"

#include <filesystem>

namespace tarsion {

CDocumentHost::CDocumentHost(std::unique_ptr<IPortBackend> port, IUserPrompt& prompt, IKeptState* keptState)
    : link_(doc_.Shadow(), doc_, std::move(port), clock_), ops_(link_, doc_, prompt),
      stateFlusher_(keptState ? std::make_unique<CStateFlusher>(*keptState) : nullptr) {
    std::error_code error;
    doc_.startDirectory = std::filesystem::current_path(error).string();
}

void CDocumentHost::StartUp(CAppSettings& settings, const ReadOutFailureHandler& onReadOutFailure) {
    double clockPin = doc_.Shadow().ClockPin();
    settings.LoadSteps(doc_.steps, clockPin);
    doc_.Shadow().SetClockPin(clockPin);
    doc_.ResetLoadSettings();
    const int base = settings.ReadInt(QStringLiteral("BaseAddress"), CAppSettings::kDefaultBaseAddress);
    link_.SetBaseAddress(static_cast<std::uint16_t>(base));
    RunInitialReadOut(link_, doc_, onReadOutFailure);
}

void CDocumentHost::ShutDown(CAppSettings& settings) {
    link_.Close();
    settings.WriteInt(QStringLiteral("BaseAddress"), link_.BaseAddress());
    settings.SaveSteps(doc_.steps, doc_.Shadow().ClockPin());
}

} // namespace tarsion
