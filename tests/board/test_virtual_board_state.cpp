#include "BoardRig.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>
#include <vector>

namespace tarsion::test {
namespace {

class StateFile : public ::testing::Test {
protected:
    StateFile() {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = std::filesystem::temp_directory_path() /
               (std::string("tarsion_state_") + info->name() + "_" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir_);
    }
    ~StateFile() override { std::filesystem::remove_all(dir_); }

    std::string Path(const char* name) const { return (dir_ / name).string(); }

    static void Write(const std::string& path, const std::string& text) { std::ofstream(path) << text; }

    static std::string Read(const std::string& path) {
        std::ifstream in(path);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }

    static void Populate(VirtualBoard& board) {
        board.SetChipRegister(0x00, 0x44);
        board.SetChipRegister(0x1F, 0xFEDCBA98);
        board.SetBridgeRegister(9, 0x03);
        board.SetBridgeRegister(63, 0x7E);
        board.SetPldRegister(12, 0x01);
        board.SetCoefficientRam(0, 0x00, {1, 2, 3, 4, 5, 6, 7, 8, 9});
        board.SetCoefficientRam(1, 0xFF, {0xF1, 0, 0, 0, 0, 0, 0, 0, 0xF9});
        board.SetConstellationRam(0x80, 0xA5);
        board.SetPatternWord(0, 0x000001);
        board.SetPatternWord(0x3FFFF, 0xFFFFFF);
    }

private:
    std::filesystem::path dir_;
};

TEST_F(StateFile, RoundTripKeepsRegistersAndMemories) {
    VirtualBoard saved;
    Populate(saved);
    std::string error;
    ASSERT_TRUE(saved.SaveState(Path("board.state"), error)) << error;
    const std::string text = Read(Path("board.state"));
    EXPECT_EQ(text.substr(0, text.find('\n')), "tarsion-virtual-board 2");
    EXPECT_TRUE(text.ends_with("\nend\n")) << text;
    EXPECT_NE(text.find("\ncoef Q ff f900000000000000f1\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\npattern 3ffff ffffff\n"), std::string::npos) << text;
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(Path("")), {}), 1)
        << "a temporary file was left";

    VirtualBoard loaded;
    ASSERT_TRUE(loaded.LoadState(Path("board.state"), error)) << error;
    EXPECT_EQ(loaded.ChipRegister(0x00), 0x44u);
    EXPECT_EQ(loaded.ChipRegister(0x1F), 0xFEDCBA98u);
    EXPECT_EQ(loaded.BridgeRegister(9), 0x03);
    EXPECT_EQ(loaded.BridgeRegister(63), 0x7E);
    EXPECT_EQ(loaded.PldRegister(12), 0x01);
    EXPECT_EQ(loaded.CoefficientRam(0, 0x00), (VirtualBoard::CoefficientWord{1, 2, 3, 4, 5, 6, 7, 8, 9}));
    EXPECT_EQ(loaded.CoefficientRam(1, 0xFF),
              (VirtualBoard::CoefficientWord{0xF1, 0, 0, 0, 0, 0, 0, 0, 0xF9}));
    EXPECT_EQ(loaded.CoefficientRam(1, 0x00), VirtualBoard::CoefficientWord{});
    EXPECT_EQ(loaded.ConstellationRam(0x80), 0xA5);
    EXPECT_EQ(loaded.PatternWord(0), 1u);
    EXPECT_EQ(loaded.PatternWord(0x3FFFF), 0xFFFFFFu);
    EXPECT_EQ(loaded.PatternWord(1), 0u);
}

TEST_F(StateFile, BoardIsSavedWhenTheLinkUnbindsIt) {
    RegisterShadow shadow;
    LogCapture log;
    FakeClock clock;
    {
        auto board = std::make_unique<VirtualBoard>();
        board->SetStateFile(Path("exit.state"));
        CBoardLink link(shadow, log, std::move(board), clock);
        ASSERT_TRUE(link.WriteChipReg(0x0B, 0x0BADCAFE));
    }
    VirtualBoard restarted;
    std::string error;
    ASSERT_TRUE(restarted.LoadState(Path("exit.state"), error)) << error;
    EXPECT_EQ(restarted.ChipRegister(0x0B), 0x0BADCAFEu);
}

