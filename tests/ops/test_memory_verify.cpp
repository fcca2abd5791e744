#include "ops/ConstellationRam.h"
#include "ops/MemoryReadBack.h"
#include "ops/MemoryTransfer.h"
#include "signal/SignalRig.h"
#include "support/LogCapture.h"

#include <cstdlib>
#include <functional>
#include <set>
#include <string>
#include <tuple>
#include <vector>

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

// What a memory was read as belongs to the load it was read over: a new load of the memory drops it.
TEST_F(MemoryVerify, ANewLoadDropsTheOldReadBackOfEachMemory) {
    LoadFilter();
    LoadConstellation();
    rig.SetBridge(9, 2);
    ASSERT_TRUE(rig.ops.LoadExternalMem(0, 0, 1.0, 1.0, 16, 32));
    CMemoryReader reader(rig.ops);
    ASSERT_TRUE(reader.Read(ChipMemory::CoefficientI));
    ASSERT_TRUE(reader.Read(ChipMemory::Constellation));
    ASSERT_TRUE(reader.Read(ChipMemory::Pattern));
    ASSERT_TRUE(rig.doc.loaded.CoefficientsRead(0).has_value());
    ASSERT_TRUE(rig.doc.loaded.ConstellationRead().has_value());
    ASSERT_TRUE(rig.doc.loaded.PatternRead().has_value());

    LoadFilter();
    LoadConstellation();
    ASSERT_TRUE(rig.ops.LoadExternalMem(0, 0, 1.0, 1.0, 16, 32));
    EXPECT_FALSE(rig.doc.loaded.CoefficientsRead(0).has_value());
    EXPECT_FALSE(rig.doc.loaded.ConstellationRead().has_value());
    EXPECT_FALSE(rig.doc.loaded.PatternRead().has_value());
}

// A word changed on the board behind the program's back shows in the read-back and in Verify of
// every memory; after a restart, Verify compares with a file the user names.
TEST_F(MemoryVerify, AWordChangedBehindTheProgramsBackShowsInEveryMemory) {
    LoadFilter();
    LoadConstellation();
    std::string pattern = "h\nh\nh\nh\nh\nh\nh\n";
    for (int k = 0; k < 40; ++k)
        pattern += "0x" + test::FormatHex(k * 100, 4) + " 0x" + test::FormatHex(0xFFFF - k, 4) + "\n";
    test::WriteText(folder / "ramp.pat", pattern);
    ASSERT_TRUE(rig.ops.LoadExternalMemory("ramp.pat"));
    constexpr std::uint32_t kPatternStart = 0x40000 - 80;

    struct Case {
        ChipMemory memory;
        std::function<void()> tamper;
        int address;
        std::function<bool()> readBackShowsIt;
        const char* file; // what Verify compares with when the program loaded nothing
    };
    const Case cases[] = {
        {ChipMemory::CoefficientI,
         [&] {
             CoefficientWord word = rig.board.CoefficientRam(0, 7);
             word[0] ^= 0x01;
             rig.board.SetCoefficientRam(0, 7, word);
         },
         7, [&] { return rig.doc.loaded.CoefficientsRead(0)->contents[7] == rig.board.CoefficientRam(0, 7); },
         "rrc_I.Ram"},
        {ChipMemory::Constellation, [&] { rig.board.SetConstellationRam(14, 0x5A); }, 14,
         [&] { return rig.doc.loaded.ConstellationRead()->contents[14] == 0x5A; }, "map.hex"},
        {ChipMemory::Pattern, [&] { rig.board.SetPatternWord(kPatternStart + 5, 0x31234); },
         static_cast<int>(kPatternStart + 5),
         [&] {
             const auto& read = rig.doc.loaded.PatternRead();
             return read->contents.start == kPatternStart && read->contents.pairs.size() == 40 &&
                    read->contents.pairs[2].q == 0x1234 && read->contents.pairs[2].i == 200;
         },
         "ramp.pat"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.memory));
        ASSERT_TRUE(CMemoryVerifier(rig.ops).Verify(c.memory).mismatches.empty());
        c.tamper();
        ASSERT_TRUE(CMemoryReader(rig.ops).Read(c.memory));
        EXPECT_TRUE(c.readBackShowsIt());
        const VerifyReport report = CMemoryVerifier(rig.ops).Verify(c.memory);
        EXPECT_TRUE(report.completed);
        EXPECT_EQ(Addresses(report), std::set<int>{c.address});
    }

    // A restart: the program knows nothing of its loads, the board still holds them.
    rig.doc.loaded = LoadedMemories{};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        EXPECT_FALSE(CMemoryVerifier(rig.ops).Verify(c.memory).completed);
        const VerifyReport report = CMemoryVerifier(rig.ops).Verify(c.memory, c.file);
        EXPECT_TRUE(report.completed);
        EXPECT_EQ(Addresses(report), std::set<int>{c.address});
    }
    // A file of the wrong kind is no comparison.
    EXPECT_FALSE(CMemoryVerifier(rig.ops).Verify(ChipMemory::CoefficientI, "map.hex").completed);
}

