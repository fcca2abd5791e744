// tarsion-script against the automation object of a virtual board in this process.

#include "AutomationBench.h"
#include "base/RegularFile.h"
#include "ops/ScriptReplay.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sstream>
#include <sys/stat.h>

namespace tarsion {
namespace {

// The board's state without the bridge registers 0 to 7, which only carry the last chip register
// transfer (the save itself reads every register, the replay ends with a write).
std::string ConfigurationState(const VirtualBoard& board) {
    std::istringstream lines(test::BoardState(board));
    std::string state;
    for (std::string line; std::getline(lines, line);)
        if (!(line.rfind("bridge 0", 0) == 0 && line.size() > 8 && line[8] < '8'))
            state += line + '\n';
    return state;
}

// A coefficient file: seven header lines, then one tap per line.
QByteArray CoefficientFile(int taps) {
    QByteArray text;
    for (int line = 1; line <= 7; ++line)
        text += "header " + QByteArray::number(line) + "\n";
    for (int tap = 0; tap < taps; ++tap)
        text += QByteArray::number(0.0004 * (tap + 1), 'f', 6) + "\n";
    return text;
}

// Every line the operations log, as the document forms it.
class LoggedLines final : public IDocumentObserver {
public:
    explicit LoggedLines(CTarsionDoc& doc) : doc_(doc) { doc_.AddObserver(this); }
    ~LoggedLines() override { doc_.RemoveObserver(this); }
    void OnDocumentUpdate() override { text += doc_.PendingLogText(); }
    std::string text;

private:
    CTarsionDoc& doc_;
};

class TarsionScript : public ::testing::Test {
protected:
    QString Path(const char* name) const { return QDir(dir.path()).filePath(QString::fromLatin1(name)); }
    std::string StdPath(const char* name) const { return Path(name).toStdString(); }

