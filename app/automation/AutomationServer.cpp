#include "AutomationServer.h"

#include "ActivationFile.h"
#include "AutomationCallGate.h"
#include "Trm90627Adaptor.h"
#include "ops/BoardOperations.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusVariant>
#include <QMetaType>

#include <cstdio>

namespace tarsion {

CAutomationServer::CAutomationServer(QDBusConnection bus, CBoardOperations& ops,
                                     std::function<void()> newDocument)
    : bus_(std::move(bus)), gate_(std::make_unique<CAutomationCallGate>(bus_, ops)) {
    // Without it the variant slots are silently left off the bus.
    qRegisterMetaType<QDBusVariant>();
    new CTrm90627Adaptor(this, ops, *gate_);
    new CAutomationCreateAdaptor(this, std::move(newDocument), *gate_);
}

CAutomationServer::~CAutomationServer() {
    if (registered_) {
        bus_.unregisterService(kService);
        bus_.unregisterObject(kPath);
    }
}

bool CAutomationServer::Register(QString& error) {
    if (!bus_.isConnected()) {
        error = QStringLiteral("no D-Bus session bus");
        return false;
    }
    if (!bus_.registerObject(kPath, this, QDBusConnection::ExportAdaptors)) {
        error = QStringLiteral("object path %1 is already in use").arg(kPath);
        return false;
    }
    if (!bus_.registerService(kService)) {
        bus_.unregisterObject(kPath);
        error = QStringLiteral("the bus name %1 is already owned by another program").arg(kService);
        return false;
    }
    registered_ = true;
    return true;
}

std::unique_ptr<CAutomationServer> StartAutomation(CBoardOperations& ops, std::function<void()> newDocument) {
    QString error;
    if (!WriteActivationFile(ActivationFilePath(), QCoreApplication::applicationFilePath(), error))
        std::fprintf(stderr, "tarsion: can't write the D-Bus activation file: %s\n", qPrintable(error));
    auto server =
        std::make_unique<CAutomationServer>(QDBusConnection::sessionBus(), ops, std::move(newDocument));
    if (!server->Register(error)) {
        const QString line = QStringLiteral("Automation is off: %1").arg(error);
        ops.Log(line.toStdString(), 0);
        std::fprintf(stderr, "tarsion: %s\n", qPrintable(line));
        return nullptr;
    }
    return server;
}

} // namespace tarsion
