// Files and names that could harm the user: script lines that would run injected code, FIFOs and
// devices given as input, links planted where the loaders write, leftovers of crashed saves, and
// inputs the readers once took as success.
#include "LoaderRig.h"
#include "coefficient/CoefficientTestFiles.h"
#include "ops/CoefficientFile.h"
#include "ops/ConstellationRam.h"
#include "ops/PatternMemory.h"
#include "ops/ScriptText.h"

#include <gtest/gtest.h>

#include <climits>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace tarsion::test {
namespace {

namespace fs = std::filesystem;

TEST(ScriptStringText, EscapesWhatASingleQuotedStringNeedsAndNothingElse) {
    const struct {
        std::string text;
        std::string escaped;
    } cases[] = {
        {"/home/u/lp filter-2.coe", "/home/u/lp filter-2.coe"},
        {"C:/Sch\xC3\xA9ma/\"q\".hex", "C:/Sch\xC3\xA9ma/\"q\".hex"},
        {"a'+WScript.Quit(3)+'.hex", "a\\'+WScript.Quit(3)+\\'.hex"},
        {"back\\slash", "back\\\\slash"},
        {"l1\nl2\rl3", "l1\\nl2\\rl3"},
        {std::string("nul\0tab\t\x7f", 9), "nul\\x00tab\\x09\\x7f"},
        {"ls\xE2\x80\xA8ps\xE2\x80\xA9", "ls\\u2028ps\\u2029"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ScriptStringText(c.text), c.escaped) << c.text;
}

// What each loader does with a name, and whether the board was left alone.
struct Loader {
    const char* name;
    std::function<bool(LoaderRig&, const std::string&)> load;
};

const Loader kLoaders[] = {
    {"constellation", [](LoaderRig& rig, const std::string& f) { return rig.ops.LoadConstellationRam(f); }},
    {"pattern", [](LoaderRig& rig, const std::string& f) { return rig.ops.LoadExternalMemory(f); }},
    {"coefficient",
     [](LoaderRig& rig, const std::string& f) {
         return rig.ops.LoadCoefficientRam(2, f, false, 1.0, false, 0, false, false);
     }},
};

// A FIFO nobody writes to would block open() for good; /dev/zero never ends; a name longer than the
// system allows is refused before anything is opened. Each is an open failure that writes nothing.
TEST(HostileInputs, FifosDevicesFoldersAndOverlongNamesAreRefusedWithoutTouchingTheBoard) {
    ::alarm(60); // a blocked open would otherwise hang the suite
    for (const Loader& loader : kLoaders) {
        LoaderRig rig;
        const std::string fifo = (rig.dir / "input.fifo").string();
        ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
        fs::create_directory(rig.dir / "folder.hex");
        const std::string names[] = {fifo, "/dev/zero", (rig.dir / "folder.hex").string(),
                                     rig.dir.string() + "/" + std::string(PATH_MAX, 'n'),
                                     rig.dir.string() + "/" + std::string(NAME_MAX + 1, 'n')};
        for (const std::string& name : names) {
            for (int a = 0; a < 256; ++a)
                rig.board.SetConstellationRam(static_cast<std::uint8_t>(a), 0x55);
            rig.board.SetPatternWord(VirtualBoard::kPatternWords - 1, 0xABCDEF);
            rig.board.SetCoefficientRam(0, 0xC1, {1, 2, 3, 4, 5, 6, 7, 8, 9});
            rig.log.text.clear();
            EXPECT_FALSE(loader.load(rig, name)) << loader.name << " " << name.substr(0, 80);
            EXPECT_EQ(rig.board.ConstellationRam(0x80), 0x55) << loader.name;
            EXPECT_EQ(rig.board.PatternWord(VirtualBoard::kPatternWords - 1), 0xABCDEFu) << loader.name;
            EXPECT_EQ(rig.board.CoefficientRam(0, 0xC1),
                      (VirtualBoard::CoefficientWord{1, 2, 3, 4, 5, 6, 7, 8, 9}));
            if (loader.name == std::string("coefficient")) {
                EXPECT_EQ(rig.prompt.messages.back(), "Please Enter a Valid File Name");
            } else {
                EXPECT_NE(rig.LastLogLine().find("\tCould Not Open File "), std::string::npos)
                    << rig.log.text;
                // Even a name of several pages stays a line the log window can show.
                EXPECT_LT(rig.log.text.size(), 3 * 8200u);
            }
        }
    }
    ::alarm(0);
}

// Image files and the bit listing are new files in place of the name: a link planted there is
// replaced, and the file it pointed to keeps its contents.
TEST(HostileInputs, LinksPlantedAtTheImageFilesAreReplacedNotWrittenThrough) {
    LoaderRig rig;
    const fs::path previous = fs::current_path();
    fs::current_path(rig.dir); // temp.ram goes to the current directory
    WriteText((rig.dir / "lp.coe").string(), CoefficientText(std::vector<double>(96, 0.001)));
    for (const char* name : {"lp_I.Ram", "lp_Q.Ram", "temp.ram"}) {
        WriteText((rig.dir / (std::string("victim-") + name)).string(), "precious\n");
        fs::create_symlink(rig.dir / (std::string("victim-") + name), rig.dir / name);
    }
    EXPECT_TRUE(rig.ops.LoadCoefficientRam(2, "lp.coe", false, 1.0, false, 0, false, false)) << rig.log.text;
    fs::current_path(previous);
    for (const char* name : {"lp_I.Ram", "lp_Q.Ram", "temp.ram"}) {
        EXPECT_EQ(ReadText((rig.dir / (std::string("victim-") + name)).string()), "precious\n") << name;
        EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(rig.dir / name))) << name;
    }
    EXPECT_EQ(ReadText((rig.dir / "lp_I.Ram").string()).substr(0, 22), "I Coefficient Memory :");
}