TEST_F(StateFile, MissingOrEmptyFileLeavesAFreshBoard) {
    VirtualBoard board;
    std::string error;
    EXPECT_TRUE(board.LoadState(Path("absent.state"), error));
    Write(Path("empty.state"), "");
    EXPECT_TRUE(board.LoadState(Path("empty.state"), error));
    EXPECT_EQ(error, "");
}

TEST_F(StateFile, MalformedFilesAreRefusedAndChangeNothing) {
    const struct {
        const char* text;
        const char* error;
    } cases[] = {
        {"tarsion-virtual-board 3\nend\n", "line 1: expected 'tarsion-virtual-board 2'"},
        {"chip 01 00000001\n", "line 1: expected 'tarsion-virtual-board 2'"},
        {"tarsion-virtual-board 2\n", "the file is incomplete: its end line is missing"},
        {"tarsion-virtual-board 2\nchip 01 2\n", "the file is incomplete: its end line is missing"},
        {"tarsion-virtual-board 2\nend\nchip 01 2\n", "line 3: text after the end line"},
        // Values no register of that width holds: MemoryControl has 8 bits, CoefRamPreload 19.
        {"tarsion-virtual-board 2\nchip 00 ffffffff\nend\n",
         "line 2: bad value 'ffffffff' for chip register 00"},
        {"tarsion-virtual-board 2\nchip 11 80000\nend\n", "line 2: bad value '80000' for chip register 11"},
        {"tarsion-virtual-board 2\nchip 10 1\nend\n", "line 2: bad value '1' for chip register 10"},
        {"tarsion-virtual-board 2\nchip 13 1\nend\n", "line 2: bad value '1' for chip register 13"},
        {"tarsion-virtual-board 1\nchip 20 1\n", "line 2: bad address '20'"},
        {"tarsion-virtual-board 1\r\n\r\n# note\r\nchip 01 1ffffffff\r\n", "line 4: bad value '1ffffffff'"},
        {"tarsion-virtual-board 1\nbridge 40 01\n", "line 2: bad address '40'"},
        {"tarsion-virtual-board 1\npld 0c\n", "line 2: expected 3 fields"},
        {"tarsion-virtual-board 1\npattern 40000 1\n", "line 2: bad address '40000'"},
        {"tarsion-virtual-board 1\npattern 1 -1\n", "line 2: bad value '-1'"},
        {"tarsion-virtual-board 1\ncoef X 00 1\n", "line 2: bad RAM 'X'"},
        {"tarsion-virtual-board 1\ncoef I 00 1234567890123456789\n", "line 2: bad coefficient word"},
        {"tarsion-virtual-board 1\ncoef I 00 12g4\n", "line 2: bad coefficient word"},
        {"tarsion-virtual-board 1\nconstellation 0x1 02\n", "line 2: bad address '0x1'"},
        {"tarsion-virtual-board 1\nchip 01 2 3\n", "line 2: expected 3 fields"},
        {"tarsion-virtual-board 1\nregister 01 02\n", "line 2: unknown record 'register'"},
    };
    for (const auto& c : cases) {
        VirtualBoard board;
        board.SetChipRegister(0x01, 0x5A5A);
        Write(Path("bad.state"), c.text);
        std::string error;
        EXPECT_FALSE(board.LoadState(Path("bad.state"), error)) << c.text;
        EXPECT_EQ(error, c.error) << c.text;
        EXPECT_EQ(board.ChipRegister(0x01), 0x5A5Au) << c.text;
    }
}

