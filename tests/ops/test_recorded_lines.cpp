// What each operation leaves behind: its log lines, its recorded script line and the board's state,
// on success and when the board fails at the step that has its own failure line.
#include "loaders/LoaderRig.h"

#include <cstdio>
#include <functional>

namespace tarsion::test {
namespace {

using Fault = VirtualBoard::Fault;

const std::string kNotConnected = "\tError: Board is either in CPLD_PROG mode or is not Connected\r\n";
const std::string kNoBusy = "\tTimed Out Waiting for ParallelPort Busy bit to assert\r\n";

constexpr std::uint8_t kBoardControl = 0x02;
constexpr std::uint8_t kConstellationAddress = 0x12;
constexpr std::uint8_t kConstellationValue = 0xAB;
constexpr std::uint8_t kCoefficientAddress = 5;
const VirtualBoard::CoefficientWord kCoefficientWord = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09};

struct OperationCase {
    const char* name;
    std::function<bool(LoaderRig&)> run;
    bool succeeds;
    std::string log;      // "{dir}" stands for the start directory
    std::string recorded; // the one line the operation records
    std::function<void(const LoaderRig&)> check;
    Fault fault = Fault::None;
    std::uint64_t fromCycle = 0; // counted from the operation's first cycle
};

std::string WithDirectory(std::string text, const std::string& dir) {
    for (std::size_t at = text.find("{dir}"); at != std::string::npos; at = text.find("{dir}", at))
        text.replace(at, 5, dir);
    return text;
}

std::vector<std::string> FileLines(const std::filesystem::path& path) {
    std::vector<std::string> lines;
    std::istringstream text(ReadWholeFile(path));
    for (std::string line; std::getline(text, line);)
        lines.push_back(line);
    return lines;
}

// The pattern memory's start address, from PLD registers 9 to 11.
std::uint32_t StartRegisters(const VirtualBoard& board) {
    return board.PldRegister(9) | board.PldRegister(10) << 8 | board.PldRegister(11) << 16;
}

std::string PatternFileWithoutPairs(const LoaderRig& rig) {
    return rig.WriteFile("empty.pat", "1\n2\n3\n4\n5\n6\n7\n");
}

// Runs each case on a fresh board that starts with DataClk from SysClk/2, the pattern sender
// running and a few known values, while recording.
void RunCases(const OperationCase* begin, const OperationCase* end) {
    for (const OperationCase* c = begin; c != end; ++c) {
        SCOPED_TRACE(c->name);
        LoaderRig rig;
        TempFile recording("lines");
        rig.SetBridge(9, kBoardControl);
        rig.board.SetChipRegister(0x09, 0x80);
        rig.board.SetPldRegister(12, 1);
        rig.doc.Shadow().StorePldReg(12, 1);
        rig.board.SetCoefficientRam(1, kCoefficientAddress, kCoefficientWord);
        rig.board.SetConstellationRam(kConstellationAddress, kConstellationValue);
        std::filesystem::create_directory(rig.dir / "sub");
        ASSERT_TRUE(rig.doc.StartRecording(recording.Path().string()));
        rig.board.ResetCounters();

        rig.board.InjectFault(c->fault, c->fromCycle);
        EXPECT_EQ(c->run(rig), c->succeeds);
        rig.board.ClearFault();

        const std::string dir = rig.dir.string();
        EXPECT_EQ(rig.log.text, WithDirectory(c->log, dir));
        std::string recorded = kRecordingHeader;
        recorded.append("\n").append(WithDirectory(c->recorded, dir));
        EXPECT_EQ(recording.Content(), recorded);
        c->check(rig);
    }
}

std::string ImageLine(int address, const VirtualBoard::CoefficientWord& word) {
    char text[8];
    std::snprintf(text, sizeof text, "%.2x\t", address);
    std::string line = text;
    for (int i = 8; i >= 0; --i) {
        std::snprintf(text, sizeof text, "%.2x ", word[i]);
        line += text;
    }
    return line;
}

const OperationCase kRecordedLines[] = {
    {"SetBits", [](LoaderRig& rig) { return rig.ops.SetBits(0x09, 0x01); }, true,
     "SetBits 09 00000001 \r\n\tDone\r\n", "Tarsion.SetBits ( 0x09,0x00000001 );",
     [](const LoaderRig& rig) { EXPECT_EQ(rig.board.ChipRegister(0x09), 0x81u); }},
    {"SetBitsTyped", [](LoaderRig& rig) { return rig.ops.Console("setbits 09 1"); }, true, "\r\n\tDone\r\n",
     "Tarsion.SetBits ( 0x09,0x00000001 );",
     [](const LoaderRig& rig) { EXPECT_EQ(rig.board.ChipRegister(0x09), 0x81u); }},
    {"ResetBits", [](LoaderRig& rig) { return rig.ops.ResetBits(0x09, 0x80); }, true,
     "ResetBits 09 00000080 \r\n\tDone\r\n", "Tarsion.ResetBits ( 0x09,0x00000080 );",
     [](const LoaderRig& rig) { EXPECT_EQ(rig.board.ChipRegister(0x09), 0x00u); }},
    {"ResetBitsTyped", [](LoaderRig& rig) { return rig.ops.Console("resetbits 09 80"); }, true,
     "\r\n\tDone\r\n", "Tarsion.ResetBits ( 0x09,0x00000080 );",
     [](const LoaderRig& rig) { EXPECT_EQ(rig.board.ChipRegister(0x09), 0x00u); }},
    {"PldWrite", [](LoaderRig& rig) { return rig.ops.PldWrite(0x05, 0xAB); }, true,
     "PldWrite 05 ab \r\n\tDone\r\n", "Tarsion.PldWrite ( 0x05,0xab );",
     [](const LoaderRig& rig) {
         EXPECT_EQ(rig.board.PldRegister(0x05), 0xAB);
         EXPECT_EQ(rig.board.BridgeRegister(9), kBoardControl);
     }},
    {"PldWriteTyped", [](LoaderRig& rig) { return rig.ops.Console("pldwrite 05 ab"); }, true,
     "\r\n\tDone\r\n", "Tarsion.PldWrite ( 0x05,0xab );",
     [](const LoaderRig& rig) { EXPECT_EQ(rig.board.PldRegister(0x05), 0xAB); }},
    {"PldRead",
     [](LoaderRig& rig) {
         std::uint8_t value = 0;
         return rig.ops.PldRead(12, value) && value == 1;
     },
     true, "PldRead 0c \r\n\tReturned 01\r\n", "Data = Tarsion.PldRead ( 0x0c );",
     [](const LoaderRig& rig) { EXPECT_EQ(rig.board.BridgeRegister(9), kBoardControl); }},
    {"PldReadTyped", [](LoaderRig& rig) { return rig.ops.Console("pldread 0c"); }, true,
     "\r\n\tReturned 01\r\n", "Data = Tarsion.PldRead ( 0x0c );",
     [](const LoaderRig& rig) { EXPECT_EQ(rig.board.BridgeRegister(9), kBoardControl); }},
    {"Stop", [](LoaderRig& rig) { return rig.ops.Stop(); }, true, "Stop\r\n\tDone\r\n", "Tarsion.Stop();",
     [](const LoaderRig& rig) {
         EXPECT_FALSE(rig.board.Sending());
         EXPECT_EQ(rig.board.BridgeRegister(9), kBoardControl);
     }},
    {"SoftReset", [](LoaderRig& rig) { return rig.ops.SoftReset(); }, true, "SoftReset\r\n\tDone\r\n",
     "Tarsion.SoftReset()", [](const LoaderRig& rig) { EXPECT_EQ(rig.board.SoftResets(), 1); }},
    {"DumpCoefficientRamInTheStartDirectory",
     [](LoaderRig& rig) { return rig.ops.DumpCoefficientRam(1, (rig.dir / "q.ram").string()); }, true,
     "DumpCoefficientRam Q  q.ram\r\n\tDone\r\n", "Tarsion.DumpCoefficientRam ( 1,'q.ram ' );",
     [](const LoaderRig& rig) {
         const auto lines = FileLines(rig.dir / "q.ram");
         ASSERT_EQ(lines.size(), 258u);
         EXPECT_EQ(lines[0], "Q Coefficient Memory :");
         EXPECT_EQ(lines[2 + kCoefficientAddress], ImageLine(kCoefficientAddress, kCoefficientWord));
         EXPECT_EQ(lines[2], ImageLine(0, {}));
         EXPECT_EQ(rig.board.ChipRegister(0x00), 0u);
     }},
    {"DumpCoefficientRamBelowIt",
     [](LoaderRig& rig) { return rig.ops.DumpCoefficientRam(0, (rig.dir / "sub/i.ram").string()); }, true,
     "DumpCoefficientRam I  {dir}/sub/i.ram\r\n\tDone\r\n",
     "Tarsion.DumpCoefficientRam ( 0,'{dir}/sub/i.ram ' );",
     [](const LoaderRig& rig) {
         EXPECT_EQ(FileLines(rig.dir / "sub/i.ram").front(), "I Coefficient Memory :");
     }},
    {"DumpConstellationRam",
     [](LoaderRig& rig) { return rig.ops.DumpConstellationRam((rig.dir / "c.hex").string()); }, true,
     "DumpConstellationRam c.hex\r\n\tDone\r\n", "Tarsion.DumpConstellationRam('c.hex ' );",
     [](const LoaderRig& rig) {
         const auto lines = FileLines(rig.dir / "c.hex");
         ASSERT_EQ(lines.size(), 256u);
         EXPECT_EQ(lines[0], "0000");
         EXPECT_EQ(lines[kConstellationAddress], "12ab");
         EXPECT_EQ(rig.board.ChipRegister(0x00), 0u);
     }},
};
TEST(OperationLines, RecordedLinesOfSuccessfulOperations) {
    RunCases(std::begin(kRecordedLines), std::end(kRecordedLines));
}

// Cycle counts: a bridge or PLD register transfer takes 2 cycles, a MemoryControl write 4. The guard
// clears DataClk in cycles 1-2; a PLD access follows in 3-4, the restore in 5-6. A pattern writes its
// start address in cycles 3-8 and, without pairs, restores DataClk in 9-10.
const OperationCase kFailureLines[] = {
    {"SoftResetFirstCommand", [](LoaderRig& rig) { return rig.ops.SoftReset(); }, false,
     "SoftReset\r\n" + kNotConnected + "\tCouldn't Execute Soft Reset\r\n", "Tarsion.SoftReset()",
     [](const LoaderRig& rig) { EXPECT_EQ(rig.board.SoftResets(), 0); }, Fault::NotConnected, 1},
    {"SoftResetSecondCommand", [](LoaderRig& rig) { return rig.ops.SoftReset(); }, false,
     "SoftReset\r\n" + kNoBusy + "\tCouldn't Execute Soft Reset\r\n", "Tarsion.SoftReset()",
     [](const LoaderRig& rig) { EXPECT_EQ(rig.board.SoftResets(), 1); }, Fault::BusyNeverAsserted, 3},
    {"BoardReset", [](LoaderRig& rig) { return rig.ops.Reset(); }, false,
     "Reset\r\n" + kNotConnected + "\tCouldn't Execute Board Reset\r\n", "Tarsion.Reset()",
     [](const LoaderRig& rig) { EXPECT_EQ(rig.board.BoardResets(), 0); }, Fault::NotConnected, 1},
    {"StopCannotClearDataClk", [](LoaderRig& rig) { return rig.ops.Stop(); }, false,
     "Stop\r\n" + kNotConnected + "\tFailed \r\n", "Tarsion.Stop();",
     [](const LoaderRig& rig) {
         EXPECT_TRUE(rig.board.Sending());
         EXPECT_EQ(rig.board.BridgeRegister(9), kBoardControl);
     },
     Fault::NotConnected, 1},
    {"PldWriteCannotClearDataClk", [](LoaderRig& rig) { return rig.ops.PldWrite(0x05, 0xAB); }, false,
     "PldWrite 05 ab \r\n" + kNoBusy + "\tFailed \r\n", "Tarsion.PldWrite ( 0x05,0xab );",
     [](const LoaderRig& rig) {
         EXPECT_EQ(rig.board.PldRegister(0x05), 0);
         EXPECT_EQ(rig.board.BridgeRegister(9), kBoardControl);
     },
     Fault::BusyNeverAsserted, 1},
    {"GeneratedPatternCannotClearDataClk",
     [](LoaderRig& rig) { return rig.ops.LoadExternalMem(0, 0, 0.5, 0.5, 4, 0); }, false,
     "LoadExternalMemory   \r\n" + kNotConnected + "\tFailed \r\n",
     "Tarsion.LoadExternalMem(0,0,0.500000,0.500000,4.000000,0.000000);",
     [](const LoaderRig& rig) { EXPECT_EQ(StartRegisters(rig.board), 0u); }, Fault::NotConnected, 1},
    {"StopCannotRestoreDataClk", [](LoaderRig& rig) { return rig.ops.Stop(); }, false,
     "Stop\r\n" + kNoBusy + "\tFailed \r\n", "Tarsion.Stop();",
     [](const LoaderRig& rig) {
         EXPECT_FALSE(rig.board.Sending());
         EXPECT_EQ(rig.board.BridgeRegister(9), 0);
     },
     Fault::BusyNeverAsserted, 5},
    {"PldWriteCannotRestoreDataClk", [](LoaderRig& rig) { return rig.ops.PldWrite(0x05, 0xAB); }, false,
     "PldWrite 05 ab \r\n" + kNoBusy + "\tFailed to Stop Sending Memory Pattern\r\n",
     "Tarsion.PldWrite ( 0x05,0xab );",
     [](const LoaderRig& rig) {
         EXPECT_EQ(rig.board.PldRegister(0x05), 0xAB);
         EXPECT_EQ(rig.board.BridgeRegister(9), 0);
     },
     Fault::BusyNeverAsserted, 5},
    {"PldReadCannotRestoreDataClk",
     [](LoaderRig& rig) {
         std::uint8_t value = 0xEE;
         return rig.ops.PldRead(12, value) || value != 0;
     },
     false, "PldRead 0c \r\n" + kNotConnected + "\tFailed to Stop Sending Memory Pattern\r\n",
     "Data = Tarsion.PldRead ( 0x0c );",
     [](const LoaderRig& rig) { EXPECT_EQ(rig.board.BridgeRegister(9), 0); }, Fault::NotConnected, 5},
    {"PatternFileCannotRestoreDataClk",
     [](LoaderRig& rig) { return rig.ops.LoadExternalMemory(PatternFileWithoutPairs(rig)); }, false,
     "LoadExternalMemory   {dir}/empty.pat\r\n\tCounting vectors....\r\n\t0 Vectors Found\r\n\tLoading "
     "RAM....\r\n" +
         kNoBusy + "\tFailed to Stop Sending Memory Pattern\r\n",
     "Tarsion.LoadExternalMemory ('{dir}/empty.pat ' );",
     [](const LoaderRig& rig) {
         EXPECT_EQ(StartRegisters(rig.board), 0x40000u);
         EXPECT_EQ(rig.board.BridgeRegister(9), 0);
         EXPECT_EQ(rig.doc.pattern.fileName, "Unknown");
     },
     Fault::BusyNeverAsserted, 9},
    {"GeneratedPatternCannotRestoreDataClk",
     [](LoaderRig& rig) { return rig.ops.LoadExternalMem(1, 2, 0.5, 0.5, 4, 0); }, false,
     "LoadExternalMemory   \r\n\tLoading RAM....\r\n" + kNoBusy +
         "\tFailed to Stop Sending Memory Pattern\r\n",
     "Tarsion.LoadExternalMem(1,2,0.500000,0.500000,4.000000,0.000000);",
     [](const LoaderRig& rig) {
         EXPECT_EQ(StartRegisters(rig.board), 0x40000u);
         EXPECT_EQ(rig.doc.pattern.fileName, "Unknown");
     },
     Fault::BusyNeverAsserted, 9},
    {"PatternFileStartAddress",
     [](LoaderRig& rig) { return rig.ops.LoadExternalMemory(PatternFileWithoutPairs(rig)); }, false,
     "LoadExternalMemory   {dir}/empty.pat\r\n\tCounting vectors....\r\n\t0 Vectors Found\r\n\tLoading "
     "RAM....\r\n" +
         kNoBusy + "\tCouldn't Load the Start Address\r\n" + kNoBusy +
         "\tCouldn't restore the DataClk source to SysClk/2\r\n",
     "Tarsion.LoadExternalMemory ('{dir}/empty.pat ' );",
     [](const LoaderRig& rig) {
         EXPECT_EQ(StartRegisters(rig.board), 0u);
         EXPECT_EQ(rig.board.BridgeRegister(9), 0); // the guard tried; the board no longer answers
     },
     Fault::BusyNeverAsserted, 3},
    {"GeneratedPatternLastStartByte",
     [](LoaderRig& rig) { return rig.ops.LoadExternalMem(0, 0, 0.5, 0.5, 4, 0); }, false,
     "LoadExternalMemory   \r\n\tLoading RAM....\r\n" + kNotConnected +
         "\tCouldn't Load the Start Address\r\n" + kNotConnected +
         "\tCouldn't restore the DataClk source to SysClk/2\r\n",
     "Tarsion.LoadExternalMem(0,0,0.500000,0.500000,4.000000,0.000000);",
     [](const LoaderRig& rig) { EXPECT_EQ(StartRegisters(rig.board), 0u); }, Fault::NotConnected, 7},
    {"ConstellationLoadMemoryControl",
     [](LoaderRig& rig) { return rig.ops.LoadConstellationRam(rig.WriteFile("c.hex", "0001\n")); }, false,
     "LoadConstellationRam {dir}/c.hex\r\n" + kNotConnected + "\tCouldn't Setup MemoryControl Register\r\n",
     "Tarsion.LoadConstellationRam('{dir}/c.hex ' );",
     [](const LoaderRig& rig) {
         EXPECT_EQ(rig.board.ConstellationRam(kConstellationAddress), kConstellationValue);
         EXPECT_EQ(rig.doc.constellationFile, "Unknown");
     },
     Fault::NotConnected, 1},
    {"ConstellationDumpMemoryControl",
     [](LoaderRig& rig) { return rig.ops.DumpConstellationRam((rig.dir / "c.hex").string()); }, false,
     "DumpConstellationRam c.hex\r\n" + kNoBusy + "\tCouldn't Setup MemoryControl Register\r\n",
     "Tarsion.DumpConstellationRam('c.hex ' );",
     [](const LoaderRig& rig) { EXPECT_EQ(rig.board.ChipRegister(0x00), 0u); }, Fault::BusyNeverAsserted, 4},
};
TEST(OperationLines, FailureLinesOfTheStepThatFails) {
    RunCases(std::begin(kFailureLines), std::end(kFailureLines));
}

} // namespace
} // namespace tarsion::test