// A dump is written in full to a regular file: through a link to where it leads, never into a FIFO.
TEST(HostileInputs, DumpsWriteThroughLinksAndRefuseFifos) {
    LoaderRig rig;
    fs::create_directory(rig.dir / "kept");
    WriteText((rig.dir / "kept/map.hex").string(), "old\n");
    fs::create_symlink(rig.dir / "kept/map.hex", rig.dir / "link.hex");
    rig.board.SetConstellationRam(0x01, 0x3c);
    ASSERT_TRUE(rig.ops.DumpConstellationRam((rig.dir / "link.hex").string())) << rig.log.text;
    EXPECT_TRUE(fs::is_symlink(rig.dir / "link.hex"));
    EXPECT_EQ(ReadText((rig.dir / "kept/map.hex").string()).substr(0, 10), "0000\n013c\n");

    // In a folder of its own: a dump into the start directory itself goes by its bare name.
    fs::create_directory(rig.dir / "pipes");
    const std::string fifo = (rig.dir / "pipes/dump.fifo").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    ::alarm(60);
    EXPECT_FALSE(rig.ops.DumpConstellationRam(fifo));
    EXPECT_FALSE(rig.ops.DumpCoefficientRam(0, fifo));
    ::alarm(0);
    EXPECT_TRUE(fs::is_fifo(fifo));
}

// A crash between writing and renaming used to leave cfg.js.tmp0; a hundred of them stopped every save.
TEST(HostileInputs, LeftoversOfCrashedSavesNeverStopASave) {
    LoaderRig rig;
    for (int i = 0; i < 100; ++i)
        WriteText((rig.dir / ("cfg.js.tmp" + std::to_string(i))).string(), "leftover");
    ASSERT_TRUE(rig.ops.SaveSettings((rig.dir / "cfg.js").string())) << rig.log.text;
    EXPECT_NE(ReadText((rig.dir / "cfg.js").string()).find("Tarsion.Reset();"), std::string::npos);
    EXPECT_EQ(rig.DirectoryNames().size(), 101u);
}