TEST_F(StateFile, UnreadableOrUnwritableFilesReportAReason) {
    VirtualBoard board;
    std::string error;
    // A folder where the file should be.
    std::filesystem::create_directories(Path("folder.state"));
    EXPECT_FALSE(board.LoadState(Path("folder.state"), error));
    EXPECT_NE(error, "");
    error.clear();
    Write(Path("plain"), "a file, not a folder\n");
    EXPECT_FALSE(board.SaveState(Path("plain/dir.state"), error));
    EXPECT_NE(error, "");
}

// A file cut anywhere (at a line boundary, or inside a value as `020000` -> `02`) is refused, and
// neither the board nor the file changes.
TEST_F(StateFile, CutFilesAreRefusedAndLeftUntouched) {
    VirtualBoard saved;
    Populate(saved);
    saved.SetChipRegister(0x0B, 0x00020000);
    const std::string whole = saved.StateText();
    ASSERT_TRUE(whole.ends_with("\npattern 3ffff ffffff\nend\n")) << whole;
    std::vector<std::size_t> cuts;
    for (std::size_t at = whole.find('\n'); at + 1 < whole.size(); at = whole.find('\n', at + 1))
        cuts.push_back(at + 1);
    cuts.push_back(whole.find("chip 0b 0002") + std::string("chip 0b 0002").size());
    cuts.push_back(whole.size() - 2);
    for (const std::size_t cut : cuts) {
        const std::string text = whole.substr(0, cut);
        Write(Path("cut.state"), text);
        VirtualBoard board;
        board.SetChipRegister(0x0B, 0x1234);
        std::string error;
        EXPECT_FALSE(board.LoadState(Path("cut.state"), error)) << text;
        EXPECT_NE(error, "");
        EXPECT_EQ(board.ChipRegister(0x0B), 0x1234u) << text;
        EXPECT_EQ(Read(Path("cut.state")), text);
    }
}

// Files written before the end line existed load as they always did.
TEST_F(StateFile, VersionOneFilesWithoutAnEndLineStillLoad) {
    Write(Path("old.state"), "tarsion-virtual-board 1\nchip 0b 12345678\nconstellation 80 a5\n");
    VirtualBoard board;
    std::string error;
    ASSERT_TRUE(board.LoadState(Path("old.state"), error)) << error;
    EXPECT_EQ(board.ChipRegister(0x0B), 0x12345678u);
    EXPECT_EQ(board.ConstellationRam(0x80), 0xA5);
}

TEST_F(StateFile, SavingCreatesAMissingFolderAndWritesThroughALink) {
    VirtualBoard board;
    board.SetChipRegister(0x0A, 0x20000000);
    std::string error;
    ASSERT_TRUE(board.SaveState(Path("gone/deeper/board.state"), error)) << error;
    EXPECT_NE(Read(Path("gone/deeper/board.state")).find("\nchip 0a 20000000\n"), std::string::npos);

    std::filesystem::create_directories(Path("kept"));
    Write(Path("kept/board.state"), "tarsion-virtual-board 2\nend\n");
    std::filesystem::create_symlink(Path("kept/board.state"), Path("link.state"));
    ASSERT_TRUE(board.SaveState(Path("link.state"), error)) << error;
    EXPECT_TRUE(std::filesystem::is_symlink(Path("link.state")));
    EXPECT_NE(Read(Path("kept/board.state")).find("\nchip 0a 20000000\n"), std::string::npos);
}

