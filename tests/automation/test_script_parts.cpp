// Which lines of a script may be run apart from the rest, and where a long recording is split.

#include "script/ScriptParts.h"

#include <gtest/gtest.h>

#include <string>

namespace tarsion {
namespace {

TEST(PlainCallLines, EveryRecordedFormIsPlainAndNothingElse) {
    const char* const plain[] = {
        "",
        "   \t",
        "// a comment, with anything in it: var x = 1; /*",
        "Tarsion.Poke ( 0x0a,0x20000000 );",
        "Tarsion.Poke ( 0x0a, 0x20000000 );",
        "Data=Tarsion.Peek(0x0a);",
        "Data = Tarsion.PldRead ( 0x0c );",
        "Tarsion.SoftReset()",
        "Tarsion.LoadCoefficientRam( 2,'/tmp/lp 1.coe ',1,1.500000,0,0,0,0 ); ",
        "Tarsion.LoadExternalMem(1,0,1.000000,-0.5,16.000000,6.4e+01);",
        "Tarsion.LoadConstellationRam(\"it's.hex \");",
        "WScript.Sleep(.5);",
    };
    for (const char* line : plain)
        EXPECT_TRUE(IsPlainCallLine(line)) << line;

    const char* const other[] = {
        "var x = Tarsion.Read(1);", // declares
        "let x = 1;",
        "function f() {}",
        "Tarsion.Poke(1, 2); Tarsion.Poke(3, 4);",
        "Tarsion.Poke(f(1), 2);",    // runs more than the call
        "Tarsion.Poke('a\\'b', 1);", // escapes may continue a string onto the next line
        "Tarsion.Poke('open, 1);",
        "Tarsion.Poke(1,", // goes on in the next line
        "Tarsion.Poke(1)\t+",
        "Data == Tarsion.Read(1);",
        "Tarsion.Poke(0x);",
        "Tarsion.Poke(1e);",
        "Tarsion.Poke(08a);",
        "Tarsion.Poke(1.2.3);",
        "Tarsion.Poke(1) /* open",
        "Tarsion.Sub.Poke(1);",
        "Tarsion.Poke('\xE2\x80\xA8');", // a line end to JavaScript
        "Tarsion.Poke(1);\r",
    };
    for (const char* line : other)
        EXPECT_FALSE(IsPlainCallLine(line)) << line;
}

std::string Recording(const std::string& header, int calls, const std::string& ending = "") {
    std::string text = header;
    for (int i = 0; i < calls; ++i)
        text += "\nTarsion.Poke ( 0x0a,0x" + std::to_string(10000000 + i) + " );";
    return text + ending;
}

const std::string kHeader = "var WshShell = WScript.CreateObject(\"WScript.Shell\");\n"
                            "var Tarsion = WScript.CreateObject(\"Trm90627\");\n"
                            "\n"
                            "var Data;";

// A split may only come where the program before it means the same on its own; otherwise the script
// stays whole.
TEST(ScriptSplit, OnlyLongRunsOfCallsAfterAProgramThatStandsAlone) {
    const struct {
        const char* name;
        std::string text;
        int callsFirstLine; // 0: not split
    } cases[] = {
        {"recording", Recording(kHeader, 1500), 5},
        {"CRLF recording", Recording("var Tarsion = WScript.CreateObject(\"Trm90627\");\r\n", 1500), 2},
        {"short", Recording(kHeader, kCallChunkLines - 1), 0},
        {"calls only", Recording("", 1500).substr(1), 1},
        {"const", Recording("const Tarsion = WScript.CreateObject(\"Trm90627\");", 1500), 0},
        {"let", Recording("let Tarsion = WScript.CreateObject(\"Trm90627\");", 1500), 0},
        {"class", Recording("class A {}\nvar Tarsion = WScript.CreateObject(\"Trm90627\");", 1500), 0},
        {"strict", Recording("'use strict';\n" + kHeader, 1500), 0},
        {"open statement", Recording("var Tarsion = WScript.CreateObject(\"Trm90627\"),\n  t2 = 1 +", 1500),
         0},
        {"ends otherwise", Recording(kHeader, 1500, "\nWScript.Echo(Data + 1);"), 0},
        {"words inside names", Recording("var constant = 1, letter = 2, classic = 3;", 1500), 2},
    };
    for (const auto& c : cases) {
        const ScriptParts parts = SplitScript(c.text);
        if (c.callsFirstLine == 0) {
            EXPECT_TRUE(parts.calls.empty()) << c.name;
            EXPECT_EQ(parts.program.size(), c.text.size()) << c.name;
            continue;
        }
        EXPECT_EQ(parts.callsFirstLine, c.callsFirstLine) << c.name;
        EXPECT_EQ(std::string(parts.program) + std::string(parts.calls), c.text) << c.name;
        EXPECT_TRUE(parts.calls.starts_with("Tarsion.Poke") || parts.calls.starts_with("\n")) << c.name;
    }
}

TEST(ScriptSplit, ChunksAreWholeLinesBoundedInCountAndSize) {
    const std::string calls = Recording("", 2500).substr(1);
    std::string_view rest = calls;
    std::vector<int> counts;
    while (!rest.empty()) {
        int lines = 0;
        const std::string_view chunk = NextCallChunk(rest, lines);
        EXPECT_TRUE(chunk.ends_with(";\n") || chunk.size() == rest.size());
        counts.push_back(lines);
        rest.remove_prefix(chunk.size());
    }
    EXPECT_EQ(counts, (std::vector<int>{1000, 1000, 500}));

    // One line far longer than a chunk is still one chunk.
    const std::string longLine = "WScript.Echo('" + std::string(3 << 20, 'x') + "');\nWScript.Echo(1);";
    int lines = 0;
    EXPECT_EQ(NextCallChunk(longLine, lines).size(), longLine.find('\n') + 1);
    EXPECT_EQ(lines, 1);
}

} // namespace
} // namespace tarsion