// Windows and old Mac line ends and a UTF-8 byte-order mark read as the same lines.
TEST(HostileInputs, EveryReaderTakesCrOnlyLineEndsAndAByteOrderMark) {
    const auto variants = [](const std::vector<std::string>& lines) {
        std::vector<std::string> texts;
        for (const char* bom : {"", "\xEF\xBB\xBF"}) {
            for (const char* end : {"\n", "\r\n", "\r"}) {
                std::string text = bom;
                for (const std::string& line : lines)
                    text += line + end;
                texts.push_back(text);
            }
        }
        return texts;
    };
    const std::vector<std::string> header(7, "header");
    std::vector<std::string> pattern = header;
    pattern.insert(pattern.end(), {"0x0001 0x0002", "0x7fff 0x8000"});
    for (const std::string& text : variants(pattern)) {
        std::istringstream in(text);
        const PatternFile file = ReadPatternFile(in);
        ASSERT_EQ(file.pairs.size(), 2u) << text;
        EXPECT_EQ(file.pairs[1].i, 0x7fff);
        EXPECT_EQ(file.pairs[1].q, 0x8000);
        EXPECT_FALSE(file.formatError);
    }
    for (const std::string& text : variants({"0a3c", "ff01"})) {
        std::istringstream in(text);
        const ConstellationFile file = ReadConstellationFile(in);
        ASSERT_EQ(file.entries.size(), 2u) << text;
        EXPECT_FALSE(file.formatError);
        EXPECT_EQ(file.entries[1].address, 0xff);
    }
    std::vector<std::string> coefficients = header;
    coefficients.insert(coefficients.end(), {"0.25 -0.5", "0.125 1"});
    for (const std::string& text : variants(coefficients)) {
        std::istringstream in(text);
        CoefficientFile file;
        ASSERT_EQ(file.Parse(in), CoefficientFile::Status::Ok) << text;
        EXPECT_EQ(file.Taps(1), (std::vector<double>{0.25, 0.125}));
        EXPECT_EQ(file.Taps(2), (std::vector<double>{-0.5, 1.0}));
    }
}

// Through the loader: a marked file loads, it does not fail after clearing the RAM.
TEST(HostileInputs, AConstellationFileWithAByteOrderMarkLoads) {
    LoaderRig rig;
    ASSERT_TRUE(rig.ops.LoadConstellationRam(rig.WriteFile("bom.hex", "\xEF\xBB\xBF"
                                                                      "0a3c\r\n")))
        << rig.log.text;
    EXPECT_EQ(rig.board.ConstellationRam(0x0a), 0x3c);
}

// Taps too large to scale or too small to quantize would load a filter that passes nothing.
TEST(HostileInputs, ACoefficientTableThatQuantizesToZeroIsRefusedBeforeAnythingIsWritten) {
    const struct {
        double tap;
        bool bestFit;
    } cases[] = {{1e308, true}, {1e-12, false}, {0.0, false}};
    for (const auto& c : cases) {
        LoaderRig rig;
        const std::string path = rig.WriteFile("zero.coe", CoefficientText(std::vector<double>(96, c.tap)));
        rig.board.SetCoefficientRam(0, 0xC1, {1, 2, 3, 4, 5, 6, 7, 8, 9});
        rig.board.SetChipRegister(0x00, 0x11);
        EXPECT_FALSE(rig.ops.LoadCoefficientRam(0, path, c.bestFit, 1.0, true, 0, false, false)) << c.tap;
        EXPECT_EQ(rig.LastLogLine(), "\tError : Every Coefficient Quantizes to 0, Nothing Loaded") << c.tap;
        EXPECT_EQ(rig.board.CoefficientRam(0, 0xC1),
                  (VirtualBoard::CoefficientWord{1, 2, 3, 4, 5, 6, 7, 8, 9}));
        EXPECT_EQ(rig.board.ChipRegister(0x00), 0x11u) << "MemoryControl was written";
        EXPECT_EQ(rig.doc.coefficientI.fileName, "Unknown");
    }
}

} // namespace
} // namespace tarsion::test