// A link to a missing file starts a fresh board, says so, and is saved through to where it leads; a
// loop of links is refused at start and never replaced by a plain file.
TEST_F(StateFile, LinksToNothingAreSavedThroughAndLoopsAreRefused) {
    std::filesystem::create_directories(Path("kept"));
    std::filesystem::create_symlink("kept/board.state", Path("dangling.state"));
    ::testing::internal::CaptureStderr();
    PortBinding binding = BindPortIo("sim:" + Path("dangling.state"), 0x378);
    const std::string told = ::testing::internal::GetCapturedStderr();
    ASSERT_TRUE(binding.backend) << binding.error;
    EXPECT_NE(told.find("is a link to " + Path("kept/board.state") + ", which does not exist"),
              std::string::npos)
        << told;
    auto& board = static_cast<VirtualBoard&>(*binding.backend);
    EXPECT_EQ(board.ChipRegister(0x0A), 0u);
    board.SetChipRegister(0x0A, 0x20000000);
    std::string error;
    ASSERT_TRUE(board.SaveState(Path("dangling.state"), error)) << error;
    EXPECT_TRUE(std::filesystem::is_symlink(Path("dangling.state")));
    EXPECT_NE(Read(Path("kept/board.state")).find("\nchip 0a 20000000\n"), std::string::npos);

    std::filesystem::create_symlink("loop-b.state", Path("loop-a.state"));
    std::filesystem::create_symlink("loop-a.state", Path("loop-b.state"));
    const PortBinding refused = BindPortIo("sim:" + Path("loop-a.state"), 0x378);
    EXPECT_FALSE(refused.backend);
    EXPECT_NE(refused.error.find("loop of links"), std::string::npos) << refused.error;
    EXPECT_FALSE(board.SaveState(Path("loop-a.state"), error));
    EXPECT_NE(error.find("loop of links"), std::string::npos) << error;
    EXPECT_TRUE(std::filesystem::is_symlink(Path("loop-a.state")));
    EXPECT_TRUE(std::filesystem::is_symlink(Path("loop-b.state")));
}

// Leftovers of a crashed save, or a second program saving the same file, never stop a save.
TEST_F(StateFile, SavesUseTheirOwnTemporaryFiles) {
    std::filesystem::create_directories(Path("board.state.tmp"));
    Write(Path("board.state.tmp0"), "leftover");
    VirtualBoard first;
    VirtualBoard second;
    first.SetChipRegister(0x0A, 1);
    second.SetChipRegister(0x0A, 2);
    std::string error;
    ASSERT_TRUE(first.SaveState(Path("board.state"), error)) << error;
    ASSERT_TRUE(second.SaveState(Path("board.state"), error)) << error;
    VirtualBoard loaded;
    ASSERT_TRUE(loaded.LoadState(Path("board.state"), error)) << error;
    EXPECT_EQ(loaded.ChipRegister(0x0A), 2u);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(Path("")), {}), 3);
}

// The board reports its first change after a save; saving what did not change writes nothing.
TEST_F(StateFile, ChangesAreReportedOnceAndSavedWhenAsked) {
    RegisterShadow shadow;
    LogCapture log;
    FakeClock clock;
    auto owned = std::make_unique<VirtualBoard>();
    VirtualBoard& board = *owned;
    board.SetStateFile(Path("kept.state"));
    int reports = 0;
    board.SetChangeListener([&reports] { ++reports; });
    CBoardLink link(shadow, log, std::move(owned), clock);
    ASSERT_TRUE(link.WriteChipReg(0x0B, 0x11111111));
    ASSERT_TRUE(link.WriteChipReg(0x0B, 0x22222222));
    EXPECT_EQ(reports, 1);
    std::string error;
    ASSERT_TRUE(board.SaveChangedState(error)) << error;
    EXPECT_NE(Read(Path("kept.state")).find("\nchip 0b 22222222\n"), std::string::npos);
    std::filesystem::remove(Path("kept.state"));
    ASSERT_TRUE(board.SaveChangedState(error)) << error;
    EXPECT_FALSE(std::filesystem::exists(Path("kept.state")));
    ASSERT_TRUE(link.WriteChipReg(0x0B, 0x33333333));
    EXPECT_EQ(reports, 2);
    // A listener that comes later hears of the change not yet saved.
    int lateReports = 0;
    board.SetChangeListener([&lateReports] { ++lateReports; });
    EXPECT_EQ(lateReports, 1);
    board.SetChangeListener({});
}

} // namespace
} // namespace tarsion::test