// Each entry as a point: the sign of each nibble is its own, and the nibbles never swap.
TEST(ConstellationPoints, EntriesDecodeAsSignedNibblesIThenQ) {
    const struct {
        std::uint8_t entry;
        IqPoint point;
    } rows[] = {{0x00, {0, 0}},  {0x33, {3, 3}}, {0xCC, {-4, -4}}, {0x7F, {7, -1}},  {0x80, {-8, 0}},
                {0x08, {0, -8}}, {0x17, {1, 7}}, {0xF1, {-1, 1}},  {0xFF, {-1, -1}}, {0x88, {-8, -8}}};
    for (const auto& row : rows) {
        const IqPoint point = ConstellationPoint(row.entry);
        EXPECT_EQ(point.i, row.point.i) << int(row.entry);
        EXPECT_EQ(point.q, row.point.q) << int(row.entry);
    }
}

// The decoded read-back is the board's, not the program's: one changed entry is one point apart.
TEST_F(MemoryVerify, AnEntryChangedOnTheBoardShowsInTheDecodedReadBack) {
    LoadConstellation();
    const ConstellationImage written = *rig.doc.loaded.Constellation();
    ASSERT_TRUE(CMemoryReader(rig.ops).Read(ChipMemory::Constellation));
    EXPECT_EQ(ConstellationPoints(rig.doc.loaded.ConstellationRead()->contents),
              ConstellationPoints(written));
    EXPECT_EQ(DifferingEntries(written, rig.doc.loaded.ConstellationRead()->contents), 0);

    rig.board.SetConstellationRam(21, 0x9E);
    ASSERT_TRUE(CMemoryReader(rig.ops).Read(ChipMemory::Constellation));
    const ConstellationImage& read = rig.doc.loaded.ConstellationRead()->contents;
    const std::vector<IqPoint> points = ConstellationPoints(read);
    ASSERT_EQ(points.size(), 256u);
    EXPECT_EQ(points[21], (IqPoint{-7, -2}));
    EXPECT_EQ(DifferingEntries(written, read), 1);
    for (std::size_t address = 0; address < points.size(); ++address) {
        if (address != 21) {
            EXPECT_EQ(points[address], ConstellationPoint(written[address])) << address;
        }
    }
    // What was written is kept apart from what was read.
    EXPECT_EQ(*rig.doc.loaded.Constellation(), written);
}

