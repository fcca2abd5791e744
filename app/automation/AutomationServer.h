#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

namespace tarsion {

class CAutomationCallGate;
class CBoardOperations;

// The automation object `Trm90627` on the session bus.
class CAutomationServer final : public QObject {
    Q_OBJECT
public:
    static constexpr const char* kService = "com.tessaric.Tarsion";
    static constexpr const char* kPath = "/Trm90627";
    static constexpr const char* kInterface = "com.tessaric.Trm90627";
    static constexpr const char* kCreateInterface = "com.tessaric.Tarsion.Automation";

    // `newDocument` is the new-document step with the views' initial update.
    CAutomationServer(QDBusConnection bus, CBoardOperations& ops, std::function<void()> newDocument);
    ~CAutomationServer() override;

    // Exports the object and claims the service name. False, with the reason in `error`, when the
    // bus refuses either (another program already serves the name).
    bool Register(QString& error);

private:
    QDBusConnection bus_;
    std::unique_ptr<CAutomationCallGate> gate_;
    bool registered_ = false;
};

// Start-up step: writes the activation file for this executable and serves the automation object.
// When the name is taken, a log line and standard error say so and the program runs without
// automation (nullptr).
std::unique_ptr<CAutomationServer> StartAutomation(CBoardOperations& ops, std::function<void()> newDocument);

} // namespace tarsion
