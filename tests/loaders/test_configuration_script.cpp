#include "LoaderRig.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace tarsion::test {
namespace {

constexpr std::uint8_t kBoardControl = 9;
constexpr std::uint8_t kPatternSender = 12;
constexpr const char* kQuestion = "Are you using an External Pattern Generator ?";
constexpr const char* kHeader = "var WshShell = WScript.CreateObject(\"WScript.Shell\");\n"
                                "var Tarsion = WScript.CreateObject(\"Trm90627\");\n"
                                "\n"
                                "Tarsion.Reset();";
constexpr std::uint8_t kSaved[] = {0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07,
                                   0x08, 0x09, 0x0A, 0x0B, 0x0C, 0x0D, 0x11, 0x1F};

struct ConfigurationScript : ::testing::Test {
    LoaderRig rig;
    std::string path = (rig.dir / "config.js").string();

    ConfigurationScript() {
        // Distinct values within each register's limits.
        for (const std::uint8_t reg : kSaved)
            rig.board.SetChipRegister(reg, 0x10u + reg);
        rig.doc.Shadow().StorePldReg(kPatternSender, 1);
    }

    std::string PokeLines() const {
        std::string lines;
        for (const std::uint8_t reg : kSaved) {
            char line[48];
            std::snprintf(line, sizeof line, "\nTarsion.Poke ( 0x%02x,0x%08x );", reg, 0x10u + reg);
            lines += line;
        }
        return lines;
    }
    bool Save() { return rig.ops.SaveSettings(path); }
    std::string Saved() const { return ReadWholeFile(path); }
};

TEST_F(ConfigurationScript, NothingLoadedWithRefClk) {
    ASSERT_TRUE(Save());
    EXPECT_EQ(Saved(), kHeader + PokeLines() + "\nTarsion.Write(9,0);\nTarsion.PldWrite(12,1);");
    EXPECT_TRUE(rig.prompt.questions.empty());
    // Nothing was loaded and nothing read from the board: the four memories are named, asked about none.
    EXPECT_EQ(rig.log.text,
              "SaveSettings  " + path +
                  "\r\n\tNot restored: Pattern Memory, not loaded in this run"
                  "\r\n\tNot restored: Constellation RAM, not loaded in this run"
                  "\r\n\tNot restored: I Coefficient RAM, not loaded in this run"
                  "\r\n\tNot restored: Q Coefficient RAM, not loaded in this run\r\n\tDone\r\n");
    ASSERT_EQ(rig.prompt.messages.size(), 1u);
    EXPECT_EQ(
        rig.prompt.messages[0].rfind("The configuration will not restore:\nPattern Memory: not loaded", 0),
        0u);
}

TEST_F(ConfigurationScript, GeneratedPatternWithTristatedDataClk) {
    rig.doc.pattern.fileName = "Pattern";
    rig.board.SetBridgeRegister(kBoardControl, 0x03);
    rig.prompt.answers = {true};
    ASSERT_TRUE(Save());
    EXPECT_EQ(Saved(), kHeader + PokeLines() + "\nTarsion.Write(9,3);");
    EXPECT_EQ(rig.prompt.questions, std::vector<std::string>{std::string(kQuestion) + "|" + kQuestion});

    rig.prompt.answers = {false};
    ASSERT_TRUE(Save());
    EXPECT_EQ(Saved(),
              kHeader +
                  std::string("\nTarsion.write(9,0);"
                              "\nTarsion.LoadExternalMem(1,0,1.000000,0.000000,16.000000,16.000000);") +
                  PokeLines() + "\nTarsion.Write(9,3);");
}

TEST_F(ConfigurationScript, PatternFileIsReplayedWithoutAskingUnlessTristated) {
    rig.doc.pattern.fileName = "C:\\pat\\a.pat";
    rig.board.SetBridgeRegister(kBoardControl, 0x01);
    ASSERT_TRUE(Save());
    EXPECT_EQ(Saved(),
              kHeader + std::string("\nTarsion.write(9,0);\nTarsion.LoadExternalMemory ('C:/pat/a.pat ' );") +
                  PokeLines() + "\nTarsion.Write(9,0);\nTarsion.PldWrite(12,1);\nTarsion.Write(9,1);");
    EXPECT_EQ(rig.doc.pattern.fileName, "C:/pat/a.pat");
    EXPECT_TRUE(rig.prompt.questions.empty());

    rig.board.SetBridgeRegister(kBoardControl, 0x03);
    rig.prompt.answers = {true};
    ASSERT_TRUE(Save());
    EXPECT_EQ(Saved().find("LoadExternalMemory"), std::string::npos);
    EXPECT_EQ(rig.prompt.questions.size(), 1u);
}

TEST_F(ConfigurationScript, MemoryLoadsInOrder) {
    rig.doc.constellationFile = "map.hex";
    rig.doc.coefficientI.fileName = "x.coe";
    rig.doc.coefficientQ = {2, 0.5, false, false, 0.0, true, true, "/f/q.coe"};
    ASSERT_TRUE(Save());
    EXPECT_EQ(Saved(), kHeader +
                           std::string("\nTarsion.LoadConstellationRam('map.hex ' );"
                                       "\nTarsion.LoadCoefficientRam( 0,'x.coe ',1,1.000000,1,0,0,0 );"
                                       "\nTarsion.LoadCoefficientRam( 1,'/f/q.coe ',0,0.500000,0,2,1,1 );") +
                           PokeLines() + "\nTarsion.Write(9,0);\nTarsion.PldWrite(12,1);");
}

// Started from "/", a loaded file's stored name is its path without the leading '/': the saved
// line names it in full and loads it again from the same start directory.
TEST_F(ConfigurationScript, StartedFromTheRootTheSavedLineLoadsTheSameFile) {
    rig.doc.startDirectory = "/";
    const std::string map = rig.WriteFile("map.hex", "0501\n");
    ASSERT_TRUE(rig.ops.LoadConstellationRam(map));
    const std::string stored = map.substr(1);
    EXPECT_EQ(rig.doc.constellationFile, stored);
    ASSERT_TRUE(Save());
    const std::string line = "\nTarsion.LoadConstellationRam('" + stored + " ' );";
    EXPECT_NE(Saved().find(line), std::string::npos) << Saved();

    rig.board.SetConstellationRam(0x05, 0x00);
    ASSERT_TRUE(rig.ops.LoadConstellationRam(stored + " "));
    EXPECT_EQ(rig.board.ConstellationRam(0x05), 0x01);
    EXPECT_EQ(rig.doc.constellationFile, stored);
}

TEST_F(ConfigurationScript, DataClkSourceRestoredAfterTheSender) {
    rig.board.SetBridgeRegister(kBoardControl, 0x06);
    rig.doc.Shadow().StorePldReg(kPatternSender, 0);
    ASSERT_TRUE(Save());
    const std::string tail = "\nTarsion.Write(9,0);\nTarsion.PldWrite(12,0);\nTarsion.Write(9,6);";
    EXPECT_TRUE(Saved().ends_with(tail));
}

TEST_F(ConfigurationScript, RegisterValuesInLowerCaseHex) {
    rig.board.SetChipRegister(0x05, 0x02FFFFFF);
    ASSERT_TRUE(Save());
    EXPECT_NE(Saved().find("\nTarsion.Poke ( 0x05,0x02ffffff );\n"), std::string::npos);
}

TEST_F(ConfigurationScript, FailedChipReadLeavesTheOldFileIntact) {
    rig.WriteFile("config.js", "old script");
    rig.doc.pattern.fileName = "Pattern";
    rig.board.ResetCounters();
    // Bridge register 9 is read in two cycles; the first chip register read fails.
    rig.board.InjectFault(VirtualBoard::Fault::BusyNeverAsserted, 3);
    EXPECT_FALSE(Save());
    EXPECT_EQ(rig.LastLogLine(), "\tFailed to Read the Chip Registers ");
    EXPECT_EQ(Saved(), "old script");
    EXPECT_EQ(rig.DirectoryNames(), std::vector<std::string>{"config.js"});
}

TEST_F(ConfigurationScript, FailedBridgeReadTouchesNoFileAndAsksNothing) {
    rig.WriteFile("config.js", "old script");
    rig.doc.pattern.fileName = "Pattern";
    rig.board.SetBridgeRegister(kBoardControl, 0x03);
    rig.board.InjectFault(VirtualBoard::Fault::NotConnected);
    EXPECT_FALSE(Save());
    EXPECT_EQ(rig.LastLogLine(), "\tFailed to Read CPLD Registers ");
    EXPECT_EQ(Saved(), "old script");
    EXPECT_TRUE(rig.prompt.questions.empty());
    EXPECT_EQ(rig.DirectoryNames(), std::vector<std::string>{"config.js"});
}

TEST_F(ConfigurationScript, UncreatableFileIsReported) {
    path = (rig.dir / "missing" / "config.js").string();
    EXPECT_FALSE(Save());
    EXPECT_EQ(rig.LastLogLine(), "\tCould Not Open File " + path);
}

TEST_F(ConfigurationScript, DemoModeSavesFromTheShadow) {
    rig.link.EnterDemoMode();
    for (const std::uint8_t reg : kSaved)
        rig.doc.Shadow().StoreChipReg(reg, 0x10u + reg);
    rig.doc.Shadow().StoreBridgeReg(kBoardControl, 0x02);
    rig.WriteFile("config.js", "old script");
    rig.spy->strobes.clear();
    ASSERT_TRUE(Save());
    EXPECT_EQ(Saved(),
              kHeader + PokeLines() + "\nTarsion.Write(9,0);\nTarsion.PldWrite(12,1);\nTarsion.Write(9,2);");
    EXPECT_TRUE(rig.spy->strobes.empty());
    EXPECT_EQ(rig.DirectoryNames(), std::vector<std::string>{"config.js"});
}

} // namespace
} // namespace tarsion::test