TEST_F(MemoryVerify, PatternReadBackFollowsTheStartRegistersAndRestoresDataClk) {
    rig.SetBridge(9, 2);
    rig.board.SetPldRegister(9, 0xFA);
    rig.board.SetPldRegister(10, 0xFF);
    rig.board.SetPldRegister(11, 0x03);
    rig.board.SetPatternWord(0x3FFFA, 0x3FFFF);
    rig.board.SetPatternWord(0x3FFFF, 0x20001);
    ASSERT_TRUE(CMemoryReader(rig.ops).Read(ChipMemory::Pattern));
    const auto& read = rig.doc.loaded.PatternRead();
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(read->contents.start, 0x3FFFAu);
    ASSERT_EQ(read->contents.pairs.size(), 3u);
    EXPECT_EQ(read->contents.pairs[0].i, -1);
    EXPECT_EQ(read->contents.pairs[2].q, 1);
    EXPECT_FALSE(read->readAt.empty());
    EXPECT_EQ(rig.board.BridgeRegister(9), 2);

    // Cancelled part way: nothing half-read is kept, DataClk is back.
    rig.doc.loaded = LoadedMemories{};
    rig.prompt.cancelAt = 3;
    EXPECT_FALSE(CMemoryReader(rig.ops).Read(ChipMemory::Pattern));
    EXPECT_FALSE(rig.doc.loaded.PatternRead().has_value());
    EXPECT_EQ(rig.board.BridgeRegister(9), 2);
}

// A pattern is a run of pairs from an even address to the top: an odd start register reads from
// the next even word, the last word's address reads nothing.
TEST_F(MemoryVerify, AnOddPatternStartReadsFromTheNextEvenWord) {
    rig.SetBridge(9, 2);
    rig.board.SetPldRegister(10, 0xFF);
    rig.board.SetPldRegister(11, 0x03);
    rig.board.SetPatternWord(0x3FFFC, 0x3FFFF);
    const struct {
        std::uint8_t low;
        std::uint32_t start;
        std::size_t pairs;
    } cases[] = {{0xFB, 0x3FFFC, 2}, {0xFC, 0x3FFFC, 2}, {0xFF, 0x40000, 0}};
    for (const auto& c : cases) {
        rig.board.SetPldRegister(9, c.low);
        ASSERT_TRUE(CMemoryReader(rig.ops).Read(ChipMemory::Pattern)) << int(c.low);
        const auto& read = rig.doc.loaded.PatternRead();
        ASSERT_TRUE(read.has_value());
        EXPECT_EQ(read->contents.start, c.start) << int(c.low);
        ASSERT_EQ(read->contents.pairs.size(), c.pairs) << int(c.low);
        if (c.pairs > 0) {
            EXPECT_EQ(read->contents.pairs[0].i, -1) << int(c.low);
        }
    }
}

// The views and the bus compare the pattern memory alike: every one of the 24 bits a word holds
// counts (the sign of a negative sample fills bits 23..18), nothing above them does.
TEST_F(MemoryVerify, BothCallersFindEveryBitThePatternMemoryHoldsAndNoOther) {
    // DC -0.5 on I: negative samples, whose 32-bit words the memory can't hold whole.
    ASSERT_TRUE(rig.ops.LoadExternalMem(0, 0, -0.5, 0.25, 4.0, 4.0));
    constexpr std::uint32_t kStart = 0x40000 - 8;
    const std::uint32_t iWord = rig.board.PatternWord(kStart + 2);
    ASSERT_EQ(iWord >> 18, 0x3Fu) << "the sign reaches the memory";

    const auto viewDifferences = [&] {
        const VerifyReport report = CMemoryVerifier(rig.ops).Verify(ChipMemory::Pattern);
        EXPECT_TRUE(report.completed);
        std::vector<std::tuple<int, std::string, std::string>> found;
        for (const WordMismatch& m : report.mismatches)
            found.emplace_back(m.address, m.expected, m.read);
        return found;
    };
    const auto busDifferences = [&] {
        std::vector<MemoryDifference> differences;
        EXPECT_FALSE(CMemoryTransfer(rig.ops).Verify("pattern", differences));
        std::vector<std::tuple<std::uint32_t, MemoryWord, MemoryWord>> found;
        for (const MemoryDifference& d : differences)
            found.emplace_back(d.address, d.expected, d.read);
        return found;
    };
    EXPECT_TRUE(viewDifferences().empty());
    EXPECT_TRUE(busDifferences().empty());
    // The words keep the marker levels of the load, whatever the polarity bits say now.
    ASSERT_TRUE(rig.ops.Poke(0x02, rig.doc.Shadow().FetchChipReg(0x02) ^ 0x30));
    EXPECT_TRUE(viewDifferences().empty());
    EXPECT_TRUE(busDifferences().empty());

    const auto bytes = [](std::uint32_t word) {
        return MemoryWord{static_cast<std::uint8_t>(word), static_cast<std::uint8_t>(word >> 8),
                          static_cast<std::uint8_t>(word >> 16)};
    };
    for (int bit = 0; bit < 24; ++bit) {
        SCOPED_TRACE(bit);
        const std::uint32_t flipped = iWord ^ (1u << bit);
        rig.board.SetPatternWord(kStart + 2, flipped);
        using ViewFound = std::vector<std::tuple<int, std::string, std::string>>;
        using BusFound = std::vector<std::tuple<std::uint32_t, MemoryWord, MemoryWord>>;
        EXPECT_EQ(viewDifferences(), (ViewFound{{kStart + 2, test::FormatHex(static_cast<int>(iWord), 6),
                                                 test::FormatHex(static_cast<int>(flipped), 6)}}));
        EXPECT_EQ(busDifferences(), (BusFound{{kStart + 2, bytes(iWord), bytes(flipped)}}));
        rig.board.SetPatternWord(kStart + 2, iWord);
    }
    EXPECT_TRUE(busDifferences().empty());
}

