#include "loaders/LoaderRig.h"
#include "ops/BoardStack.h"
#include "ops/PrivateBoard.h"
#include "ops/ScriptReplay.h"
#include "registers/RegisterSession.h"
#include "registers/RegisterSnapshot.h"
#include "support/FakeClock.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <set>
#include <sys/stat.h>

namespace tarsion::test {
namespace {

constexpr std::uint8_t kBoardControl = 9;

// What every recording and configuration begins with: the script's automation object.
constexpr const char* kObjectLine = "var Tarsion = WScript.CreateObject(\"Trm90627\");\n";

std::string Taps(int count) {
    std::string text;
    for (int i = 1; i <= 7; ++i)
        text += "header " + std::to_string(i) + "\n";
    for (int i = 0; i < count; ++i)
        text += std::to_string(0.001 * (i % 7 + 1)) + "\n";
    return text;
}

// A board set up by hand: a filter in both RAMs, a generated pattern, registers poked.
struct Snapshots : ::testing::Test {
    LoaderRig rig;

    Snapshots() {
        rig.WriteFile("lp filter.coe", Taps(96));
        EXPECT_TRUE(rig.ops.LoadCoefficientRam(2, "lp filter.coe", true, 1.0, true, 1, false, false));
        EXPECT_TRUE(rig.ops.LoadExternalMem(1, 2, 0.5, -0.25, 8, 64));
        EXPECT_TRUE(rig.ops.Poke(0x0a, 0x20000000));
        EXPECT_TRUE(rig.ops.Poke(0x01, 0x00012345));
        EXPECT_TRUE(rig.ops.Write(kBoardControl, 1));
    }
};

TEST_F(Snapshots, ReplayOfASavedConfigurationGivesTheSnapshotTakenWhenSaved) {
    const std::string path = (rig.dir / "config.js").string();
    ASSERT_TRUE(rig.ops.SaveSettings(path));
    const CRegisterSnapshot saved = CRegisterSnapshot::Take(rig.doc, "saved");
    const std::string logBefore = rig.log.text;

    CPrivateBoard board(rig.doc);
    CScriptReplay replay(board.Ops());
    ASSERT_TRUE(replay.Run(ReadWholeFile(path))) << replay.Error();
    EXPECT_TRUE(replay.Failures().empty()) << replay.Failures().front();
    const CRegisterSnapshot replayed = CRegisterSnapshot::Take(board.Doc(), "replayed");
    EXPECT_TRUE(replayed.SameSettingsAs(saved)) << SnapshotText(replayed) << "\n---\n" << SnapshotText(saved);
    EXPECT_EQ(board.Doc().coefficientQ.fileName, saved.coefficientQ.fileName);
    // Nothing reached the program's own board or log.
    EXPECT_EQ(rig.log.text, logBefore);
}

// Every name below `folder` with its kind, size and time of last change.
std::set<std::string> FolderState(const std::filesystem::path& folder) {
    std::set<std::string> state;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        const auto time = entry.last_write_time().time_since_epoch().count();
        state.insert(entry.path().string() + (entry.is_directory() ? " dir " : " file ") +
                     std::to_string(entry.is_directory() ? 0 : entry.file_size()) + " " +
                     std::to_string(time));
    }
    return state;
}

// A compare opens a configuration on a private board: no bit listing in the current folder, no RAM
// images beside the coefficient file, nothing in the start folder, the program's log or its board.
TEST_F(Snapshots, ACompareOfAConfigurationThatLoadsACoefficientFileLeavesEveryFolderAsItWas) {
    std::filesystem::create_directory(rig.dir / "filters");
    rig.WriteFile("filters/rrc.coe", Taps(48));
    ASSERT_TRUE(rig.ops.LoadCoefficientRam(0, "filters/rrc.coe", false, 0.5, false, 0, false, true));
    const std::string path = (rig.dir / "config.js").string();
    ASSERT_TRUE(rig.ops.SaveSettings(path));
    const std::filesystem::path current = rig.dir.string() + "_current";
    std::filesystem::create_directory(current);
    const std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(current);
    const std::set<std::string> before = FolderState(rig.dir);
    const std::string logBefore = rig.log.text;
    const std::uint32_t carrier = rig.board.ChipRegister(0x0a);
    rig.board.ResetCounters();

    CRegisterSession session(rig.ops);
    std::string error;
    const std::string id = session.Open(path, error);
    std::filesystem::current_path(previous);
    const bool currentEmpty = std::filesystem::is_empty(current);
    std::filesystem::remove_all(current);

    ASSERT_FALSE(id.empty()) << error;
    EXPECT_TRUE(error.empty()) << error;
    EXPECT_TRUE(currentEmpty) << "the replay wrote into the current folder";
    EXPECT_EQ(FolderState(rig.dir), before);
    EXPECT_EQ(rig.log.text, logBefore);
    EXPECT_EQ(rig.board.Cycles(), 0u) << "the replay reached the program's board";
    EXPECT_EQ(rig.board.ChipRegister(0x0a), carrier);
    CRegisterSnapshot opened;
    ASSERT_TRUE(session.Find(id, opened));
    EXPECT_EQ(opened.coefficientI.fileName, "filters/rrc.coe");
    EXPECT_EQ(opened.coefficientI.scale, 0.5);
}

TEST_F(Snapshots, FileTextReadsBackTheSameSnapshot) {
    CRegisterSnapshot snapshot = CRegisterSnapshot::Take(rig.doc, "before\\after \x01 tuning");
    snapshot.coefficientQ.fileName = "/odd\nname.coe";
    snapshot.coefficientQ.scale = 0.1 + 0.2;
    const SnapshotReading reading = ReadSnapshotText(SnapshotText(snapshot));
    ASSERT_TRUE(reading.snapshot) << reading.error;
    EXPECT_TRUE(reading.snapshot->SameSettingsAs(snapshot));
    EXPECT_EQ(reading.snapshot->name, snapshot.name);
    EXPECT_EQ(reading.snapshot->coefficientQ.fileName, "/odd\nname.coe");
    EXPECT_EQ(reading.snapshot->chip[0x0a], 0x20000000u);
}

TEST_F(Snapshots, MalformedFilesAreRefusedWithTheLine) {
    const std::string good = SnapshotText(CRegisterSnapshot::Take(rig.doc, "n"));
    const auto replaced = [&good](const std::string& from, const std::string& to) {
        std::string text = good;
        const auto at = text.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        return text.replace(at, from.size(), to);
    };
    struct Case {
        std::string text;
        std::string error;
    };
    const Case cases[] = {
        {"", "the file is empty"},
        {replaced("snapshot 1", "snapshot 2"), "line 1: not a Tarsion register snapshot"},
        {replaced("end\n", ""), "the file ends early"},
        {good + "chip 0a 00000000\n", "text after \"end\""},
        {replaced("chip 0a 20000000", "chip 0a 2000000"), "line 15: bad chip register line"},
        {replaced("chip 0a 20000000", "chip 0e 20000000"), "line 15: bad chip register line"},
        {replaced("end\n", "chip 0a 20000000\nend\n"), "repeated register"},
        {replaced("MemoryControl", "DeviceConfig"), "line 5: the register name does not match"},
        {replaced("chip 00 ", "#hip 00 "), "a chip register is missing"},
        {replaced("bridge 08 00", "bridge 07 00"), "bad CPLD register line"},
        {replaced("pld 0c ", "pld 0b "), "repeated register"},
        {replaced("clockpin 80000000", "clockpin nan"), "bad clock pin frequency"},
        {replaced("clockpin 80000000", "clockpin 1e308"), "bad clock pin frequency"},
        {replaced("constellation Unknown", "constellation Unk\\q"), "bad constellation file name"},
        // Written escaped, a control character is refused bare: taken in, it would be saved as four.
        {replaced("name n", "name n" + std::string(300, '\x01')), "line 2: bad escape in text"},
        {replaced("constellation Unknown", "constellation Unk\x7f"), "bad constellation file name"},
        {replaced("pattern 1 2", "pattern x 2"), "bad pattern settings"},
        {replaced("coefficient I", "coefficient X"), "bad coefficient channel"},
        {replaced("constellation", "constellations"), "unknown line"},
        {good + std::string(kLargestSnapshotText, '#'), "the file is too large"},
    };
    for (const Case& c : cases) {
        const SnapshotReading reading = ReadSnapshotText(c.text);
        EXPECT_FALSE(reading.snapshot) << c.error;
        EXPECT_NE(reading.error.find(c.error), std::string::npos) << reading.error << " / " << c.error;
    }
}

// A name is refused where it is given when the file could not keep it: the reader's limit counts
// the escapes (a control character is written as four), one character over is refused.
TEST(SnapshotLimits, NamesOverTheReadersLimitAreRefusedAndEverySavedFileReopens) {
    LoaderRig rig;
    CRegisterSession session(rig.ops);
    std::string error;
    struct Case {
        std::string name;
        bool fits;
    };
    const Case cases[] = {
        {std::string(kLongestSnapshotName, 'n'), true},
        {std::string(kLongestSnapshotName + 1, 'n'), false},
        {std::string(kLongestSnapshotName / 4, '\x01'), true},
        {std::string(kLongestSnapshotName / 4, '\x01') + "n", false},
        {std::string(kLongestSnapshotName / 2, '\\'), true},
    };
    for (const Case& c : cases) {
        error.clear();
        const std::string id = session.TakeSnapshot(c.name, error);
        EXPECT_EQ(!id.empty(), c.fits) << c.name.size();
        EXPECT_EQ(error.find("longer than 1024 characters") != std::string::npos, !c.fits) << error;
    }
    const std::string kept = session.Snapshots().front().id;
    EXPECT_FALSE(session.Rename(kept, std::string(kLongestSnapshotName + 1, 'n')));
    EXPECT_EQ(session.Snapshots().front().snapshot.name.size(), kLongestSnapshotName);

    // The longest name beside four file names of the longest a system opens, all escaped.
    const std::string longFile = "/" + std::string(4094, '\x02');
    rig.doc.coefficientI.fileName = rig.doc.coefficientQ.fileName = longFile;
    rig.doc.constellationFile = rig.doc.pattern.fileName = longFile;
    const std::string id = session.TakeSnapshot(std::string(kLongestSnapshotName / 4, '\x01'), error);
    ASSERT_FALSE(id.empty()) << error;
    const std::string path = (rig.dir / "longest.txt").string();
    ASSERT_TRUE(session.Save(id, path, error)) << error;
    const std::string reopened = session.Open(path, error);
    ASSERT_FALSE(reopened.empty()) << error;
    CRegisterSnapshot saved;
    CRegisterSnapshot read;
    ASSERT_TRUE(session.Find(id, saved) && session.Find(reopened, read));
    EXPECT_TRUE(read.SameSettingsAs(saved));
    EXPECT_EQ(read.name, saved.name);

    // A file of the reader's largest size reads, one byte more is refused (blank lines after "end"
    // are no text).
    std::string largest = SnapshotText(saved);
    ASSERT_LT(largest.size(), kLargestSnapshotText);
    largest.resize(kLargestSnapshotText, '\n');
    EXPECT_TRUE(ReadSnapshotText(largest).snapshot) << ReadSnapshotText(largest).error;
    const SnapshotReading over = ReadSnapshotText(largest + "\n");
    EXPECT_FALSE(over.snapshot);
    EXPECT_NE(over.error.find("too large"), std::string::npos) << over.error;

    // The reader refuses what TakeSnapshot refuses.
    CRegisterSnapshot tooLong = saved;
    tooLong.name = std::string(kLongestSnapshotName + 1, 'n');
    const SnapshotReading reading = ReadSnapshotText(SnapshotText(tooLong));
    EXPECT_FALSE(reading.snapshot);
    EXPECT_NE(reading.error.find("line 2: the text is longer than 1024 characters"), std::string::npos)
        << reading.error;
}

// What can't be opened as a snapshot or configuration says why.
TEST(SnapshotFiles, WhatCanNotBeReadSaysWhy) {
    LoaderRig rig;
    CRegisterSession session(rig.ops);
    const std::string fifo = (rig.dir / "board.fifo").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string large = rig.WriteFile("large.js", std::string(CScriptReplay::kLargestScript + 1, '\n'));
    const std::pair<std::string, std::string> cases[] = {
        {fifo, ": it is a FIFO"},
        {"/dev/null", ": it is a device"},
        {rig.dir.string(), ": it is a folder"},
        {large, ": it is larger than the limit of 1 MB"},
        {(rig.dir / "missing.txt").string(), ": No such file or directory"},
    };
    for (const auto& [path, why] : cases) {
        std::string error;
        EXPECT_TRUE(session.Open(path, error).empty()) << path;
        EXPECT_EQ(error, "Could not read " + path + why);
    }
    // At the limit a file is read: blank lines are a configuration that calls nothing.
    std::string error;
    EXPECT_FALSE(
        session.Open(rig.WriteFile("limit.js", std::string(CScriptReplay::kLargestScript, '\n')), error)
            .empty())
        << error;
}

// The program's prompt as the window and the headless server have it: between the steps of a long
// operation it is where events are served and where a cancel comes from.
class StepPrompt final : public IUserPrompt {
public:
    void ShowMessage(std::string_view) override {}
    bool AskYesNo(std::string_view, std::string_view) override { return false; }
    bool ReportProgress(std::string_view task, std::size_t, std::size_t) override {
        ++reports;
        busyEveryTime = busyEveryTime && ops && ops->IsBusy();
        tasks.insert(std::string(task));
        return cancelAt == 0 || reports < cancelAt;
    }
    CBoardOperations* ops = nullptr;
    std::size_t reports = 0;
    std::size_t cancelAt = 0;
    bool busyEveryTime = true;
    std::set<std::string> tasks;
};

std::string PatternLoads(int count, int samples) {
    std::string text = kObjectLine;
    for (int i = 0; i < count; ++i)
        text += "Tarsion.LoadExternalMem(1,0,1.000000,0.000000,16.000000," + std::to_string(samples) +
                ".000000);\n";
    return text + "Tarsion.Poke ( 0x0a,0x20000000 );\n";
}

// A configuration opened as a snapshot runs in steps like a long load: the program is busy (other
// calls wait in line) while its prompt serves events, and a cancel there (the user's, a signal's)
// stops it; the number of memory loads is bounded.
TEST(ConfigurationReplaySteps, AReplayRunsInStepsThroughTheProgramsPromptAndStopsWhenCancelled) {
    FakeClock clock;
    StepPrompt prompt;
    CBoardStack program(std::make_unique<VirtualBoard>(), clock, prompt);
    prompt.ops = &program.Ops();
    CRegisterSession session(program.Ops());
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("replay_steps_" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    const auto write = [&dir](const char* name, const std::string& text) {
        const std::string path = (dir / name).string();
        std::ofstream(path) << text;
        return path;
    };
    std::string error;
    ASSERT_FALSE(session.Open(write("two.js", PatternLoads(2, 131072)), error).empty()) << error;
    EXPECT_GT(prompt.reports, 2u);
    EXPECT_TRUE(prompt.busyEveryTime);
    EXPECT_TRUE(prompt.tasks.count("OpenSnapshot")) << *prompt.tasks.begin();
    EXPECT_GT(prompt.tasks.size(), 1u); // the loads' own steps too
    EXPECT_FALSE(program.Ops().IsBusy());

    for (const std::size_t cancelAt : {1u, 3u, 40u}) {
        prompt.reports = 0;
        prompt.cancelAt = cancelAt;
        EXPECT_TRUE(session.Open(write("cancelled.js", PatternLoads(2, 131072)), error).empty()) << cancelAt;
        EXPECT_NE(error.find("the replay was cancelled"), std::string::npos) << error;
        EXPECT_EQ(session.Snapshots().size(), 1u);
    }
    prompt.cancelAt = 0;
    const std::size_t most = CScriptReplay::kMostMemoryLoads;
    EXPECT_FALSE(session.Open(write("most.js", PatternLoads(int(most), 16)), error).empty()) << error;
    EXPECT_TRUE(session.Open(write("more.js", PatternLoads(int(most) + 1, 16)), error).empty());
    EXPECT_NE(error.find("line " + std::to_string(most + 2) + ": more than " + std::to_string(most) +
                         " memory loads"),
              std::string::npos)
        << error;
    std::filesystem::remove_all(dir);
}

// A file saved over keeps its permission bits, whichever writer replaces it; a new file gets the
// usual 0666 less the umask.
TEST(SnapshotLimits, SavingOverAFileKeepsItsPermissionBits) {
    LoaderRig rig;
    CRegisterSession session(rig.ops);
    std::string error;
    const std::string id = session.TakeSnapshot("kept", error);
    const auto mode = [](const std::string& path) {
        struct stat info {};
        return ::stat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0u;
    };
    const mode_t mask = ::umask(022);
    for (const mode_t bits : {0600u, 0640u, 0755u}) {
        const std::string snapshot = rig.WriteFile("snapshot.txt", "old");
        const std::string configuration = rig.WriteFile("configuration.js", "old");
        ASSERT_EQ(::chmod(snapshot.c_str(), bits), 0);
        ASSERT_EQ(::chmod(configuration.c_str(), bits), 0);
        ASSERT_TRUE(session.Save(id, snapshot, error)) << error;
        ASSERT_TRUE(rig.ops.SaveSettings(configuration));
        EXPECT_EQ(mode(snapshot), bits);
        EXPECT_EQ(mode(configuration), bits);
        EXPECT_EQ(ReadWholeFile(configuration).find("old"), std::string::npos);
    }
    const std::string fresh = (rig.dir / "fresh.txt").string();
    ASSERT_TRUE(session.Save(id, fresh, error)) << error;
    EXPECT_EQ(mode(fresh), 0644u);
    ::umask(mask);
}

TEST(ScriptReplayRefusal, ScriptsThatAreMoreThanCallsRunNothing) {
    struct Case {
        std::string script;
        const char* error;
    };
    const std::string object = kObjectLine;
    const Case cases[] = {
        {object + "Tarsion.Poke(0x0a,0x1);\nWScript.Sleep(10);", "line 3: not a recorded call"},
        {object + "Tarsion.Poke(0x0a,0x1); Tarsion.Poke(0x0b,0x1);",
         "line 2: more than one call on the line"},
        {object + "Tarsion.Poke(0x0a,0x1);\nTarsion.DumpConstellationRam('x');",
         "line 3: not a method that changes"},
        {object + "Tarsion.Poke(0x10a,0x1);", "line 2: bad arguments to Poke"},
        {object + "Tarsion.Poke(0x0a,1.5);", "line 2: bad arguments to Poke"},
        {object + "Tarsion.Poke(0x0a);", "line 2: bad arguments to Poke"},
        {object + "Tarsion.LoadConstellationRam('unterminated);", "line 2: bad argument"},
        {object + "var x = eval('Tarsion.Poke(1,2)');", "line 2: not a recorded call"},
        {object + "var Math;", "line 2: a configuration declares only"},
        {object + "Tarsion.Poke(0x0a,0x1)\n}", "line 3: not a recorded call"},
        // Script variables are case-sensitive: this one would be undefined.
        {object + "tarsion.Poke(0x0a,0x1);", "line 2: not a recorded call"},
        // Every line terminator of JavaScript ends a comment: what follows is a line of its own.
        {object + "// a\rWScript.Echo(1);", "line 3: not a recorded call"},
        {object + "// a\xE2\x80\xA8WScript.Echo(1);", "line 3: not a recorded call"},
        {object + "// a\r\n\xE2\x80\xA9WScript.Echo(1);", "line 4: not a recorded call"},
        // Values the host reads otherwise: a bool variant is 0 to the object, 010 no decimal.
        {object + "Tarsion.Poke(0x0a,true);", "line 2: true is not a number"},
        {object + "Tarsion.Poke(010,1);", "line 2: a number with a leading zero"},
        {object + "Tarsion.Poke(0x0a,1e3);", "line 2: not a recorded call"},
        {object + "Tarsion.Poke(0x0a,-0x1);", "line 2: not a recorded call"},
        {object + "Tarsion.Poke(0x0a,0x100000000);", "line 2: bad argument"},
        {object + "Tarsion.LoadConstellationRam('a\\bc');", "line 2: bad argument"},
        {object + "Tarsion.LoadConstellationRam('a\\0');", "line 2: bad argument"},
        {object + "Tarsion.LoadConstellationRam('\\ud800.hex');", "line 2: bad argument"},
        {object + "Tarsion.LoadConstellationRam('\xC0\xAF.hex');", "line 2: not UTF-8 text"},
        // Names the host defines or the calls need.
        {"var WScript = WScript.CreateObject(\"Trm90627\");",
         "line 1: WScript is the script host's own name"},
        {"var Tarsion = WScript.CreateObject(\"WScript.Shell\");\nTarsion.Poke(0x0a,1);",
         "line 1: Tarsion must be the automation object"},
        {"Tarsion.Poke(0x0a,1);\n" + object, "line 1: Tarsion is used before"},
        {object + "WScript = Tarsion.Peek(0x0a);", "line 2: a call's result goes into Data only"},
        {object + "Data = Other.Poke(0x0a,1);", "line 2: not a recorded call"},
        {object + "Other.Poke(0x0a,1);", "line 2: not a recorded call"},
        {object + "var Data = WScript.CreateObject(\"Scripting.FileSystemObject\");",
         "line 2: not an object"},
    };
    for (const Case& c : cases) {
        LoaderRig rig;
        CScriptReplay replay(rig.ops);
        EXPECT_FALSE(replay.Run(c.script)) << c.script;
        EXPECT_NE(replay.Error().find(c.error), std::string::npos) << replay.Error() << " / " << c.error;
        EXPECT_EQ(rig.board.ChipRegister(0x0a), 0u) << c.script;
        EXPECT_TRUE(rig.log.text.empty()) << c.script;
    }
}

TEST(ScriptReplayCalls, RecordedLinesRunInOrderAndFailuresAreListed) {
    LoaderRig rig;
    CScriptReplay replay(rig.ops);
    ASSERT_TRUE(replay.Run("\xEF\xBB\xBFvar WshShell = WScript.CreateObject(\"WScript.Shell\");\r\n"
                           "var Tarsion = WScript.CreateObject(\"TRM90627\");\r\n"
                           "var Data;\r\n"
                           "// tuning\r\n"
                           "Tarsion.Poke ( 0x0a,0x20000000 );\r\n"
                           "Data=Tarsion.Peek(0x0a);\r\n"
                           "Tarsion.poke(11, 4096)\r\n"
                           "Tarsion.write(9,2); // a comment ends at a lone CR\rTarsion.Poke(0x0c,0x5)\r\n"
                           "Tarsion.LoadConstellationRam('missing \\x41.hex ');\r\n"))
        << replay.Error();
    EXPECT_EQ(rig.board.ChipRegister(0x0a), 0x20000000u);
    EXPECT_EQ(rig.board.ChipRegister(0x0b), 4096u);
    EXPECT_EQ(rig.board.ChipRegister(0x0c), 5u);
    EXPECT_EQ(rig.board.BridgeRegister(kBoardControl), 2);
    ASSERT_EQ(replay.Failures().size(), 1u);
    EXPECT_EQ(replay.Failures()[0], "line 10: LoadConstellationRam failed: Could Not Open File " +
                                        rig.dir.string() + "/missing A.hex");
}

} // namespace
} // namespace tarsion::test
