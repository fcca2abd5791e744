#include "script/AutomationClient.h"

#include "script/ScriptArguments.h"
#include "script/WaitingLine.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QElapsedTimer>
#include <QJSEngine>
#include <QThread>
#include <QXmlStreamReader>

#include <limits>

namespace tarsion {

namespace {

const QString kPath = QStringLiteral("/Trm90627");
const QString kInterface = QStringLiteral("com.tessaric.Trm90627");
const QString kCreateInterface = QStringLiteral("com.tessaric.Tarsion.Automation");

// A board load may take minutes: the bus daemon treats INT_MAX as "no time-out".
constexpr int kNoTimeout = std::numeric_limits<int>::max();

constexpr int kBoardPollMs = 50;

} // namespace

const QString CAutomationClient::kService = QStringLiteral("com.tessaric.Tarsion");
const QString CAutomationClient::kBoardServicePrefix = QStringLiteral("com.tessaric.Tarsion.Board.");

CAutomationClient::CAutomationClient(QDBusConnection bus, std::FILE* terminal, QObject* parent,
                                     QString service)
    : QObject(parent), bus_(std::move(bus)), terminal_(terminal), service_(std::move(service)) {}

bool CAutomationClient::WaitForBoard(QString& error) {
    QElapsedTimer waited;
    waited.start();
    while (!bus_.interface()->isServiceRegistered(service_)) {
        if (waited.elapsed() >= kBoardWaitMs) {
            error = QStringLiteral("no program serves board %1 (bus name %2); start one with "
                                   "tarsion --port PORT --board-id %1")
                        .arg(service_.mid(kBoardServicePrefix.size()), service_);
            return false;
        }
        QThread::msleep(kBoardPollMs);
    }
    return true;
}

QDBusMessage CAutomationClient::CallBlocking(const QDBusMessage& message) {
    if (!terminal_)
        return bus_.call(message, QDBus::Block, kNoTimeout);
    return CWaitingLine(terminal_).Wait(bus_.asyncCall(message, kNoTimeout), message.member());
}

bool CAutomationClient::Create(QString& error) {
    if (!bus_.isConnected()) {
        error = QStringLiteral("no D-Bus session bus");
        return false;
    }
    if (service_ != kService && !WaitForBoard(error))
        return false;
    const QDBusMessage reply = CallBlocking(
        QDBusMessage::createMethodCall(service_, kPath, kCreateInterface, QStringLiteral("Create")));
    if (reply.type() == QDBusMessage::ErrorMessage) {
        error = reply.errorMessage();
        return false;
    }
    return Introspect(error);
}

bool CAutomationClient::Introspect(QString& error) {
    const QDBusMessage reply = CallBlocking(
        QDBusMessage::createMethodCall(service_, kPath, QStringLiteral("org.freedesktop.DBus.Introspectable"),
                                       QStringLiteral("Introspect")));
    if (reply.type() == QDBusMessage::ErrorMessage || reply.arguments().isEmpty()) {
        error = reply.errorMessage();
        return false;
    }
    QXmlStreamReader xml(reply.arguments().constFirst().toString());
    QString interface;
    Method* method = nullptr;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        const auto attributes = xml.attributes();
        if (xml.name() == QLatin1String("interface")) {
            interface = attributes.value(QLatin1String("name")).toString();
        } else if (xml.name() == QLatin1String("method")) {
            const QString member = attributes.value(QLatin1String("name")).toString();
            const QString key = member.toLower();
            // The automation interface wins over the standard ones when names meet.
            if (methods_.contains(key) && methods_[key].interface == kInterface) {
                method = nullptr;
                continue;
            }
            methods_[key] = Method{interface, member, {}};
            method = &methods_[key];
        } else if (xml.name() == QLatin1String("arg") && method) {
            if (attributes.value(QLatin1String("direction")) != QLatin1String("out"))
                method->inTypes << attributes.value(QLatin1String("type")).toString();
        }
    }
    if (xml.hasError()) {
        error = xml.errorString();
        return false;
    }
    return true;
}

QString CAutomationClient::resolve(const QString& name) const {
    const auto found = methods_.constFind(name.toLower());
    return found == methods_.constEnd() ? QString() : found.key();
}

QJSValue CAutomationClient::call(const QString& method, const QJSValue& arguments) {
    QJSEngine* engine = qjsEngine(this);
    const auto found = methods_.constFind(method.toLower());
    if (found == methods_.constEnd()) {
        engine->throwError(QJSValue::TypeError,
                           QStringLiteral("Object doesn't support this method: %1").arg(method));
        return {};
    }
    const Method& target = *found;
    const int count = arguments.property(QStringLiteral("length")).toInt();
    if (count != target.inTypes.size()) {
        engine->throwError(QStringLiteral("Wrong number of arguments calling %1: %2 given, %3 expected")
                               .arg(target.member)
                               .arg(count)
                               .arg(target.inTypes.size()));
        return {};
    }
    QDBusMessage message = QDBusMessage::createMethodCall(service_, kPath, target.interface, target.member);
    QVariantList converted;
    for (int i = 0; i < count; ++i) {
        const auto argument = ToDBusArgument(arguments.property(i), target.inTypes.at(i));
        if (!argument) {
            engine->throwError(
                QJSValue::TypeError,
                QStringLiteral("Type mismatch: argument %1 of %2").arg(i + 1).arg(target.member));
            return {};
        }
        converted << *argument;
    }
    message.setArguments(converted);
    const QDBusMessage reply = CallBlocking(message);
    if (reply.type() == QDBusMessage::ErrorMessage) {
        engine->throwError(QStringLiteral("%1 failed: %2").arg(target.member, reply.errorMessage()));
        return {};
    }
    return reply.arguments().isEmpty() ? QJSValue() : FromDBusResult(reply.arguments().constFirst());
}

} // namespace tarsion