// Verify compares the pattern memory with its last load and every word written since, as it does
// the constellation RAM: the caller's own words are no differences, wherever they lie.
TEST_F(MemoryVerify, PatternVerifyCountsTheWordsWrittenSinceTheLoad) {
    ASSERT_TRUE(rig.ops.LoadExternalMem(0, 0, 0.5, 0.5, 4.0, 2.0));
    constexpr std::uint32_t kStart = 0x40000 - 4;
    CMemoryTransfer memory(rig.ops);
    // A word no load writes (no marker bits), one inside the pattern and one far below it.
    ASSERT_FALSE(memory.Write("pattern", kStart + 1, {{0xEF, 0xCD, 0x00}}));
    ASSERT_FALSE(memory.Write("pattern", 0x3F000, {{0x01, 0x02, 0x03}}));
    std::vector<MemoryDifference> differences;
    ASSERT_FALSE(memory.Verify("pattern", differences));
    EXPECT_TRUE(differences.empty()) << differences.front().address;

    // A new load replaces what was written since the old one.
    rig.board.SetPatternWord(0x3F000, 0);
    ASSERT_TRUE(rig.ops.LoadExternalMem(0, 0, 0.5, 0.5, 4.0, 2.0));
    ASSERT_FALSE(memory.Verify("pattern", differences));
    EXPECT_TRUE(differences.empty());

    // A word the board changed on its own is one difference, in the caller's byte order.
    ASSERT_FALSE(memory.Write("pattern", kStart, {{0x11, 0x22, 0x03}}));
    rig.board.SetPatternWord(kStart, 0x032211 ^ 0x800);
    ASSERT_FALSE(memory.Verify("pattern", differences));
    ASSERT_EQ(differences.size(), 1u);
    EXPECT_EQ(differences[0].address, kStart);
    EXPECT_EQ(differences[0].expected, (MemoryWord{0x11, 0x22, 0x03}));
    EXPECT_EQ(differences[0].read, (MemoryWord{0x11, 0x2A, 0x03}));
}

// The bus answers the coefficient words byte 0 first, the log and the views show them from byte 8
// down: one word, two orders, from the same comparison.
TEST_F(MemoryVerify, CoefficientDifferencesKeepEveryByteInItsPlace) {
    LoadFilter();
    VirtualBoard::CoefficientWord word = rig.board.CoefficientRam(0, 0x81);
    const VirtualBoard::CoefficientWord expected = word;
    word[0] ^= 0x01;
    word[8] ^= 0x80;
    rig.board.SetCoefficientRam(0, 0x81, word);
    std::vector<MemoryDifference> differences;
    ASSERT_FALSE(CMemoryTransfer(rig.ops).Verify("I", differences));
    ASSERT_EQ(differences.size(), 1u);
    EXPECT_EQ(differences[0].address, 0x81u);
    EXPECT_EQ(differences[0].expected, MemoryWord(expected.begin(), expected.end()));
    EXPECT_EQ(differences[0].read, MemoryWord(word.begin(), word.end()));
    const WordMismatch& shown = rig.doc.loaded.LastVerify(ChipMemory::CoefficientI)->mismatches.at(0);
    EXPECT_EQ(shown.read.substr(0, 2), test::FormatHex(word[8], 2));
    EXPECT_EQ(shown.read.substr(16, 2), test::FormatHex(word[0], 2));
}