    QTemporaryDir dir;
    test::AutomationBench bench_;
};

TEST_F(TarsionScript, ARecordedSessionReplaysToTheSameBoardState) {
    const QString map = test::WriteText(Path("map.hex"), "0a3c\n1f55\n\n  ff01 \n");
    const QString coefficients = test::WriteText(Path("lp.coe"), CoefficientFile(96));
    std::string recordedState;
    {
        test::AutomationBench session;
        ASSERT_TRUE(session.doc.StartRecording(StdPath("session.js")));
        EXPECT_TRUE(session.ops->Console("poke 0b 12345678"));
        EXPECT_TRUE(session.ops->Console("setbits 0c 0f"));
        EXPECT_TRUE(session.ops->Poke(0x0A, 0x80000000));
        EXPECT_TRUE(session.ops->ModifyBits(0x0D, 0x00F0, 0x0FF0));
        EXPECT_TRUE(session.ops->ResetBits(0x0C, 0x3));
        EXPECT_TRUE(session.ops->Write(0x0A, 0x5A));
        EXPECT_TRUE(session.ops->LoadConstellationRam(map.toStdString()));
        EXPECT_TRUE(session.ops->LoadCoefficientRam(1, coefficients.toStdString(), false, 1.5, true, 0, false,
                                                    false));
        EXPECT_TRUE(session.ops->LoadExternalMem(1, 0, 1.0, 0.0, 16.0, 16.0));
        std::uint32_t value = 0;
        EXPECT_TRUE(session.ops->Peek(0x0A, value));
        session.doc.StopRecording();
        recordedState = test::BoardState(*session.board);
    }
    ASSERT_NE(recordedState.find("constellation 0a 3c"), std::string::npos) << recordedState;
    ASSERT_NE(recordedState.find("pattern "), std::string::npos) << recordedState;
    ASSERT_NE(recordedState.find("coef Q "), std::string::npos) << recordedState;

    test::AutomationBench replay;
    replay.Serve();
    const test::ScriptResult result = test::RunScript(Path("session.js"));
    ASSERT_EQ(result.exitCode, 0) << qPrintable(result.err);
    EXPECT_EQ(test::BoardState(*replay.board), recordedState);
}

TEST_F(TarsionScript, ASavedConfigurationRestoresRegistersAndMemories) {
    const QString map = test::WriteText(Path("map.hex"), "013c\n8055\n");
    const QString coefficients = test::WriteText(Path("lp.coe"), CoefficientFile(96));
    std::string savedState;
    {
        test::AutomationBench configured;
        configured.doc.startDirectory = dir.path().toStdString();
        EXPECT_TRUE(configured.ops->Poke(0x0A, 0x20000000));
        EXPECT_TRUE(configured.ops->Poke(0x0B, 0x01234567));
        EXPECT_TRUE(configured.ops->Poke(0x05, 0x02FFFFFF));
        EXPECT_TRUE(configured.ops->LoadConstellationRam(map.toStdString()));
        EXPECT_TRUE(configured.ops->LoadExternalMem(2, 1, 0.5, 0.25, 8.0, 64.0));
        EXPECT_TRUE(configured.ops->LoadCoefficientRam(0, coefficients.toStdString(), true, 1.0, true, 0,
                                                       false, false));
        ASSERT_TRUE(configured.ops->SaveSettings(StdPath("config.js")));
        savedState = ConfigurationState(*configured.board);
    }
    ASSERT_NE(savedState.find("coef I "), std::string::npos) << savedState;
    test::AutomationBench fresh;
    fresh.doc.startDirectory = dir.path().toStdString();
    fresh.Serve();
    const test::ScriptResult result = test::RunScript(Path("config.js"));
    ASSERT_EQ(result.exitCode, 0) << qPrintable(result.err);
    EXPECT_EQ(ConfigurationState(*fresh.board), savedState);
}

TEST_F(TarsionScript, MethodNamesInAnyCaseReachTheSameMethods) {
    bench_.Serve();
    test::WriteText(Path("names.js"),
                    "var t = WScript.CreateObject(\"Trm90627\");\n"
                    "t.poke(0x0a, 0x80000000);\n"
                    "t.POKE(0x0b, -1);\n"
                    "t.pOkE(0x0c, undefined);\n"
                    "WScript.Echo(t.peek(0x0a), t.Peek(0x0b), t.write(0x10a, 0x1c3), t.read(0x0a));\n"
                    "WScript.Echo(WScript.Arguments.length, WScript.Arguments(1), "
                    "WScript.Arguments.Item(0), WScript.Arguments.Count(), WScript.ScriptName);\n");
    bench_.board->SetChipRegister(0x0C, 0xA5A5A5A5);
    const test::ScriptResult result =
        test::RunScript(Path("names.js"), {QStringLiteral("x"), QStringLiteral("y")});
    ASSERT_EQ(result.exitCode, 0) << qPrintable(result.err);
    EXPECT_EQ(result.out, QStringLiteral("2147483648 4294967295 true 195\n2 y x 2 names.js\n"));
    EXPECT_EQ(bench_.board->ChipRegister(0x0A), 0x80000000u);
    EXPECT_EQ(bench_.board->ChipRegister(0x0B), 0xFFFFFFFFu);
    EXPECT_EQ(bench_.board->ChipRegister(0x0C), 0u);
    EXPECT_EQ(bench_.board->BridgeRegister(0x0A), 0xC3);
    EXPECT_EQ(bench_.newDocumentSteps, 1); // one creation request
}

TEST_F(TarsionScript, ScriptErrorsNameFileAndLineAndStopTheScript) {
    bench_.Serve();
    test::WriteText(Path("broken.js"), "var t = new ActiveXObject(\"Trm90627\");\n"
                                       "t.Poke(0x0a, 1);\n"
                                       "t.NoSuchMethod(2);\n"
                                       "t.Poke(0x0a, 3);\n");
    const test::ScriptResult result = test::RunScript(Path("broken.js"));
    EXPECT_NE(result.exitCode, 0);
    EXPECT_TRUE(result.err.contains(Path("broken.js") + QStringLiteral(":3:"))) << qPrintable(result.err);
    EXPECT_TRUE(result.err.contains(QStringLiteral("NoSuchMethod"))) << qPrintable(result.err);
    EXPECT_EQ(bench_.board->ChipRegister(0x0A), 1u);
}

// Errors that once read as success or as nonsense: each fails with file, line and its cause.
TEST_F(TarsionScript, QuitWithoutANumberAndStackOverflowFailWithFileAndLine) {
    const struct {
        const char* name;
        const char* text;
        const char* line;
        const char* cause;
    } cases[] = {
        {"quit.js", "WScript.Echo('x');\nWScript.Quit(\"abc\");\n", ":2:", "abc"},
        {"deep.js", "function down(n) { return down(n + 1) + 1; }\n\ndown(0);\n", ":1:", "RangeError"},
    };
    for (const auto& c : cases) {
        test::WriteText(Path(c.name), c.text);
        const test::ScriptResult result = test::RunScript(Path(c.name));
        EXPECT_NE(result.exitCode, 0) << c.name;
        EXPECT_TRUE(result.err.contains(Path(c.name) + QLatin1String(c.line))) << qPrintable(result.err);
        EXPECT_TRUE(result.err.contains(QLatin1String(c.cause))) << qPrintable(result.err);
    }
}

// A FIFO would block the host for good and /dev/zero make it run out of memory.
TEST_F(TarsionScript, RefusesWhatIsNoRegularFile) {
    ASSERT_EQ(::mkfifo(StdPath("script.fifo").c_str(), 0600), 0);
    for (const QString& script : {Path("script.fifo"), QStringLiteral("/dev/zero"), dir.path()}) {
        const test::ScriptResult result = test::RunScript(script);
        EXPECT_EQ(result.exitCode, 1) << qPrintable(script);
        EXPECT_TRUE(result.err.contains(script + QStringLiteral(": can't open the file")))
            << qPrintable(result.err);
    }
}

// A file name that would end the quoted string in a script line, loaded with recording on, then
// saved: replaying either script loads the same file and runs nothing else.
TEST_F(TarsionScript, HostileFileNamesReplayAsTheSameNameAndRunNothing) {
    const QString previous = QDir::currentPath();
    QDir::setCurrent(dir.path()); // where an injected "touch injected" would land
    const QString map = test::WriteText(
        Path("a'+WScript.CreateObject(\"WScript.Shell\").Run(\"touch injected\",0,true)+'.hex"), "0a3c\n");
    {
        test::AutomationBench session;
        session.doc.startDirectory = dir.path().toStdString();
        ASSERT_TRUE(session.doc.StartRecording(StdPath("session.js")));
        ASSERT_TRUE(session.ops->LoadConstellationRam(map.toStdString()));
        session.doc.StopRecording();
        ASSERT_TRUE(session.ops->SaveSettings(StdPath("config.js")));
    }
    for (const char* script : {"session.js", "config.js"}) {
        test::AutomationBench replay;
        replay.doc.startDirectory = dir.path().toStdString();
        replay.Serve();
        const test::ScriptResult result = test::RunScript(Path(script));
        EXPECT_EQ(result.exitCode, 0) << script << qPrintable(result.err);
        EXPECT_EQ(replay.board->ConstellationRam(0x0a), 0x3c) << script;
        EXPECT_EQ(replay.doc.constellationFile, QFileInfo(map).fileName().toStdString()) << script;
    }
    QDir::setCurrent(previous);
    EXPECT_FALSE(QFileInfo::exists(Path("injected")));
}

// The compare's replay of a configuration against the script host itself: for each line, the
// operations the replay makes are those the host's run makes, or the replay refuses the file.
TEST_F(TarsionScript, TheReplayMakesTheCallsTheHostMakesOrRefuses) {
    const std::string object = "var Tarsion = WScript.CreateObject(\"Trm90627\");\n";
    const std::string filter = test::WriteText(Path("lp.coe"), CoefficientFile(32)).toStdString();
    struct Case {
        std::string script;
        bool replayed;
    };
    const Case cases[] = {
        // What a comment hides from a reader that splits at line feeds only, JavaScript runs.
        {object + "Tarsion.Poke(0x0a,0x1); // c\rTarsion.Poke(0x0b,0x2);", true},
        {object + "// c\xE2\x80\xA8Tarsion.Poke(0x0b,0x3)", true},
        {object + "// c\xE2\x80\xA9Tarsion.Poke(0x0b,0x4)\r\n", true},
        {object + "Tarsion.Poke ( 0x0a,0xffffffff );\r\nData = Tarsion.Peek(0x0a)", true},
        {object + "Tarsion.pOKE(10, 4294967295)\nTarsion.ModifyBits(0x0b,0x00f0,0x0ff0);", true},
        {object + "Tarsion.LoadExternalMem(1,0,-0.500000,0.000000,16.000000,32.000000);", true},
        {object + "Tarsion.LoadConstellationRam(\"\\u00e9\\x41\\t\\\"x \");", true},
        {object + "Tarsion.LoadCoefficientRam( 0,'" + filter + " ',1,0.500000,1,0,0,0 ); ", true},
        {object + "Tarsion.Write(9,2);\nTarsion.PldWrite(12,0);\nData = Tarsion.PldRead(12);", true},
        // Read otherwise by the host: refused.
        {object + "Tarsion.Poke(0x0a,true);", false},
        {object + "Tarsion.Poke(010,5);", false},
        {object + "Tarsion.Poke(0x0a,1e1);", false},
        {object + "Tarsion.LoadConstellationRam('a\\bc');", false},
        {object + "// c\rWScript.Echo('hidden');", false},
        {object + "Tarsion.Poke(0x0a,0x1)\n(Tarsion.Poke(0x0b,2))", false},
        {"var WScript = WScript.CreateObject(\"Trm90627\");\n" + object + "Tarsion.Poke(0x0a,1);", false},
        {"Tarsion.Poke(0x0a,1);", false},
    };
    int replayed = 0;
    for (const Case& c : cases) {
        std::string seen;
        bool accepted = false;
        {
            test::AutomationBench compare;
            LoggedLines log(compare.doc);
            CScriptReplay replay(*compare.ops);
            accepted = replay.Run(c.script);
            EXPECT_EQ(accepted, c.replayed) << c.script << ": " << replay.Error();
            seen = log.text;
        }
        if (!accepted)
            continue;
        ++replayed;
        test::AutomationBench host;
        LoggedLines log(host.doc);
        host.Serve();
        const test::ScriptResult result = test::RunScript(test::WriteText(Path("case.js"), c.script.c_str()));
        EXPECT_EQ(result.exitCode, 0) << c.script << qPrintable(result.err);
        EXPECT_FALSE(seen.empty()) << c.script;
        EXPECT_EQ(log.text, seen) << c.script;
    }
    EXPECT_EQ(replayed, 9);
}

TEST_F(TarsionScript, ReadsUtf16ScriptsWithCrLfLineEnds) {
    bench_.Serve();
    const QString text = QStringLiteral("var t = WScript.CreateObject(\"Trm90627\");\r\n"
                                        "t.Poke(0x0a, 0x1234);\r\n"
                                        "t.Poke(0x0b, 0x5678);\r\n");
    QByteArray bytes("\xFF\xFE", 2);
    bytes.append(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    test::WriteText(Path("windows.js"), bytes);
    const test::ScriptResult result = test::RunScript(Path("windows.js"));
    ASSERT_EQ(result.exitCode, 0) << qPrintable(result.err);
    EXPECT_EQ(bench_.board->ChipRegister(0x0A), 0x1234u);
    EXPECT_EQ(bench_.board->ChipRegister(0x0B), 0x5678u);
}

TEST_F(TarsionScript, QuitEndsTheScriptWithItsExitStatus) {
    test::WriteText(Path("quit.js"), "WScript.Echo('before');\nWScript.Quit(3);\nWScript.Echo('after');\n");
    const test::ScriptResult result = test::RunScript(Path("quit.js"));
    EXPECT_EQ(result.exitCode, 3);
    EXPECT_EQ(result.out, QStringLiteral("before\n"));
}

// An exit status keeps 8 bits: a code that would wrap to 0 (256, 2^32) must still fail the run.
TEST_F(TarsionScript, QuitCodesOutsideOneTo255GiveStatus255) {
    const struct {
        const char* code;
        int status;
    } cases[] = {{"", 0},           {"0", 0},           {"1", 1},      {"255", 255},
                 {"256", 255},      {"512", 255},       {"1e10", 255}, {"4294967296", 255},
                 {"Infinity", 255}, {"-Infinity", 255}, {"-1", 255},   {"0.5", 255},
                 {"'7'", 7},        {"'x'", 1}};
    for (const auto& c : cases) {
        test::WriteText(Path("quit.js"),
                        QByteArray("WScript.Quit(") + c.code + ");\nWScript.Echo('after');\n");
        const test::ScriptResult result = test::RunScript(Path("quit.js"));
        EXPECT_EQ(result.exitCode, c.status) << c.code;
        EXPECT_EQ(result.out, QString()) << c.code;
    }
}

// A long recording runs a chunk of calls at a time, with the meaning it has as a whole: the calls in
// order, an error named by its own line, Quit ending it where it stands, and a syntax error anywhere
// running nothing at all.
TEST_F(TarsionScript, LongRecordingsRunAsTheyWouldAsAWhole) {
    bench_.Serve();
    const QByteArray header = "var WshShell = WScript.CreateObject(\"WScript.Shell\");\n"
                              "var Tarsion = WScript.CreateObject(\"Trm90627\");\n\nvar Data;";
    constexpr int kCalls = 2500;
    constexpr int kBreak = 1700; // the call replaced by `stop`, on line 5 + kBreak
    const struct {
        const char* name;
        const char* stop;
        const char* ending;
        int status;
        std::uint32_t last; // in register 0x0a
        const char* error;
    } cases[] = {
        {"whole", nullptr, "", 0, kCalls - 1, nullptr},
        {"error", "Tarsion.NoSuchMethod(1);", "", 1, kBreak - 1, ":1705:"},
        {"quit", "WScript.Quit(4);", "", 4, kBreak - 1, nullptr},
        {"syntax", nullptr, "\nTarsion.Poke(0x0a,;", 1, 0x5A5A, ":2505:"},
    };
    for (const auto& c : cases) {
        QByteArray text = header;
        for (int i = 0; i < kCalls; ++i) {
            text += '\n';
            text += c.stop && i == kBreak ? QByteArray(c.stop)
                                          : "Tarsion.Poke ( 0x0a,0x" + QByteArray::number(i, 16) + " );";
        }
        text += c.ending;
        test::WriteText(Path("long.js"), text);
        bench_.board->SetChipRegister(0x0A, 0x5A5A);
        const test::ScriptResult result = test::RunScript(Path("long.js"));
        EXPECT_EQ(result.exitCode, c.status) << c.name << qPrintable(result.err);
        EXPECT_EQ(bench_.board->ChipRegister(0x0A), c.last) << c.name;
        if (c.error) {
            EXPECT_TRUE(result.err.contains(QLatin1String(c.error))) << c.name << qPrintable(result.err);
        }
    }
}

// Beyond the plain calls a recording ends with, a script is compiled as one program: past a limit it
// is refused before anything runs.
TEST_F(TarsionScript, AProgramTooLargeToCompileIsRefusedBeforeItRuns) {
    bench_.Serve();
    QByteArray text =
        "var Tarsion = WScript.CreateObject(\"Trm90627\");\nTarsion.Poke(0x0a, 7);\nvar filler = [";
    const QByteArray row = "1234567890, 1234567890, 1234567890, 1234567890, 1234567890, 1234567890,\n";
    while (text.size() <= qsizetype(kScriptProgramLimit))
        text += row;
    text += "0];\n";
    test::WriteText(Path("large.js"), text);
    bench_.board->SetChipRegister(0x0A, 0);
    const test::ScriptResult result = test::RunScript(Path("large.js"));
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_TRUE(result.err.contains(QStringLiteral("too large to run"))) << qPrintable(result.err);
    EXPECT_EQ(bench_.board->ChipRegister(0x0A), 0u);
}

TEST_F(TarsionScript, RefusesVbScript) {
    bench_.Serve();
    test::WriteText(Path("old.VBS"), "Set t = WScript.CreateObject(\"Trm90627\")\n");
    const test::ScriptResult result = test::RunScript(Path("old.VBS"));
    EXPECT_NE(result.exitCode, 0);
    EXPECT_TRUE(result.err.contains(QStringLiteral("VBScript"))) << qPrintable(result.err);
    EXPECT_EQ(bench_.newDocumentSteps, 0);
}

} // namespace
} // namespace tarsion
