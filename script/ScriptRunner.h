#pragma once

#include <QJSEngine>
#include <QJSValue>
#include <QObject>
#include <QString>
#include <QStringList>

#include <string_view>

namespace tarsion {

// Runs one JavaScript file with the objects a script host offers: WScript (CreateObject, Echo,
// Sleep, Quit, Arguments, ScriptName, ScriptFullName) and ActiveXObject.
class CScriptRunner final : public QObject {
    Q_OBJECT
    Q_PROPERTY(QStringList arguments MEMBER arguments_ CONSTANT)
    Q_PROPERTY(QString scriptName READ scriptName CONSTANT)
    Q_PROPERTY(QString scriptFullName MEMBER scriptPath_ CONSTANT)
public:
    CScriptRunner(QString scriptPath, QStringList arguments, bool hasDisplay);

    // An uncaught error after Tarsion could not be reached (no program, activation failed).
    static constexpr int kUnreachableExitCode = 2;

    // Runs the script's bytes (UTF-8, or UTF-16 with a byte-order mark). Returns the exit status:
    // 0, the code given to WScript.Quit, or 1 after an uncaught error (kUnreachableExitCode when
    // Tarsion could not be reached), which is described (file, line, message) in `error`, as is a
    // script too large to compile.
    int Run(std::string_view script, QString& error);
    // The bus name of the program the script drives (tarsion-script --board).
    void SetService(const QString& service) { service_ = service; }

    QString scriptName() const;

    Q_INVOKABLE void echo(const QJSValue& values);
    Q_INVOKABLE void sleep(double milliseconds);
    Q_INVOKABLE void quit(double code);
    Q_INVOKABLE QJSValue connectTarsion();
    Q_INVOKABLE QJSValue shell();

private:
    // Runs one piece of the script; false when the script ended there, `status` saying how.
    bool Evaluate(std::string_view utf8, int firstLine, int& status, QString& error);
    bool CompilesAlone(std::string_view utf8);

    QString scriptPath_;
    QStringList arguments_;
    bool hasDisplay_;
    QString service_;
    bool quitRequested_ = false;
    bool tarsionUnreachable_ = false;
    int quitCode_ = 0;
    QJSEngine engine_;
};

} // namespace tarsion
