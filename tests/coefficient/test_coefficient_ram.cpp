#include "CoefficientTestFiles.h"
#include "ops/OpsTestRig.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <sstream>

namespace tarsion {
namespace {

using test::CoefficientText;
using test::FieldOf;
using test::ReadText;
using test::WordBytes;
using Word = std::array<std::uint8_t, 9>;

constexpr const char* kFormatMessage = "Incorrect File Format";

std::vector<double> Ramp(int count, double step, double sign = 1.0) {
    std::vector<double> taps;
    for (int i = 0; i < count; ++i)
        taps.push_back(sign * step * (i + 1) * (i % 3 == 0 ? -1 : 1));
    return taps;
}

// Rate 4, normal mode: address 0x20 holds the last four taps, 0xC1 the first four.
Word WordAt20(const std::vector<double>& c, double g) {
    return WordBytes(FieldOf(g * c[95]), FieldOf(g * c[94]), FieldOf(g * c[93]), FieldOf(g * c[92]));
}
Word WordAtC1(const std::vector<double>& c, double g) {
    return WordBytes(FieldOf(g * c[3]), FieldOf(g * c[2]), FieldOf(g * c[1]), FieldOf(g * c[0]));
}

std::string ImageLine(int address, const Word& word) {
    char text[8];
    std::snprintf(text, sizeof text, "%02x\t", address);
    std::string line = text;
    for (int i = 8; i >= 0; --i) {
        std::snprintf(text, sizeof text, "%02x ", word[i]);
        line += text;
    }
    return line;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

double Sum(const std::vector<double>& taps, int count) {
    double sum = 0;
    for (int i = 0; i < count; ++i)
        sum += taps[i];
    return sum;
}

// The operation layer over a virtual board; the folder is both start and current directory.
class CoefficientRamTest : public ::testing::Test {
protected:
    CoefficientRamTest() : previous_(std::filesystem::current_path()) {
        rig.doc.startDirectory = folder.Path();
        std::filesystem::current_path(folder.Path());
        memoryControlView.onUpdate = [this] {
            const std::uint32_t value = rig.doc.Shadow().FetchChipReg(0);
            if (memoryControl.empty() || memoryControl.back() != value)
                memoryControl.push_back(value);
        };
        rig.doc.AddObserver(&memoryControlView);
    }
    ~CoefficientRamTest() override {
        rig.doc.RemoveObserver(&memoryControlView);
        std::filesystem::current_path(previous_);
    }

    bool Load(int which, const std::string& name, bool bestFit = false, double scale = 1.5,
              bool offset = false, int interpolation = 0) {
        return rig.ops.LoadCoefficientRam(static_cast<std::int16_t>(which), name, bestFit, scale, offset,
                                          static_cast<std::int16_t>(interpolation), false, false);
    }
    Word Ram(int which, int address) const {
        return rig.board.CoefficientRam(which, static_cast<std::uint8_t>(address));
    }
    void ExpectUnchangedSettings() const {
        EXPECT_EQ(rig.doc.coefficientI.fileName, "Unknown");
        EXPECT_EQ(rig.doc.coefficientQ.fileName, "Unknown");
        EXPECT_EQ(rig.doc.coefficientI.scale, 1.0);
        EXPECT_EQ(rig.doc.coefficientI.dcGain, 0.0);
    }

    test::TempFolder folder;
    test::OpsRig rig;
    test::CallbackView memoryControlView;
    std::vector<std::uint32_t> memoryControl{0};

private:
    std::filesystem::path previous_;
};

TEST_F(CoefficientRamTest, LoadFillsTheRamAndItsImageAndADumpReadsTheSame) {
    const std::vector<double> c = Ramp(96, 0.0004);
    test::WriteText(folder / "lp.coe", CoefficientText(c));
    ASSERT_TRUE(Load(0, "lp.coe"));

    EXPECT_EQ(Ram(0, 0x20), WordAt20(c, 1.5));
    EXPECT_EQ(Ram(0, 0xC1), WordAtC1(c, 1.5));
    EXPECT_EQ(Ram(0, 0x00), Word{});
    EXPECT_EQ(Ram(1, 0x20), Word{});
    EXPECT_EQ(memoryControl, (std::vector<std::uint32_t>{0, 0x44, 0x00}));
    EXPECT_EQ(rig.board.ChipRegister(0), 0x00u);
    EXPECT_EQ(rig.log.text, "LoadCoefficientRam\r\n\tDone\r\n");
    EXPECT_EQ(rig.prompt.lastProgress, 256u);
    EXPECT_TRUE(std::filesystem::exists(folder / "temp.ram"));

    const std::vector<std::string> image = Lines(ReadText(folder / "lp_I.Ram"));
    ASSERT_EQ(image.size(), 258u);
    EXPECT_EQ(image[0], "I Coefficient Memory :");
    EXPECT_EQ(image[1], "Address\tMSB\t\t\tLSB");
    EXPECT_EQ(image[2 + 0x20], ImageLine(0x20, WordAt20(c, 1.5)));
    EXPECT_EQ(image[2 + 0xC1], ImageLine(0xC1, WordAtC1(c, 1.5)));

    rig.log.text.clear();
    ASSERT_TRUE(rig.ops.DumpCoefficientRam(0, folder / "dump.ram"));
    EXPECT_EQ(rig.log.text, "DumpCoefficientRam I  dump.ram\r\n\tDone\r\n");
    EXPECT_EQ(ReadText(folder / "dump.ram"), ReadText(folder / "lp_I.Ram"));
    EXPECT_EQ(rig.board.ChipRegister(0), 0x00u);
}

TEST_F(CoefficientRamTest, TwoColumnFileGivesEachRamItsOwnColumnAndGain) {
    const std::vector<double> i = Ramp(96, 0.0001);
    const std::vector<double> q = Ramp(96, 0.004, -1.0);
    test::WriteText(folder / "iq.coe", CoefficientText(i, q));
    ASSERT_TRUE(Load(2, "iq.coe", true));

    EXPECT_EQ(memoryControl, (std::vector<std::uint32_t>{0, 0x44, 0x00, 0x48, 0x00}));
    // Column 1 fits at the rate; column 2 needs a smaller gain.
    const double gainQ = rig.doc.coefficientQ.scale;
    EXPECT_EQ(rig.doc.coefficientI.scale, 4.0);
    EXPECT_LT(gainQ, 4.0);
    EXPECT_DOUBLE_EQ(rig.doc.coefficientI.dcGain, Sum(i, 96) * 4.0 / 4);
    EXPECT_DOUBLE_EQ(rig.doc.coefficientQ.dcGain, Sum(q, 96) * gainQ / 4);
    EXPECT_EQ(Ram(0, 0x20), WordAt20(i, 4.0));
    EXPECT_EQ(Ram(1, 0x20), WordAt20(q, gainQ));
    EXPECT_EQ(Lines(ReadText(folder / "iq_I.Ram"))[2 + 0x20], ImageLine(0x20, WordAt20(i, 4.0)));
    EXPECT_EQ(Lines(ReadText(folder / "iq_Q.Ram"))[2 + 0x20], ImageLine(0x20, WordAt20(q, gainQ)));

    // A single channel takes column 1 for I and column 2 for Q.
    memoryControl = {0};
    ASSERT_TRUE(Load(1, "iq.coe", false, 0.05));
    EXPECT_EQ(memoryControl, (std::vector<std::uint32_t>{0, 0x48, 0x00}));
    EXPECT_EQ(Ram(1, 0xC1), WordAtC1(q, 0.05));
    ASSERT_TRUE(Load(0, "iq.coe", false, 0.05));
    EXPECT_EQ(Ram(0, 0xC1), WordAtC1(i, 0.05));
}

// Both tables are checked before either RAM is written: a Q table that does not fit leaves both as
// they were.
TEST_F(CoefficientRamTest, FailedQTableLeavesBothRamsAndTheSettingsAsTheyWere) {
    const std::vector<double> i = Ramp(96, 0.0001);
    const std::vector<double> q = Ramp(96, 0.004);
    test::WriteText(folder / "iq.coe", CoefficientText(i, q));
    EXPECT_FALSE(Load(2, "iq.coe", false, 1.0));
    EXPECT_EQ(Lines(rig.log.text).back(), "\tFailed\r");
    EXPECT_EQ(Ram(0, 0x20), Word{});
    EXPECT_EQ(Ram(1, 0x20), Word{});
    EXPECT_EQ(memoryControl, (std::vector<std::uint32_t>{0}));
    ExpectUnchangedSettings();
}

TEST_F(CoefficientRamTest, OneColumnFileLoadsBothRamsAtOnce) {
    const std::vector<double> c = Ramp(96, 0.0004);
    test::WriteText(folder / "lp.coe", CoefficientText(c));
    ASSERT_TRUE(Load(2, "lp.coe"));

    EXPECT_EQ(memoryControl, (std::vector<std::uint32_t>{0, 0x4C, 0x00}));
    for (int address = 0; address < 256; ++address)
        ASSERT_EQ(Ram(0, address), Ram(1, address)) << address;
    EXPECT_EQ(Ram(1, 0xC1), WordAtC1(c, 1.5));
    std::vector<std::string> imageI = Lines(ReadText(folder / "lp_I.Ram"));
    std::vector<std::string> imageQ = Lines(ReadText(folder / "lp_Q.Ram"));
    EXPECT_EQ(imageQ[0], "Q Coefficient Memory :");
    imageI.erase(imageI.begin());
    imageQ.erase(imageQ.begin());
    EXPECT_EQ(imageI, imageQ);
    EXPECT_EQ(rig.doc.coefficientI.fileName, "lp.coe");
    EXPECT_EQ(rig.doc.coefficientQ.fileName, "lp.coe");
}

TEST_F(CoefficientRamTest, RecordsTheCallAndStoresSettingsAndTheDcOffset) {
    const std::vector<double> c = Ramp(96, 0.0001);
    test::WriteText(folder / "lp.coe", CoefficientText(c));
    ASSERT_TRUE(rig.doc.StartRecording(folder / "rec.js"));
    // Data bit width 2: the offset adds 6 × 2^2.
    rig.doc.Shadow().StoreChipReg(0x01, 2u << 6);

    ASSERT_TRUE(Load(0, "lp.coe ", true, 1.0, true));
    rig.doc.StopRecording();
    const std::string recording = ReadText(folder / "rec.js");
    const std::string line =
        "\nTarsion.LoadCoefficientRam( 0,'" + folder.Path() + "/lp.coe ',1,1.000000,1,0,0,0 ); ";
    EXPECT_EQ(recording.substr(recording.size() - line.size()), line);

    const CoefficientSettings& s = rig.doc.coefficientI;
    EXPECT_EQ(s.fileName, "lp.coe");
    EXPECT_EQ(s.scale, 4.0);
    EXPECT_TRUE(s.bestFit);
    EXPECT_TRUE(s.loadOffset);
    EXPECT_EQ(s.interpolation, 0);
    const double dcGain = Sum(c, 96) * 4.0 / 4;
    EXPECT_DOUBLE_EQ(s.dcGain, dcGain);
    EXPECT_EQ(rig.board.ChipRegister(0x11), static_cast<std::uint32_t>(std::trunc(dcGain * 131072) + 24));
    EXPECT_EQ(rig.doc.coefficientQ.fileName, "Unknown");
}

TEST_F(CoefficientRamTest, RefusedDcOffsetKeepsTheNewSettings) {
    // A negative DC gain wraps to a value register 0x11 refuses.
    std::vector<double> c(96, -0.002);
    test::WriteText(folder / "neg.coe", CoefficientText(c));
    EXPECT_FALSE(Load(0, "neg.coe", false, 1.0, true));
    EXPECT_EQ(rig.prompt.messages, (std::vector<std::string>{"Failed to Load PostShapingFilterOffset "}));
    EXPECT_NE(rig.log.text.find("\tError : Invalid Data for this Register \r\n"), std::string::npos);
    EXPECT_EQ(rig.log.text.find("Done"), std::string::npos);
    EXPECT_EQ(rig.board.ChipRegister(0x11), 0u);
    EXPECT_EQ(rig.doc.coefficientI.fileName, "neg.coe");
    EXPECT_DOUBLE_EQ(rig.doc.coefficientI.dcGain, Sum(c, 96) / 4);
    EXPECT_EQ(Ram(0, 0xC1), WordAtC1(c, 1.0));
}

TEST_F(CoefficientRamTest, ImageFilesGoBesideTheFileWhateverTheFolderName) {
    std::filesystem::create_directory(folder / "ver.2");
    test::WriteText(folder / "ver.2/lp.filter", CoefficientText(Ramp(96, 0.0004)));
    ASSERT_TRUE(Load(1, "ver.2/lp.filter"));
    EXPECT_TRUE(std::filesystem::exists(folder / "ver.2/lp_Q.Ram"));
    EXPECT_EQ(rig.doc.coefficientQ.fileName, "ver.2/lp.filter");
}

TEST_F(CoefficientRamTest, UnwritableImageAndListingAreReportedButTheRamIsLoaded) {
    const std::vector<double> c = Ramp(96, 0.0004);
    test::WriteText(folder / "lp.coe", CoefficientText(c));
    std::filesystem::create_directory(folder / "lp_I.Ram");
    std::filesystem::create_directory(folder / "temp.ram");
    ASSERT_TRUE(Load(0, "lp.coe"));
    EXPECT_EQ(rig.log.text, "LoadCoefficientRam\r\n\tCouldn't write temp.ram\r\n\tCouldn't write " +
                                (folder / "lp_I.Ram") + "\r\n\tDone\r\n");
    EXPECT_EQ(Ram(0, 0xC1), WordAtC1(c, 1.5));
}

TEST_F(CoefficientRamTest, WordWriteFailureLeavesAPartialRamStillSelected) {
    const std::vector<double> c = Ramp(96, 0.0004);
    test::WriteText(folder / "lp.coe", CoefficientText(c));
    // MemoryControl takes 4 cycles, each word 30: the fault hits word 10.
    rig.board.InjectFault(VirtualBoard::Fault::BusyNeverAsserted, rig.board.Cycles() + 4 + 30 * 10 + 1);
    EXPECT_FALSE(Load(0, "lp.coe"));

    const std::vector<std::string> lines = Lines(rig.log.text);
    EXPECT_EQ(lines.front(), "LoadCoefficientRam\r");
    EXPECT_EQ(lines.back(), "\tFailed to Load Coefficient RAMS\r");
    EXPECT_EQ(rig.board.ChipRegister(0), 0x44u);
    const std::vector<std::string> image = Lines(ReadText(folder / "lp_I.Ram"));
    for (int address = 0; address < 10; ++address)
        EXPECT_EQ(ImageLine(address, Ram(0, address)), image[2 + address]);
    EXPECT_EQ(Ram(0, 0xC1), Word{});
    ExpectUnchangedSettings();
}

TEST_F(CoefficientRamTest, RefusedMemoryControlStopsBeforeTheImage) {
    test::WriteText(folder / "lp.coe", CoefficientText(Ramp(96, 0.0004)));
    rig.board.InjectFault(VirtualBoard::Fault::NotConnected);
    EXPECT_FALSE(Load(2, "lp.coe"));
    EXPECT_EQ(Lines(rig.log.text).back(), "\tFailed to Poke MemoryControlRegister with 4C\r");
    EXPECT_FALSE(std::filesystem::exists(folder / "lp_I.Ram"));
    ExpectUnchangedSettings();
}

TEST_F(CoefficientRamTest, DumpFailures) {
    test::WriteText(folder / "lp.coe", CoefficientText(Ramp(96, 0.0004)));
    ASSERT_TRUE(Load(1, "lp.coe"));
    rig.log.text.clear();

    rig.board.InjectFault(VirtualBoard::Fault::BusyNeverAsserted, rig.board.Cycles() + 100);
    EXPECT_FALSE(rig.ops.DumpCoefficientRam(1, "q.ram"));
    EXPECT_EQ(Lines(rig.log.text).back(), "\tCouldn't Access Coefficient Memory\r");
    EXPECT_EQ(rig.board.ChipRegister(0), 0x28u);

    // Without a board, the selection can't be made: nothing is dumped as if it had been read.
    rig.board.InjectFault(VirtualBoard::Fault::NotConnected);
    rig.doc.Shadow().StoreChipReg(0, 0);
    EXPECT_FALSE(rig.ops.DumpCoefficientRam(0, "i.ram"));
    EXPECT_EQ(Lines(rig.log.text).back(), "\tCouldn't Access Coefficient Memory\r");

    rig.log.text.clear();
    EXPECT_FALSE(rig.ops.DumpCoefficientRam(0, folder / "missing/x.ram"));
    EXPECT_EQ(Lines(rig.log.text).back(), "\tCouldn't open " + (folder / "missing/x.ram") + "\r");

    rig.log.text.clear();
    EXPECT_FALSE(rig.ops.DumpCoefficientRam(2, "both.ram"));
    EXPECT_EQ(rig.log.text, "");
    EXPECT_FALSE(std::filesystem::exists(folder / "both.ram"));
}

TEST_F(CoefficientRamTest, BestFitThatCannotConvergeStopsBeforeTheBoard) {
    std::vector<double> c(17, 0.0);
    c[0] = 0.196;
    c[16] = 0.0118;
    test::WriteText(folder / "stall.coe", CoefficientText(c));
    const std::uint64_t cycles = rig.board.Cycles();
    EXPECT_FALSE(Load(0, "stall.coe", true, 1.0, false, 2));
    EXPECT_EQ(rig.prompt.messages,
              std::vector<std::string>{
                  "Couldn't do Best Fit, please either select a differant filter or force the scale value"});
    EXPECT_EQ(rig.log.text, "LoadCoefficientRam\r\n");
    EXPECT_EQ(rig.board.Cycles(), cycles);
    ExpectUnchangedSettings();
}

// The out-of-range message names the gain to use: that gain loads, a little more does not, at every
// rate and whichever limit binds (a field, a phase sum, a negative tap).
TEST_F(CoefficientRamTest, ForcedGainOutOfRangeNamesTheLargestThatFits) {
    const std::string prefix =
        "Coefficients are out of range\nPlease change your gain, or use Best Fit option"
        "\nThe largest gain that fits is ";
    struct Case {
        const char* name;
        std::vector<double> taps;
        int interpolation;
    };
    std::vector<double> negative = Ramp(96, 0.0004);
    for (double& tap : negative)
        tap = -tap;
    const Case cases[] = {
        {"ramp", Ramp(96, 0.0004), 0},
        {"one tap", {0.3}, 1},
        {"negative", negative, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::WriteText(folder / "f.coe", CoefficientText(c.taps));
        rig.prompt.messages.clear();
        EXPECT_FALSE(Load(0, "f.coe", false, 1000.0, false, c.interpolation));
        ASSERT_EQ(rig.prompt.messages.size(), 1u);
        ASSERT_EQ(rig.prompt.messages[0].substr(0, prefix.size()), prefix);
        const double largest = std::stod(rig.prompt.messages[0].substr(prefix.size()));
        EXPECT_LT(largest, 1000.0);
        rig.prompt.messages.clear();
        const std::uint64_t cycles = rig.board.Cycles();
        EXPECT_FALSE(Load(0, "f.coe", false, largest * 1.001, false, c.interpolation));
        EXPECT_EQ(rig.board.Cycles(), cycles);
        EXPECT_TRUE(Load(0, "f.coe", false, largest, false, c.interpolation));
    }
}

TEST_F(CoefficientRamTest, RefusedRequestsTouchNeitherBoardNorSettings) {
    const std::string header = "1\n2\n3\n4\n5\n6\n7\n";
    test::WriteText(folder / "short.coe", header);
    static const char kBinary[] = "\0\x01\xff\n\x80\x81\n\n\n\n\n\n\x02\x03\n";
    test::WriteText(folder / "binary.coe", std::string(kBinary, sizeof kBinary - 1));
    test::WriteText(folder / "huge.coe", header + std::string(300000, '#') + "\n");
    test::WriteText(folder / "gap.coe", header + "0.1\n\n0.2\n");
    test::WriteText(folder / "lp.coe", CoefficientText(Ramp(96, 0.0004)));
    ASSERT_TRUE(rig.doc.StartRecording(folder / "rec.js"));
    const std::string recordingStart = ReadText(folder / "rec.js");
    const std::uint64_t cycles = rig.board.Cycles();

    for (const char* name : {"short.coe", "binary.coe", "huge.coe", "gap.coe"}) {
        rig.log.text.clear();
        rig.prompt.messages.clear();
        EXPECT_FALSE(Load(0, name)) << name;
        EXPECT_EQ(rig.log.text, "\tIncorrect Coefficient File Format\r\n") << name;
        // The message names the file and the line after the format text.
        ASSERT_EQ(rig.prompt.messages.size(), 1u) << name;
        EXPECT_EQ(rig.prompt.messages[0].rfind(std::string(kFormatMessage) + "\n" + name + ", line ", 0), 0u)
            << rig.prompt.messages[0];
    }

    rig.log.text.clear();
    rig.prompt.messages.clear();
    EXPECT_FALSE(Load(0, "absent.coe"));
    EXPECT_FALSE(Load(0, folder.Path()));
    EXPECT_EQ(rig.log.text, "");
    EXPECT_EQ(rig.prompt.messages,
              (std::vector<std::string>{"Please Enter a Valid File Name", "Please Enter a Valid File Name"}));

    // A Force Value gain that doesn't fit.
    rig.log.text.clear();
    rig.prompt.messages.clear();
    EXPECT_FALSE(Load(0, "lp.coe", false, 100.0));
    EXPECT_EQ(Lines(rig.log.text).back(), "\tFailed\r");
    ASSERT_EQ(rig.prompt.messages.size(), 1u);
    EXPECT_EQ(rig.prompt.messages[0].find(
                  "Coefficients are out of range\nPlease change your gain, or use Best Fit option\n"),
              0u);

    // No RAM selection for 3.
    rig.log.text.clear();
    EXPECT_FALSE(Load(3, "lp.coe"));
    EXPECT_EQ(rig.log.text, "\tError : Invalid Coefficient RAM 3, use 0 (I), 1 (Q) or 2 (I + Q)\r\n");
    EXPECT_FALSE(std::filesystem::exists(folder / "lp_I.Ram"));
    EXPECT_FALSE(std::filesystem::exists(folder / "lp_Q.Ram"));

    rig.doc.StopRecording();
    const std::string recording = ReadText(folder / "rec.js");
    // Only the out-of-range gain got as far as being recorded.
    EXPECT_EQ(recording.substr(recordingStart.size()).find("Tarsion.LoadCoefficientRam( 0,"), 1u);
    EXPECT_EQ(recording.find("Tarsion.LoadCoefficientRam( 3"), std::string::npos);
    EXPECT_EQ(rig.board.Cycles(), cycles);
    ExpectUnchangedSettings();
}

} // namespace
} // namespace tarsion
