#include "automation/ActivationRefusal.h"

#include "automation/AutomationServer.h"
#include "automation/BusConnection.h"

#include <QEventLoop>
#include <QTimer>

namespace tarsion {

namespace {
// The bus daemon hands the waiting calls over as soon as the name is taken.
constexpr int kWindowMs = 1000;
// After a call was answered: the others arrive together with it.
constexpr int kQuietMs = 100;
} // namespace

void RefuseWaitingCalls(const std::string& reason) {
    QString error;
    const std::unique_ptr<CBusConnection> bus = CBusConnection::OpenSession(error);
    if (!bus)
        return;
    QEventLoop loop;
    QTimer quiet;
    quiet.setSingleShot(true);
    QObject::connect(&quiet, &QTimer::timeout, &loop, &QEventLoop::quit);
    const QString text = QString::fromStdString(reason);
    auto refuse = [&](DBusMessage* call) {
        bus->ReplyError(call, kUnavailableError, text);
        quiet.start(kQuietMs);
    };
    if (!bus->ServePath(CAutomationServer::kPath, refuse, error) || !bus->ServePath("/", refuse, error) ||
        !bus->ClaimName(CAutomationServer::kService, error))
        return;
    QTimer::singleShot(kWindowMs, &loop, &QEventLoop::quit);
    bus->OnLost([&loop] { loop.quit(); });
    loop.exec();
}

} // namespace tarsion
