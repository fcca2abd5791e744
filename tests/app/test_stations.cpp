// Several boards on one PC: the command line, board ids and where boards are locked, and the lock
// that keeps a second program off a board.
#include "app/ProgramOptions.h"
#include "app/RunMode.h"
#include "base/ProcessSetup.h"
#include "board/BoardLock.h"
#include "board/PortBackend.h"
#include "board/VirtualBoard.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <pwd.h>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace tarsion {
namespace {

using Action = ProgramOptions::Action;

struct OptionCase {
    std::vector<std::string> arguments;
    Action action;
    std::string port;
    std::string boardId;
    std::size_t files;
};

TEST(ProgramOptions, TakesOwnAndQtOptionsAndRefusesTheRest) {
    const OptionCase cases[] = {
        {{}, Action::Run, "", "", 0},
        {{"--port", "sim:a b.txt", "--board-id", "bench_1"}, Action::Run, "sim:a b.txt", "bench_1", 0},
        {{"--port=/dev/parport1", "--board-id=x-2"}, Action::Run, "/dev/parport1", "x-2", 0},
        // Qt's switches and their values are Qt's, not file names.
        {{"-platform", "offscreen", "-style=fusion", "-reverse", "bench.cfg"}, Action::Run, "", "", 1},
        {{"--", "--port"}, Action::Run, "", "", 1},
        {{"--headless", "--help", "--no-such"}, Action::Help, "", "", 0},
        {{"--list-ports"}, Action::ListPorts, "", "", 0},
        {{"--no-such"}, Action::Refuse, "", "", 0},
        {{"--port"}, Action::Refuse, "", "", 0},
        {{"--port="}, Action::Refuse, "", "", 0},
        {{"--demo=1"}, Action::Refuse, "", "", 0},
        {{"--board-id", "7up"}, Action::Refuse, "", "", 0},
        {{"--board-id", "-x"}, Action::Refuse, "", "", 0},
        {{"--board-id", "a.b"}, Action::Refuse, "", "", 0},
        {{"--board-id", std::string(65, 'a')}, Action::Refuse, "", "", 0},
        {{"--save-port", "sim:x.txt"}, Action::SavePort, "sim:x.txt", "", 0},
        {{"--save-port=/dev/parport0"}, Action::SavePort, "/dev/parport0", "", 0},
        {{"--save-port", "sim-paced"}, Action::SavePort, "sim-paced", "", 0},
        {{"--save-port", "bogus"}, Action::Refuse, "", "", 0},
        {{"--save-port", "sim:"}, Action::Refuse, "", "", 0},
        {{"--save-port="}, Action::Refuse, "", "", 0},
    };
    for (const OptionCase& c : cases) {
        const ProgramOptions options = ParseProgramOptions(c.arguments);
        const std::string label = c.arguments.empty() ? "(none)" : c.arguments.front();
        EXPECT_EQ(options.action, c.action) << label << ": " << options.error;
        if (c.action != Action::Run && c.action != Action::SavePort)
            continue;
        EXPECT_EQ(options.port.value_or(""), c.port) << label;
        EXPECT_EQ(options.boardId, c.boardId) << label;
        EXPECT_EQ(options.files.size(), c.files) << label;
    }
}

// A refused board id is shown as far as an id goes, escaped, so a hostile argument can neither
// flood the message nor reach the terminal as control codes.
TEST(ProgramOptions, ARefusedBoardIdIsShownBoundedAndEscaped) {
    const std::pair<std::string, std::string> cases[] = {
        {"a\x1b[2J\n\"b\\", "\"a\\x1b[2J\\x0a\\x22b\\x5c\""},
        {std::string(kBoardIdLimit, 'a') + "!", "\"" + std::string(kBoardIdLimit, 'a') + "...\""},
        {std::string(100000, 'a') + "\x1b", "\"" + std::string(kBoardIdLimit, 'a') + "...\""},
        {"caf\xc3\xa9", "\"caf\\xc3\\xa9\""},
    };
    for (const auto& [id, shown] : cases) {
        const ProgramOptions options = ParseProgramOptions({"--board-id", id});
        EXPECT_EQ(options.action, Action::Refuse);
        EXPECT_EQ(options.error.rfind("--board-id " + shown + " is no board id", 0), 0u) << options.error;
        EXPECT_LT(options.error.size(), 400u);
    }
}

// An activated program started in / works in its state folder; one started elsewhere stays.
TEST(ProcessSetup, OnlyAProgramStartedInTheRootFolderMovesToItsStateFolder) {
    QTemporaryDir dir;
    const std::filesystem::path before = std::filesystem::current_path();
    const std::string state = dir.path().toStdString() + "/state/tarsion";
    std::string error;
    std::filesystem::current_path(dir.path().toStdString());
    EXPECT_TRUE(LeaveRootFolder(state, error)) << error;
    EXPECT_EQ(std::filesystem::current_path(), std::filesystem::path(dir.path().toStdString()));
    EXPECT_FALSE(std::filesystem::exists(state));
    std::filesystem::current_path("/");
    EXPECT_TRUE(LeaveRootFolder(state, error)) << error;
    EXPECT_EQ(std::filesystem::current_path(), std::filesystem::path(state));
    std::filesystem::current_path(before);
}

// Sends this process's output to `path` and writes `text` there, then puts standard output and
// error back: 0, or 3 when the output could not be sent there.
int WriteThroughRedirect(const std::string& path, const char* text) {
    std::fflush(stdout);
    std::fflush(stderr);
    const int out = ::dup(STDOUT_FILENO);
    const int err = ::dup(STDERR_FILENO);
    std::string error;
    int status = 3;
    if (RedirectOutputToFile(path, 16, error))
        status = ::write(STDOUT_FILENO, text, std::strlen(text)) > 0 ? 0 : 1;
    ::dup2(out, STDOUT_FILENO);
    ::dup2(err, STDERR_FILENO);
    ::close(out);
    ::close(err);
    return status;
}

std::string Contents(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// An activated program's log: its folders made, two runs kept, a planted link or FIFO refused.
TEST(ProcessSetup, OutputToAFileKeepsTwoRunsAndFollowsNoLink) {
    QTemporaryDir dir;
    const std::string folder = dir.path().toStdString();
    const std::string log = folder + "/state/tarsion/activation.log";
    EXPECT_EQ(WriteThroughRedirect(log, "the first run's log\n"), 0);
    EXPECT_EQ(WriteThroughRedirect(log, "second\n"), 0); // the first reached the limit
    EXPECT_EQ(WriteThroughRedirect(log, "third\n"), 0);
    EXPECT_EQ(Contents(log + ".1"), "the first run's log\n");
    EXPECT_EQ(Contents(log), "second\nthird\n");

    std::filesystem::remove(log);
    std::filesystem::create_symlink(folder + "/victim", log);
    EXPECT_EQ(WriteThroughRedirect(log, "x"), 3);
    EXPECT_FALSE(std::filesystem::exists(folder + "/victim"));
    std::filesystem::remove(log);
    ASSERT_EQ(::mkfifo(log.c_str(), 0600), 0);
    EXPECT_EQ(WriteThroughRedirect(log, "x"), 3); // at once: nobody reads the FIFO
}

// A stored port names the same board for a program started in another folder.
TEST(ProgramOptions, SavedPortsFindTheSameBoardFromAnywhere) {
    EXPECT_EQ(PortFromAnywhere("sim:b.txt", "/w"), "sim:/w/b.txt");
    EXPECT_EQ(PortFromAnywhere("sim-paced:d/b.txt", "/w"), "sim-paced:/w/d/b.txt");
    EXPECT_EQ(PortFromAnywhere("sim:/abs/b.txt", "/w"), "sim:/abs/b.txt");
    for (const char* unchanged : {"sim", "sim-paced", "auto", "direct", "/dev/parport0", ""})
        EXPECT_EQ(PortFromAnywhere(unchanged, "/w"), unchanged);
}

struct IdentityCase {
    std::string spec;
    std::string device; // what the machine has at the base
    std::string id;
    std::string lockPath;
};

TEST(BoardIdentity, EveryPortHasAnIdFitForABusNameAndOneLockPerBoard) {
    const IdentityCase cases[] = {
        {"sim:board.txt", "", "sim-board", "board.txt.lock"},
        // Paced or not, one file is one board.
        {"sim-paced:/srv/rack 2/board.txt", "", "sim-board", "/srv/rack 2/board.txt.lock"},
        {"sim:/tmp/2nd.état.txt", "", "sim-2nd___tat", "/tmp/2nd.état.txt.lock"},
        {"sim", "", "sim", ""},
        {"sim-paced", "", "sim-paced", ""},
        {"/dev/parport1", "/dev/parport0", "parport1", "/run/lock/tarsion-parport1.lock"},
        // "auto" and "direct" on a port's base lock the same file as its device does.
        {"", "/dev/parport0", "parport0", "/run/lock/tarsion-parport0.lock"},
        {"direct", "/dev/parport0", "parport0", "/run/lock/tarsion-parport0.lock"},
        {"direct", "", "port378", "/run/lock/tarsion-io-378.lock"},
        {"nonsense", "", "nonsense", ""},
    };
    for (const IdentityCase& c : cases) {
        const BoardIdentity identity =
            IdentifyBoard(c.spec, 0x378, "/run/lock", [&c](std::uint16_t) { return c.device; });
        EXPECT_EQ(identity.defaultId, c.id) << c.spec;
        EXPECT_TRUE(IsValidBoardId(identity.defaultId)) << c.spec;
        EXPECT_EQ(identity.lockPath, c.lockPath) << c.spec;
    }
}

TEST(BoardLock, ASecondTakerIsRefusedWithTheHolderNamedUntilTheHolderLetsGo) {
    QTemporaryDir dir;
    const std::string path = dir.filePath(QStringLiteral("board.txt.lock")).toStdString();
    std::string error;
    auto held = CBoardLock::Take(path, {0, "sim-board", "sim:board.txt"}, error);
    ASSERT_NE(held, nullptr) << error;

    // A lock is per open file: a second taking in this process meets it as another program would.
    EXPECT_EQ(CBoardLock::Take(path, {0, "other", "sim:board.txt"}, error), nullptr);
    EXPECT_NE(error.find("pid " + std::to_string(getpid()) + ", board id sim-board"), std::string::npos)
        << error;
    const auto holder = CBoardLock::Holder(path);
    ASSERT_TRUE(holder.has_value());
    EXPECT_EQ(holder->pid, getpid());
    EXPECT_EQ(holder->port, "sim:board.txt");

    held.reset();
    EXPECT_FALSE(CBoardLock::Holder(path).has_value());
    EXPECT_NE(CBoardLock::Take(path, {0, "other", "sim:board.txt"}, error), nullptr) << error;
}

TEST(BoardLock, APlantedLinkIsNotFollowed) {
    QTemporaryDir dir;
    const std::filesystem::path target = dir.filePath(QStringLiteral("victim")).toStdString();
    const std::filesystem::path link = dir.filePath(QStringLiteral("board.txt.lock")).toStdString();
    std::filesystem::create_symlink(target, link);
    std::string error;
    EXPECT_EQ(CBoardLock::Take(link, {0, "sim-board", "sim:board.txt"}, error), nullptr);
    EXPECT_FALSE(std::filesystem::exists(target));
    std::filesystem::create_directory(dir.filePath(QStringLiteral("dir.lock")).toStdString());
    EXPECT_EQ(CBoardLock::Take(dir.filePath(QStringLiteral("dir.lock")).toStdString(), {}, error), nullptr);
}

// A virtual board is its state file: a link, a hard link or a deleted lock file reach the same
// board, before and after its holder has replaced the file with a newer state.
TEST(BoardLock, EveryNameOfAStateFileIsOneBoardHeldUntilItsHolderEnds) {
    QTemporaryDir dir;
    const std::filesystem::path folder = dir.path().toStdString();
    const std::string state = (folder / "board.txt").string();
    const std::string card = state + ".lock";
    std::string error;
    auto held = CBoardLock::TakeFile(state, card, {0, "sim-board", "sim:board.txt"}, error);
    ASSERT_NE(held, nullptr) << error;
    ASSERT_TRUE(std::filesystem::is_regular_file(state)); // a fresh board's empty file
    std::filesystem::create_symlink(state, folder / "link.txt");
    std::filesystem::create_hard_link(state, folder / "hard.txt");
    const std::string holder = "pid " + std::to_string(getpid());
    const auto refusedAt = [&](const std::string& name, const char* stage) {
        std::string why;
        EXPECT_EQ(CBoardLock::TakeFile((folder / name).string(), (folder / name).string() + ".lock", {}, why),
                  nullptr)
            << name << " " << stage;
        EXPECT_NE(why.find("the board is in use by tarsion (" + holder), std::string::npos)
            << name << " " << stage << ": " << why;
    };
    for (const char* name : {"board.txt", "link.txt", "hard.txt"})
        refusedAt(name, "at the start");

    // Each save puts a new file in place; the old one (still hard.txt) stays locked too.
    VirtualBoard board;
    board.KeepLockedBy(*held);
    board.SetChipRegister(0x0a, 0x1234);
    struct stat before {};
    struct stat after {};
    ASSERT_EQ(::stat(state.c_str(), &before), 0);
    for (int save = 0; save < 3; ++save)
        ASSERT_TRUE(board.SaveState(state, error)) << error;
    ASSERT_EQ(::stat(state.c_str(), &after), 0);
    ASSERT_NE(before.st_ino, after.st_ino);
    for (const char* name : {"board.txt", "link.txt", "hard.txt"})
        refusedAt(name, "after saves");
    std::filesystem::remove(card);
    refusedAt("board.txt", "without its lock file");

    held.reset();
    EXPECT_NE(CBoardLock::TakeFile((folder / "link.txt").string(), card, {}, error), nullptr) << error;
}

TEST(ProcessSetup, AnUnsetHomeComesFromTheUserDatabase) {
    const std::string saved = std::getenv("HOME") ? std::getenv("HOME") : "";
    for (const bool empty : {false, true}) {
        if (empty)
            setenv("HOME", "", 1);
        else
            unsetenv("HOME");
        std::string error;
        ASSERT_TRUE(EnsureHomeFolder(error)) << error;
        ASSERT_NE(std::getenv("HOME"), nullptr);
        EXPECT_EQ(std::string(std::getenv("HOME")), getpwuid(getuid())->pw_dir);
    }
    setenv("HOME", saved.c_str(), 1);
}

// Decided before Qt is asked: a window only where a display answers (or a platform needs none),
// Qt's own -platform and -display taking the place of the environment's.
struct DisplayCase {
    const char* platform; // QT_QPA_PLATFORM, nullptr: unset
    const char* display;  // DISPLAY, nullptr: unset
    std::vector<std::string> arguments;
    bool window;
};

TEST(ProcessSetup, AWindowOpensOnlyWhereADisplayAnswers) {
    QTemporaryDir runtime; // no Wayland socket in it
    const char* names[] = {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY", "XDG_RUNTIME_DIR"};
    std::vector<std::optional<std::string>> saved;
    for (const char* name : names)
        saved.push_back(std::getenv(name) ? std::optional<std::string>(std::getenv(name)) : std::nullopt);
    ::unsetenv("WAYLAND_DISPLAY");
    ::setenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit().constData(), 1);
    // No X server listens on :987; a display over TCP is taken as reachable.
    const DisplayCase cases[] = {
        {nullptr, nullptr, {}, false},
        {nullptr, ":987", {}, false},
        {nullptr, "remote:10.0", {}, true},
        {"offscreen", nullptr, {}, true},
        {"xcb", nullptr, {}, false},
        {"wayland", nullptr, {}, false},
        {"wayland;offscreen", nullptr, {}, true},
        {nullptr, nullptr, {"-platform", "offscreen"}, true},
        {"offscreen", nullptr, {"-platform", "xcb"}, false},
        {"xcb", "remote:10.0", {"-display", ":987"}, false},
        {"xcb", nullptr, {"-display", "remote:10.0"}, true},
    };
    for (const DisplayCase& c : cases) {
        const auto set = [](const char* name, const char* value) {
            value ? ::setenv(name, value, 1) : ::unsetenv(name);
        };
        set("QT_QPA_PLATFORM", c.platform);
        set("DISPLAY", c.display);
        SCOPED_TRACE(std::string(c.platform ? c.platform : "-") + " " + (c.display ? c.display : "-") + " " +
                     (c.arguments.empty() ? "" : c.arguments.back()));
        ProgramOptions options = ParseProgramOptions(c.arguments);
        EXPECT_EQ(WindowCanOpen(options), c.window);
        EXPECT_FALSE(RunsHeadless(options));
        // Activation where no window can open serves headless.
        options.automation = true;
        EXPECT_EQ(RunsHeadless(options), !c.window);
    }
    for (std::size_t i = 0; i < saved.size(); ++i)
        saved[i] ? ::setenv(names[i], saved[i]->c_str(), 1) : ::unsetenv(names[i]);
}

} // namespace
} // namespace tarsion
