#include "board/BoardLink.h"
#include "board/ChipRegisters.h"
#include "board/PortBackend.h"
#include "board/VirtualBoard.h"
#include "support/FakeClock.h"
#include "support/LogCapture.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tarsion {
namespace {

namespace fs = std::filesystem;

class ScratchDir {
public:
    ScratchDir() {
        std::string pattern = (fs::temp_directory_path() / "tarsion-port-XXXXXX").string();
        path_ = ::mkdtemp(pattern.data());
    }
    ~ScratchDir() { fs::remove_all(path_); }
    fs::path operator/(const char* name) const { return path_ / name; }

private:
    fs::path path_;
};

std::string Contents(const fs::path& file) {
    std::ifstream in(file);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(BindPortIo, SimGivesAFreshVirtualBoard) {
    PortBinding binding = BindPortIo("sim");
    ASSERT_TRUE(binding.backend) << binding.error;
    const auto* board = dynamic_cast<VirtualBoard*>(binding.backend.get());
    ASSERT_NE(board, nullptr);
    EXPECT_EQ(board->ChipRegister(chipreg::kCarrierFrequency), 0u);
}

TEST(BindPortIo, SimStateSurvivesUnbindAndRebind) {
    ScratchDir dir;
    const std::string spec = "sim:" + (dir / "board.state").string();
    constexpr std::uint32_t kValue = 0x20000000;
    RegisterShadow shadow;
    test::LogCapture log;
    test::FakeClock clock;
    {
        PortBinding binding = BindPortIo(spec);
        ASSERT_TRUE(binding.backend) << binding.error;
        CBoardLink link(shadow, log, std::move(binding.backend), clock);
        ASSERT_TRUE(link.WriteChipReg(chipreg::kCarrierFrequency, kValue)) << log.text;
    }
    ASSERT_TRUE(fs::exists(dir / "board.state"));

    PortBinding again = BindPortIo(spec);
    ASSERT_TRUE(again.backend) << again.error;
    EXPECT_EQ(dynamic_cast<VirtualBoard&>(*again.backend).ChipRegister(chipreg::kCarrierFrequency), kValue);
    CBoardLink link(shadow, log, std::move(again.backend), clock);
    std::uint32_t readBack = 0;
    ASSERT_TRUE(link.ReadChipReg(chipreg::kCarrierFrequency, readBack)) << log.text;
    EXPECT_EQ(readBack, kValue);
}

TEST(BindPortIo, UnreadableStateFileFailsAndIsLeftAlone) {
    ScratchDir dir;
    const fs::path file = dir / "board.state";
    const std::string garbage = "this is not a board\n";
    std::ofstream(file) << garbage;
    PortBinding unparsable = BindPortIo("sim:" + file.string());
    EXPECT_FALSE(unparsable.backend);
    EXPECT_NE(unparsable.error.find(file.string()), std::string::npos) << unparsable.error;
    EXPECT_EQ(Contents(file), garbage);

    fs::create_directory(dir / "folder.state");
    PortBinding folder = BindPortIo("sim:" + (dir / "folder.state").string());
    EXPECT_FALSE(folder.backend);
    EXPECT_FALSE(folder.error.empty());
}

// A FIFO as state file would block the start-up in open() for good, a device never end.
TEST(BindPortIo, AStateFileThatIsNoRegularFileIsRefusedAtOnce) {
    ScratchDir dir;
    const fs::path fifo = dir / "board.fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    ::alarm(60); // a blocked open would otherwise hang the suite
    // The reason names what the file is.
    const std::pair<std::string, const char*> cases[] = {{fifo.string(), "it is a FIFO"},
                                                         {"/dev/zero", "it is a device"}};
    for (const auto& [file, reason] : cases) {
        const PortBinding binding = BindPortIo("sim:" + file);
        EXPECT_FALSE(binding.backend) << file;
        EXPECT_NE(binding.error.find(reason), std::string::npos) << binding.error;
    }
    ::alarm(0);
    EXPECT_TRUE(fs::is_fifo(fifo));
}

TEST(BindPortIo, UnknownSpecFailsWithTheReason) {
    for (const char* spec : {"lpt1", "sim:", "Sim", "directio"}) {
        PortBinding binding = BindPortIo(spec);
        EXPECT_FALSE(binding.backend) << spec;
        EXPECT_NE(binding.error.find(std::string("\"") + spec + "\""), std::string::npos) << binding.error;
    }
}

TEST(BindPortIo, MissingNamedDeviceFails) {
    PortBinding binding = BindPortIo("/dev/parport-that-is-not-there");
    EXPECT_FALSE(binding.backend);
    EXPECT_NE(binding.error.find("/dev/parport-that-is-not-there"), std::string::npos) << binding.error;
}

// Binds "direct" without raw I/O rights: as an ordinary user in a child process when run as root.
TEST(BindPortIo, DirectFailsWhenIopermIsRefused) {
    constexpr int kRefused = 0;
    constexpr int kBound = 1;
    constexpr int kNoReason = 2;
    auto attempt = [] {
        const PortBinding binding = BindPortIo("direct");
        if (binding.backend)
            return kBound;
        return binding.error.find("ioperm") != std::string::npos ? kRefused : kNoReason;
    };
    int outcome = kNoReason;
    if (::geteuid() != 0) {
        outcome = attempt();
    } else {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            constexpr uid_t kNobody = 65534;
            if (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)
                ::_exit(kNoReason + 1);
            ::_exit(attempt());
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status));
        outcome = WEXITSTATUS(status);
    }
    if (outcome == kBound)
        GTEST_SKIP() << "this user holds CAP_SYS_RAWIO";
    EXPECT_EQ(outcome, kRefused);
}

} // namespace
} // namespace tarsion