// Each memory operation clears MemoryControl when it is done with a RAM; when that last write fails
// the operation says so and fails, although its words reached the RAM.
TEST_F(MemoryVerify, AFailedMemoryControlRestoreIsReported) {
    test::WriteText(folder / "c.hex", "0001\n0102\n");
    test::WriteText(folder / "f.coe", test::CoefficientText(test::RootRaisedCosine(96, 4, 0.35)));
    struct Case {
        const char* name;
        std::function<bool(test::OpsRig&)> run;
        const char* line;
    };
    const Case cases[] = {
        {"constellation load", [](test::OpsRig& r) { return r.ops.LoadConstellationRam("c.hex"); },
         "\tCouldn't Setup MemoryControl Register"},
        {"constellation write",
         [](test::OpsRig& r) {
             r.doc.loaded.SetConstellation({});
             return !CMemoryTransfer(r.ops).Write("constellation", 7, {{0x42}});
         },
         "\tCouldn't Setup MemoryControl Register"},
        {"coefficient load",
         [](test::OpsRig& r) {
             return r.ops.LoadCoefficientRam(0, "f.coe", true, 1.0, false, 0, false, false);
         },
         "\tFailed to Poke MemoryControlRegister with 0"},
        {"coefficient read-back",
         [](test::OpsRig& r) { return CMemoryReader(r.ops).Read(ChipMemory::CoefficientQ); },
         "\tCouldn't Access Coefficient Memory"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // Counted once whole; then the board stops answering at the last write, MemoryControl's
        // clear (a one-byte chip register write: four cycles).
        std::uint64_t cycles = 0;
        {
            test::OpsRig whole;
            whole.doc.startDirectory = folder.Path();
            ASSERT_TRUE(c.run(whole));
            cycles = whole.board.Cycles();
            EXPECT_EQ(whole.board.ChipRegister(0x00), 0u);
        }
        test::OpsRig failing;
        failing.doc.startDirectory = folder.Path();
        failing.board.InjectFault(VirtualBoard::Fault::NotConnected, cycles - 3);
        EXPECT_FALSE(c.run(failing));
        EXPECT_NE(failing.log.text.find(std::string(c.line) + "\r\n"), std::string::npos) << failing.log.text;
        EXPECT_EQ(failing.log.text.find("\tDone\r\n"), std::string::npos) << failing.log.text;
    }
}

// Each call's result is its own: a call refused before its heading does not answer with the
// reasons of the call before it.
TEST_F(MemoryVerify, TheLastResultIsTheResultOfTheLastCall) {
    EXPECT_FALSE(rig.ops.Poke(0x13, 1));
    EXPECT_EQ(rig.ops.Outcome().OperationResult(), "Error : Invalid Address; Couldn't Poke to Register 13");
    EXPECT_FALSE(rig.ops.LoadCoefficientRam(7, "f.coe", true, 1.0, false, 0, false, false));
    EXPECT_EQ(rig.ops.Outcome().OperationResult(),
              "Error : Invalid Coefficient RAM 7, use 0 (I), 1 (Q) or 2 (I + Q)");
    EXPECT_FALSE(rig.ops.DumpCoefficientRam(5, "d.ram"));
    EXPECT_EQ(rig.ops.Outcome().OperationResult(), "Error : Invalid Coefficient RAM 5, use 0 (I) or 1 (Q)");
    std::uint32_t value = 0;
    EXPECT_TRUE(rig.ops.Peek(0x0a, value));
    EXPECT_EQ(rig.ops.Outcome().OperationResult(), "Returned 00000000");
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
