#include "AutomationBench.h"

#include <QCoreApplication>
#include <QDBusPendingCall>
#include <QDBusPendingCallWatcher>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <fstream>
#include <limits>
#include <sstream>

namespace tarsion::test {

namespace {
std::unique_ptr<VirtualBoard> NewBoard(VirtualBoard*& board) {
    auto made = std::make_unique<VirtualBoard>();
    board = made.get();
    return made;
}
} // namespace

AutomationBench::AutomationBench() : stack(NewBoard(board), clock, prompt) {}

AutomationBench::~AutomationBench() = default;

void AutomationBench::Serve() {
    server = std::make_unique<CAutomationServer>(*ops, [this] {
        ++newDocumentSteps;
        if (duringNewDocument)
            duringNewDocument();
    });
    QString error;
    if (!server->Register(error))
        qFatal("automation object not served: %s", qPrintable(error));
}

std::string BoardState(const VirtualBoard& board) {
    QTemporaryDir dir;
    const std::string path = QDir(dir.path()).filePath(QStringLiteral("state.txt")).toStdString();
    std::string error;
    if (!board.SaveState(path, error))
        return "unsaved: " + error;
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

QDBusPendingCall StartCall(const QString& method, const QList<QVariant>& arguments,
                           const QString& interface) {
    static QDBusConnection client =
        QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("client"));
    QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("com.tessaric.Tarsion"),
                                                       QStringLiteral("/Trm90627"), interface, method);
    call.setArguments(arguments);
    return client.asyncCall(call, std::numeric_limits<int>::max());
}

void WaitFor(const QDBusPendingCall& call, int milliseconds) {
    QDBusPendingCallWatcher watcher(call);
    QEventLoop loop;
    QObject::connect(&watcher, &QDBusPendingCallWatcher::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    if (!call.isFinished())
        loop.exec();
}

void ServeEvents(int milliseconds) {
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

QDBusMessage CallFromClient(const QString& method, const QList<QVariant>& arguments,
                            const QString& interface) {
    const QDBusPendingCall call = StartCall(method, arguments, interface);
    WaitFor(call);
    return call.reply();
}

ScriptResult RunScript(const QString& script, const QStringList& arguments) {
    QProcess process;
    QEventLoop loop;
    QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
    process.start(QStringLiteral(TARSION_SCRIPT_EXECUTABLE), QStringList{script} + arguments);
    if (process.waitForStarted())
        loop.exec();
    ScriptResult result;
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = QString::fromUtf8(process.readAllStandardOutput());
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
}

QString WriteText(const QString& path, const QByteArray& text) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("can't write %s", qPrintable(path));
    file.write(text);
    return path;
}

} // namespace tarsion::test
