// tarsion-script [--batch] [--board ID] FILE [ARGUMENTS...]: runs a JavaScript file that drives
// Tarsion through its automation object.

#include "base/ProcessSetup.h"
#include "base/RegularFile.h"
#include "board/BoardLock.h"
#include "script/AutomationClient.h"
#include "script/ScriptRunner.h"
#include "script/ScriptSource.h"

#include <QApplication>
#include <QMessageBox>

#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

namespace {

constexpr int kUsageExitCode = 2;

const char* const kUsage =
    "Usage: tarsion-script [--batch] [--board ID] FILE [ARGUMENTS...]\n"
    "Runs the JavaScript FILE against Tarsion's automation object; ARGUMENTS go to the script\n"
    "(WScript.Arguments). The exit status is the script's (WScript.Quit), 1 after an error, 2 when\n"
    "Tarsion can't be reached.\n"
    "\n"
    "  --batch      show no message box: errors go to standard error only, Popup texts to\n"
    "               standard output (also with TARSION_BATCH=1, and without a display)\n"
    "  --board ID   drive the program of board ID (tarsion --board-id ID), bus name\n"
    "               com.tessaric.Tarsion.Board.ID, waiting up to 10 s for it to come up;\n"
    "               without it, the first program (com.tessaric.Tarsion), started when none runs\n"
    "  --help       show this text\n"
    "  --version    show the version\n";

// The options before FILE; what follows FILE belongs to the script.
struct Options {
    std::string board;
    bool batch = false;
    int firstScriptArgument = 0;
};

int UsageError(const std::string& error) {
    std::fprintf(stderr, "tarsion-script: %s\nTry 'tarsion-script --help' for more information.\n",
                 error.c_str());
    return kUsageExitCode;
}

// 0 when the script is to run; otherwise the exit status, the text already written.
int ParseOptions(int argc, char** argv, Options& options) {
    int i = 1;
    for (; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "--") {
            ++i;
            break;
        }
        if (argument.size() < 2 || argument.front() != '-')
            break;
        if (argument == "--help" || argument == "-h") {
            std::fputs(kUsage, stdout);
            return -1;
        }
        if (argument == "--version") {
            std::printf("tarsion-script %s\n", TARSION_VERSION);
            return -1;
        }
        if (argument == "--batch") {
            options.batch = true;
            continue;
        }
        const bool board = argument == "--board" && i + 1 < argc;
        const std::string_view value = board                              ? std::string_view(argv[i + 1])
                                       : argument.starts_with("--board=") ? argument.substr(8)
                                                                          : std::string_view();
        if (!value.empty() && tarsion::IsValidBoardId(value)) {
            options.board = value;
            i += board ? 1 : 0;
            continue;
        }
        if (!argument.starts_with("--board"))
            return UsageError("unknown option " + std::string(argument));
        if (value.empty())
            return UsageError("no board id given with " + std::string(argument));
        return UsageError(tarsion::QuotedBoardId(value) +
                          " is no board id: use letters, digits, _ and - (no digit or - first)");
    }
    if (i >= argc)
        return UsageError("no script named");
    options.firstScriptArgument = i;
    return 0;
}

// A batch run (CI, a test rig) never waits for a click.
bool BatchRequested(const Options& options) {
    return options.batch || qEnvironmentVariable("TARSION_BATCH") == QLatin1String("1");
}

// Without a display (or on the offscreen platform) no window may be opened, not even to report.
bool HasDisplay() {
    const QString platform = qEnvironmentVariable("QT_QPA_PLATFORM");
    if (platform == QLatin1String("offscreen") || platform == QLatin1String("minimal"))
        return false;
    return qEnvironmentVariableIsSet("DISPLAY") || qEnvironmentVariableIsSet("WAYLAND_DISPLAY");
}

int Fail(const QString& text, bool hasDisplay) {
    std::fprintf(stderr, "%s\n", qPrintable(text));
    if (hasDisplay) {
        QMessageBox box(QMessageBox::Critical, QStringLiteral("tarsion-script"), text, QMessageBox::Ok);
        box.exec();
    }
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    // Before anything opens a descriptor that could take the place of a closed standard one.
    tarsion::OpenStandardDescriptors();
    Options options;
    if (const int status = ParseOptions(argc, argv, options); status != 0)
        return status < 0 ? 0 : status;
    std::string homeError;
    if (!tarsion::EnsureHomeFolder(homeError)) {
        std::fprintf(stderr, "tarsion-script: %s\n", homeError.c_str());
        return 1;
    }
    // Qt takes only what precedes the script: a script's own "-style" argument stays the script's.
    int qtArgc = options.firstScriptArgument;
    // Message boxes need a display and a run that may wait for someone to answer them.
    const bool hasDisplay = HasDisplay() && !BatchRequested(options);
    std::unique_ptr<QCoreApplication> app;
    if (hasDisplay)
        app = std::make_unique<QApplication>(qtArgc, argv);
    else
        app = std::make_unique<QCoreApplication>(qtArgc, argv);

    const QString path = QString::fromLocal8Bit(argv[options.firstScriptArgument]);
    QStringList arguments;
    for (int i = options.firstScriptArgument + 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    if (tarsion::IsVbScript(path))
        return Fail(
            QStringLiteral("%1: VBScript files can't be run; tarsion-script runs JavaScript (.js) files only")
                .arg(path),
            hasDisplay);
    // A regular file of sane size only: a FIFO would block and /dev/zero never end.
    std::string bytes;
    switch (tarsion::ReadRegularFile(path.toStdString(), tarsion::kScriptFileLimit, bytes)) {
    case tarsion::FileRead::Ok:
        break;
    case tarsion::FileRead::CannotOpen:
        return Fail(QStringLiteral("%1: can't open the file, or it is no regular file").arg(path),
                    hasDisplay);
    case tarsion::FileRead::TooLarge:
        return Fail(QStringLiteral("%1: the file is larger than %2 MB, too large for a script")
                        .arg(path)
                        .arg(tarsion::kScriptFileLimit >> 20),
                    hasDisplay);
    }

    tarsion::CScriptRunner runner(path, arguments, hasDisplay);
    if (!options.board.empty())
        runner.SetService(tarsion::CAutomationClient::kBoardServicePrefix +
                          QString::fromStdString(options.board));
    QString error;
    const int status = runner.Run(bytes, error);
    if (!error.isEmpty())
        Fail(error, hasDisplay);
    return status;
}
