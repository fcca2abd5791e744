#include "SignalRig.h"
#include "ops/MemoryReadBack.h"
#include "support/LogCapture.h"

#include <cstdlib>
#include <set>
#include <string>

namespace tarsion {
namespace {

class MemoryVerify : public test::SignalRig {
protected:
    void LoadFilter() {
        test::WriteText(folder / "rrc.coe", test::CoefficientText(test::RootRaisedCosine(96, 4, 0.35)));
        ASSERT_TRUE(rig.ops.LoadCoefficientRam(0, "rrc.coe", true, 1.0, false, 0, false, false));
    }
    void LoadConstellation() {
        std::string text;
        for (int address = 0; address < 256; address += 7)
            text += test::FormatHex(address * 256 + (address * 37 + 11) % 256, 4) + "\n";
        test::WriteText(folder / "map.hex", text);
        ASSERT_TRUE(rig.ops.LoadConstellationRam("map.hex"));
    }
    bool LogHas(const std::string& line) const {
        return rig.log.text.find("\t" + line + "\r\n") != std::string::npos;
    }
    static std::set<int> Addresses(const VerifyReport& report) {
        std::set<int> addresses;
        for (const WordMismatch& mismatch : report.mismatches)
            addresses.insert(mismatch.address);
        return addresses;
    }
};

TEST_F(MemoryVerify, AllWordsMatchOnAHealthyBoard) {
    LoadFilter();
    LoadConstellation();
    for (ChipMemory memory : {ChipMemory::CoefficientI, ChipMemory::Constellation}) {
        const VerifyReport report = CMemoryVerifier(rig.ops).Verify(memory);
        EXPECT_TRUE(report.completed);
        EXPECT_TRUE(report.mismatches.empty());
        EXPECT_EQ(report.summary, "all 256 words match");
    }
    EXPECT_TRUE(LogHas("all 256 words match"));
    // The read leaves no memory selected, as a dump does.
    EXPECT_EQ(rig.board.ChipRegister(0), 0u);
    EXPECT_EQ(rig.doc.loaded.LastVerify(ChipMemory::Constellation)->summary, "all 256 words match");
}

TEST_F(MemoryVerify, AStuckDataLineShowsExactlyTheWordsItCorrupts) {
    LoadFilter();
    LoadConstellation();
    rig.board.InjectDataLineFault(0, VirtualBoard::DataLineFault::StuckLow);

    // Constellation entries read wrong exactly where the board holds an odd value.
    std::set<int> odd;
    for (int address = 0; address < 256; ++address) {
        if (rig.board.ConstellationRam(static_cast<std::uint8_t>(address)) & 1)
            odd.insert(address);
    }
    ASSERT_FALSE(odd.empty());
    const VerifyReport map = CMemoryVerifier(rig.ops).Verify(ChipMemory::Constellation);
    EXPECT_TRUE(map.completed);
    EXPECT_EQ(Addresses(map), odd);
    const int first = *odd.begin();
    const int value = rig.board.ConstellationRam(static_cast<std::uint8_t>(first));
    EXPECT_TRUE(LogHas("Address " + test::FormatHex(first, 2) + " : expected " + test::FormatHex(value, 2) +
                       " read " + test::FormatHex(value & 0xFE, 2)));
    EXPECT_TRUE(LogHas(std::to_string(odd.size()) + " of 256 words differ"));

    // Coefficient words read wrong where any of their nine bytes has bit 0 set.
    std::set<int> corrupted;
    for (int address = 0; address < 256; ++address) {
        for (std::uint8_t byte : rig.board.CoefficientRam(0, static_cast<std::uint8_t>(address))) {
            if (byte & 1)
                corrupted.insert(address);
        }
    }
    ASSERT_FALSE(corrupted.empty());
    ASSERT_LT(corrupted.size(), 256u);
    EXPECT_EQ(Addresses(CMemoryVerifier(rig.ops).Verify(ChipMemory::CoefficientI)), corrupted);

    // The stored words were never wrong: with the cable mended everything matches again.
    rig.board.InjectDataLineFault(0, VirtualBoard::DataLineFault::None);
    EXPECT_TRUE(CMemoryVerifier(rig.ops).Verify(ChipMemory::CoefficientI).mismatches.empty());
}

TEST_F(MemoryVerify, NothingLoadedOrNoBoardIsNotAMatch) {
    VerifyReport report = CMemoryVerifier(rig.ops).Verify(ChipMemory::CoefficientQ);
    EXPECT_FALSE(report.completed);
    EXPECT_TRUE(LogHas("Failed"));
    LoadConstellation();
    rig.link.EnterDemoMode();
    report = CMemoryVerifier(rig.ops).Verify(ChipMemory::Constellation);
    EXPECT_FALSE(report.completed);
    EXPECT_EQ(report.summary, "Not verified");
}

TEST_F(MemoryVerify, ANewLoadDropsTheOldReport) {
    LoadConstellation();
    CMemoryVerifier(rig.ops).Verify(ChipMemory::Constellation);
    ASSERT_TRUE(rig.doc.loaded.LastVerify(ChipMemory::Constellation).has_value());
    LoadConstellation();
    EXPECT_FALSE(rig.doc.loaded.LastVerify(ChipMemory::Constellation).has_value());
}

// The setting reaches the board the program binds; what it can't name stops the binding.
TEST(DataLineFaultSetting, NamesALineAndWhatIsWrongWithIt) {
    for (const char* good : {"0:low", "7:high", "3:invert"})
        EXPECT_TRUE(VirtualBoard().InjectDataLineFault(std::string_view(good))) << good;
    for (const char* bad : {"8:low", "1:stuck", "1low", ":low", "", "12:high"})
        EXPECT_FALSE(VirtualBoard().InjectDataLineFault(std::string_view(bad))) << bad;

    ::setenv("TARSION_SIM_DATA_FAULT", "2:high", 1);
    PortBinding bound = BindPortIo("sim");
    ASSERT_TRUE(bound.backend);
    auto& board = static_cast<VirtualBoard&>(*bound.backend);
    board.SetBridgeRegister(9, 0x00);
    RegisterShadow shadow;
    test::LogCapture log;
    test::FakeClock clock;
    CBoardLink link(shadow, log, std::move(bound.backend), clock);
    std::uint8_t value = 0;
    ASSERT_TRUE(link.ReadBridgeReg(9, value));
    EXPECT_EQ(value, 0x04); // line 2 reads high
    ::setenv("TARSION_SIM_DATA_FAULT", "9:high", 1);
    EXPECT_FALSE(BindPortIo("sim").backend);
    ::unsetenv("TARSION_SIM_DATA_FAULT");
}

} // namespace
} // namespace tarsion
