#include "automation/AutomationServer.h"

#include "automation/ActivationFile.h"
#include "automation/AutomationCallGate.h"
#include "automation/BusArguments.h"
#include "automation/BusConnection.h"
#include "ops/BoardOperations.h"
#include "ops/TarsionDoc.h"

#include <QCoreApplication>

#include <cstdio>
#include <cstring>
#include <dbus/dbus.h>

namespace tarsion {

namespace {

bool IsIntrospection(const char* interface, const char* member) {
    return (!interface || std::strcmp(interface, DBUS_INTERFACE_INTROSPECTABLE) == 0) &&
           std::strcmp(member, "Introspect") == 0;
}

// Introspect takes no arguments.
bool IsIntrospectionCall(DBusMessage* call) {
    return IsIntrospection(dbus_message_get_interface(call), dbus_message_get_member(call)) &&
           !*dbus_message_get_signature(call);
}

QString Text(const char* text) {
    return QString::fromUtf8(text ? text : "");
}

} // namespace

CAutomationServer::CAutomationServer(CBoardOperations& ops, std::function<void()> newDocument)
    : target_{ops, std::move(newDocument), [&ops] { return ops.Outcome().OperationResult(); }} {}

CAutomationServer::~CAutomationServer() = default;

bool CAutomationServer::Register(QString& error) {
    QString reason;
    bus_ = CBusConnection::OpenSession(reason);
    if (!bus_) {
        error = QStringLiteral("no D-Bus session bus (%1)").arg(reason);
        return false;
    }
    gate_ = std::make_unique<CAutomationCallGate>(*bus_, target_.ops);
    if (!bus_->ServePath(
            kPath, [this](DBusMessage* call) { Answer(call); }, reason) ||
        !bus_->ServePath(
            "/", [this](DBusMessage* call) { AnswerRoot(call); }, reason)) {
        error = QStringLiteral("object path %1 is already in use").arg(QString::fromLatin1(kPath));
    } else if (const std::string& boardId = target_.ops.Doc().boardId; boardId.empty()) {
        if (bus_->ClaimName(kService, error))
            return true;
    } else if (bus_->ClaimName(kBoardServicePrefix + boardId, error)) {
        // The first program keeps the service name: scripts written for one board go on working.
        QString taken;
        bus_->ClaimName(kService, taken);
        return true;
    }
    gate_.reset();
    bus_.reset();
    return false;
}

void CAutomationServer::OnBusLost(std::function<void()> lost) {
    // A server that never got its bus has none to lose.
    if (bus_)
        bus_->OnLost(std::move(lost));
}

void CAutomationServer::Answer(DBusMessage* call) {
    const char* interface = dbus_message_get_interface(call);
    const char* member = dbus_message_get_member(call);
    const char* signature = dbus_message_get_signature(call);
    if (IsIntrospectionCall(call)) {
        ReplyText(call, AutomationIntrospection());
        return;
    }
    const AutomationMethod* method = FindAutomationMethod(interface, member);
    if (IsIntrospection(interface, member)) {
        ReplyUnknownMethod(call);
    } else if (!method && interface && !IsAutomationInterface(interface)) {
        bus_->ReplyError(
            call, DBUS_ERROR_UNKNOWN_INTERFACE,
            QStringLiteral("No such interface '%1' at object path '%2'").arg(Text(interface), Text(kPath)));
    } else if (!method || std::strcmp(signature, method->signature) != 0) {
        // The arguments don't match: refused before anything runs.
        ReplyUnknownMethod(call);
    } else {
        CBusArguments arguments(call);
        AutomationWork work = method->bind(arguments, target_);
        if (arguments.OverLimit()) {
            bus_->ReplyError(call, DBUS_ERROR_LIMITS_EXCEEDED,
                             QStringLiteral("The call's arrays hold more than %1 elements in all")
                                 .arg(CBusArguments::kMostElements));
            return;
        }
        if (method->immediate)
            gate_->AnswerNow(CBusMessage(call), work);
        else
            gate_->Submit(CBusMessage(call), std::move(work));
    }
}

void CAutomationServer::AnswerRoot(DBusMessage* call) {
    if (IsIntrospectionCall(call))
        ReplyText(call, RootIntrospection());
    else if (IsIntrospection(dbus_message_get_interface(call), dbus_message_get_member(call)))
        ReplyUnknownMethod(call);
    else
        bus_->ReplyError(call, DBUS_ERROR_UNKNOWN_OBJECT, QStringLiteral("No such object path '/'"));
}

void CAutomationServer::ReplyUnknownMethod(DBusMessage* call) {
    bus_->ReplyError(
        call, DBUS_ERROR_UNKNOWN_METHOD,
        QStringLiteral("No such method '%1' in interface '%2' at object path '%3' (signature '%4')")
            .arg(Text(dbus_message_get_member(call)), Text(dbus_message_get_interface(call)),
                 Text(dbus_message_get_path(call)), Text(dbus_message_get_signature(call))));
}

void CAutomationServer::ReplyText(DBusMessage* call, const std::string& text) {
    bus_->Reply(call, [&text](DBusMessage* reply) {
        const char* data = text.c_str();
        dbus_message_append_args(reply, DBUS_TYPE_STRING, &data, DBUS_TYPE_INVALID);
    });
}

std::unique_ptr<CAutomationServer> StartAutomation(CBoardOperations& ops, std::function<void()> newDocument) {
    QString error;
    QString note;
    const ActivationContext activation{ActivationFilePath(), QCoreApplication::applicationFilePath(),
                                       QStringLiteral(TARSION_VERSION), SystemActivationFiles()};
    if (!UpdateActivationFile(activation, note, error))
        std::fprintf(stderr, "tarsion: can't write the D-Bus activation file: %s\n", qPrintable(error));
    else if (!note.isEmpty())
        std::fprintf(stderr, "tarsion: D-Bus activation: %s\n", qPrintable(note));
    error.clear();
    auto server = std::make_unique<CAutomationServer>(ops, std::move(newDocument));
    if (!server->Register(error)) {
        const QString line = QStringLiteral("Automation is off: %1").arg(error);
        ops.Log(line.toStdString(), 0);
        std::fprintf(stderr, "tarsion: %s\n", qPrintable(line));
        return nullptr;
    }
    return server;
}

} // namespace tarsion
