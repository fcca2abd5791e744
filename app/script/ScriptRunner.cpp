#include "ScriptRunner.h"

#include "AutomationClient.h"
#include "WaitingLine.h"
#include "WshShell.h"

#include <QDBusConnection>
#include <QFileInfo>
#include <QThread>
#include <QUrl>

#include <cstdio>

namespace tarsion {

namespace {

// Builds WScript and ActiveXObject over the runner's native calls. The automation object is a
// Proxy so that any spelling of a method name reaches the method.
const char* const kPrelude = R"JS(
(function (host) {
    var list = host.arguments;
    var args = function (i) { return list[i]; };
    args.Item = function (i) { return list[i]; };
    args.Count = function () { return list.length; };
    Object.defineProperty(args, "length", { value: list.length });

    function automationObject(client) {
        return new Proxy({}, {
            get: function (target, name) {
                if (typeof name !== "string")
                    return undefined;
                // An unknown name still gives a function: calling it reports the name it was given.
                var method = client.resolve(name);
                if (method === "")
                    method = name;
                return function () { return client.call(method, Array.prototype.slice.call(arguments)); };
            }
        });
    }

    function createObject(progId) {
        var id = String(progId).toLowerCase();
        if (id === "trm90627")
            return automationObject(host.connectTarsion());
        if (id === "wscript.shell")
            return host.shell();
        throw new Error("Could not create object named \"" + progId + "\"");
    }

    var wscript = {
        CreateObject: createObject,
        Echo: function () { host.echo(Array.prototype.slice.call(arguments)); },
        Sleep: function (milliseconds) { host.sleep(milliseconds); },
        Quit: function (code) {
            var status = code === undefined ? 0 : Number(code);
            // A status that is no number must not end the script as a success.
            if (isNaN(status))
                throw new TypeError("WScript.Quit: the exit code must be a number, not \"" + code + "\"");
            host.quit(status);
        },
        Arguments: args,
        ScriptName: host.scriptName,
        ScriptFullName: host.scriptFullName
    };
    return {
        WScript: wscript,
        ActiveXObject: function (progId) { return createObject(progId); }
    };
})
)JS";

// The innermost line of the script itself in a stack trace of "function:line:column:file" entries;
// errors raised by the host's own objects point there rather than into the prelude.
int ScriptLine(const QStringList& stackTrace, const QString& scriptPath) {
    const QString scriptUrl = QUrl::fromLocalFile(scriptPath).toString();
    for (const QString& entry : stackTrace) {
        const QStringList parts = entry.split(QLatin1Char(':'));
        if (parts.size() > 3 && parts.mid(3).join(QLatin1Char(':')) == scriptUrl)
            return parts.at(1).toInt();
    }
    return 0;
}

} // namespace

CScriptRunner::CScriptRunner(QString scriptPath, QStringList arguments, bool hasDisplay)
    : scriptPath_(QFileInfo(scriptPath).absoluteFilePath()), arguments_(std::move(arguments)),
      hasDisplay_(hasDisplay) {
    QJSEngine::setObjectOwnership(this, QJSEngine::CppOwnership);
    engine_.installExtensions(QJSEngine::ConsoleExtension);
    const QJSValue objects =
        engine_.evaluate(QString::fromUtf8(kPrelude), QStringLiteral("tarsion-script prelude"))
            .call({engine_.newQObject(this)});
    for (const char* name : {"WScript", "ActiveXObject"})
        engine_.globalObject().setProperty(QString::fromLatin1(name),
                                           objects.property(QString::fromLatin1(name)));
}

QString CScriptRunner::scriptName() const {
    return QFileInfo(scriptPath_).fileName();
}

int CScriptRunner::Run(const QString& source, QString& error) {
    QStringList stackTrace;
    const QJSValue result = engine_.evaluate(source, scriptPath_, 1, &stackTrace);
    if (quitRequested_)
        return quitCode_;
    if (!result.isError() && stackTrace.isEmpty())
        return 0;
    int line = ScriptLine(stackTrace, scriptPath_);
    if (line == 0)
        line = result.property(QStringLiteral("lineNumber")).toInt();
    error = QStringLiteral("%1:%2: %3").arg(scriptPath_).arg(line).arg(result.toString());
    return 1;
}

void CScriptRunner::echo(const QJSValue& values) {
    QStringList texts;
    const int count = values.property(QStringLiteral("length")).toInt();
    for (int i = 0; i < count; ++i)
        texts << values.property(i).toString();
    std::printf("%s\n", qPrintable(texts.join(QLatin1Char(' '))));
    std::fflush(stdout);
}

void CScriptRunner::sleep(double milliseconds) {
    if (milliseconds > 0)
        QThread::msleep(static_cast<unsigned long>(milliseconds));
}

void CScriptRunner::quit(int code) {
    quitRequested_ = true;
    quitCode_ = code;
    engine_.setInterrupted(true);
}

QJSValue CScriptRunner::connectTarsion() {
    auto* client = new CAutomationClient(QDBusConnection::sessionBus(), CWaitingLine::Terminal(), nullptr,
                                         service_.isEmpty() ? CAutomationClient::kService : service_);
    QJSValue object = engine_.newQObject(client);
    QString error;
    if (!client->Create(error)) {
        engine_.throwError(QStringLiteral("Could not create object named \"Trm90627\": %1").arg(error));
        return {};
    }
    return object;
}

QJSValue CScriptRunner::shell() {
    return engine_.newQObject(new CWshShell(hasDisplay_));
}

} // namespace tarsion
