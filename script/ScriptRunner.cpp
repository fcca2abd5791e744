#include "script/ScriptRunner.h"

#include "base/RegularFile.h"
#include "script/AutomationClient.h"
#include "script/ScriptParts.h"
#include "script/WaitingLine.h"
#include "script/WshShell.h"

#include <QDBusConnection>
#include <QFileInfo>
#include <QThread>
#include <QUrl>

#include <cmath>
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

int CScriptRunner::Run(std::string_view script, QString& error) {
    std::string converted;
    const std::string_view utf8 = ScriptUtf8(script, converted);
    ScriptParts parts = SplitScript(utf8);
    if (!parts.calls.empty() && parts.program.size() <= kScriptProgramLimit && !CompilesAlone(parts.program))
        parts = {utf8, {}, 1};
    if (parts.program.size() > kScriptProgramLimit) {
        error =
            QStringLiteral("%1: too large to run: besides the plain calls a recording ends with, a script "
                           "may hold at most %2 MB")
                .arg(scriptPath_)
                .arg(kScriptProgramLimit >> 20);
        return 1;
    }
    int status = 0;
    if (!Evaluate(parts.program, 1, status, error))
        return status;
    for (int line = parts.callsFirstLine; !parts.calls.empty();) {
        int lines = 0;
        const std::string_view chunk = NextCallChunk(parts.calls, lines);
        if (!Evaluate(chunk, line, status, error))
            return status;
        parts.calls.remove_prefix(chunk.size());
        line += lines;
    }
    return 0;
}

bool CScriptRunner::Evaluate(std::string_view utf8, int firstLine, int& status, QString& error) {
    QString source = QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
    source.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QStringList stackTrace;
    const QJSValue result = engine_.evaluate(source, scriptPath_, firstLine, &stackTrace);
    if (quitRequested_) {
        status = quitCode_;
        return false;
    }
    if (!result.isError() && stackTrace.isEmpty())
        return true;
    int line = ScriptLine(stackTrace, scriptPath_);
    if (line == 0)
        line = result.property(QStringLiteral("lineNumber")).toInt();
    error = QStringLiteral("%1:%2: %3").arg(scriptPath_).arg(line).arg(result.toString());
    status = tarsionUnreachable_ ? kUnreachableExitCode : 1;
    return false;
}

// Compiled as a function body, which runs nothing: a syntax error means a statement of the program
// goes on into the calls after it, and the script is run as a whole.
bool CScriptRunner::CompilesAlone(std::string_view utf8) {
    const QJSValue compiled =
        engine_.globalObject()
            .property(QStringLiteral("Function"))
            .call({QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()))});
    return !compiled.isError();
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

void CScriptRunner::quit(double code) {
    quitRequested_ = true;
    // An exit status keeps 8 bits: 256 would read as success. Codes 1 to 255 stay as given, every
    // other non-zero code (negative, fractional, huge, infinite) gives 255.
    if (code == 0)
        quitCode_ = 0;
    else if (code >= 1 && code <= 255 && code == std::floor(code))
        quitCode_ = static_cast<int>(code);
    else
        quitCode_ = 255;
    engine_.setInterrupted(true);
}

QJSValue CScriptRunner::connectTarsion() {
    auto* client = new CAutomationClient(QDBusConnection::sessionBus(), CWaitingLine::Terminal(), nullptr,
                                         service_.isEmpty() ? CAutomationClient::kService : service_);
    QJSValue object = engine_.newQObject(client);
    QString error;
    if (!client->Create(error)) {
        tarsionUnreachable_ = true;
        engine_.throwError(QStringLiteral("Could not create object named \"Trm90627\": %1").arg(error));
        return {};
    }
    return object;
}

QJSValue CScriptRunner::shell() {
    return engine_.newQObject(new CWshShell(hasDisplay_));
}

} // namespace tarsion
