#include "OpsTestRig.h"

#include <algorithm>
#include <chrono>

namespace tarsion::test {
namespace {

using std::chrono::milliseconds;

TEST(Operations, PokeLogsRecordsBeforeActingAndWritesTheRegister) {
    OpsRig rig;
    TempFile file("poke");
    ASSERT_TRUE(rig.doc.StartRecording(file.Path().string()));

    EXPECT_TRUE(rig.ops.Poke(0x0A, 0x1234));
    EXPECT_EQ(rig.log.text, "Poke 0a 00001234 \r\n\tDone\r\n");
    EXPECT_EQ(file.Content(), std::string(kRecordingHeader) + "\nTarsion.Poke ( 0x0a,0x00001234 );");
    EXPECT_EQ(rig.board.ChipRegister(0x0A), 0x1234u);
    EXPECT_EQ(rig.doc.Shadow().FetchChipReg(0x0A), 0x1234u);

    // A failing poke is recorded all the same.
    rig.log.text.clear();
    rig.board.InjectFault(VirtualBoard::Fault::NotConnected);
    EXPECT_FALSE(rig.ops.Poke(0x0B, 0xFFFFFFFF));
    EXPECT_EQ(rig.log.text, "Poke 0b ffffffff \r\n"
                            "\tError: Board is either in CPLD_PROG mode or is not Connected\r\n"
                            "\tCouldn't Poke to Register 0b\r\n");
    EXPECT_EQ(file.Content(), std::string(kRecordingHeader) +
                                  "\nTarsion.Poke ( 0x0a,0x00001234 );\nTarsion.Poke ( 0x0b,0xffffffff );");
}

TEST(Operations, PeekReturnsTheBoardValueAndReportsABadAddressAfterTheLinkMessage) {
    OpsRig rig;
    TempFile file("peek");
    ASSERT_TRUE(rig.doc.StartRecording(file.Path().string()));
    rig.board.SetChipRegister(0x0B, 0xFEDCBA98);

    std::uint32_t value = 0;
    EXPECT_TRUE(rig.ops.Peek(0x0B, value));
    EXPECT_EQ(value, 0xFEDCBA98u);

    value = 7;
    EXPECT_FALSE(rig.ops.Peek(0x20, value));
    EXPECT_EQ(value, 0u);
    EXPECT_EQ(rig.log.text, "Peek 0b\r\n\tReturned fedcba98\r\n"
                            "Peek 20\r\n\tError : Invalid Address\r\n\tCouldn't Peek Rgister 20\r\n");
    EXPECT_EQ(file.Content(),
              std::string(kRecordingHeader) + "\nData=Tarsion.Peek(0x0b);\nData=Tarsion.Peek(0x20);");
}

TEST(Operations, ReadModifyWriteComputesFromTheRegisterReadBack) {
    OpsRig rig;
    rig.board.SetChipRegister(0x09, 0x80);

    EXPECT_TRUE(rig.ops.SetBits(0x09, 0x01));
    EXPECT_EQ(rig.board.ChipRegister(0x09), 0x81u);
    EXPECT_TRUE(rig.ops.ResetBits(0x09, 0x80));
    EXPECT_EQ(rig.board.ChipRegister(0x09), 0x01u);
    EXPECT_TRUE(rig.ops.ModifyBits(0x09, 0xFF, 0x0F));
    EXPECT_EQ(rig.board.ChipRegister(0x09), 0x0Fu);
    EXPECT_EQ(rig.log.text, "SetBits 09 00000001 \r\n\tDone\r\n"
                            "ResetBits 09 00000080 \r\n\tDone\r\n"
                            "ModifyBits 09 000000ff 0000000f \r\n\tDone\r\n");

    // Data bits outside the mask are ignored; register bits outside it are kept.
    rig.board.SetChipRegister(0x0A, 0x12345678);
    EXPECT_TRUE(rig.ops.ModifyBits(0x0A, 0xFFFF0000, 0x00FF00FF));
    EXPECT_EQ(rig.board.ChipRegister(0x0A), (0xFFFF0000u & 0x00FF00FFu) | (0x12345678u & ~0x00FF00FFu));
}

TEST(Operations, ReadModifyWriteWritesNothingWhenTheReadFails) {
    OpsRig rig;
    rig.board.SetChipRegister(0x09, 0x80);
    rig.board.InjectFault(VirtualBoard::Fault::NotConnected);
    EXPECT_FALSE(rig.ops.SetBits(0x09, 0x01));
    EXPECT_EQ(rig.log.text, "SetBits 09 00000001 \r\n"
                            "\tError: Board is either in CPLD_PROG mode or is not Connected\r\n"
                            "\tCouldn't Set Bits Specified with the Mask 00000001\r\n");
    rig.board.ClearFault();
    EXPECT_EQ(rig.board.ChipRegister(0x09), 0x80u);
}

TEST(Operations, BridgeWriteAndReadReportTheByte) {
    OpsRig rig;
    EXPECT_TRUE(rig.ops.Write(0x0A, 0x5A));
    EXPECT_EQ(rig.board.BridgeRegister(0x0A), 0x5A);
    std::uint8_t value = 0;
    EXPECT_TRUE(rig.ops.Read(0x0A, value));
    EXPECT_EQ(value, 0x5A);
    EXPECT_FALSE(rig.ops.Write(0x40, 1)); // would reach the PLD space
    EXPECT_EQ(rig.log.text,
              "Write 0a 5a \r\n\tDone\r\nRead 0a \r\n\tReturned 5a\r\n"
              "Write 40 01 \r\n\tError : Invalid Address \r\n\tCouldn't Write to Chip Register # 40\r\n");
}

TEST(PldGuard, TristatedDataClkRefusesWithoutAnyTransfer) {
    OpsRig rig;
    TempFile file("send");
    ASSERT_TRUE(rig.doc.StartRecording(file.Path().string()));
    rig.SetBridge(9, 0x07);
    rig.board.ResetCounters();

    EXPECT_FALSE(rig.ops.Send());
    EXPECT_EQ(rig.log.text, "Send\r\n"
                            "\tError : DataClk and Din[15:0] are Tristated\r\n"
                            "\tYou must first Enable DataClk and Din[15:0]\r\n"
                            "\tFailed\r\n");
    EXPECT_EQ(file.Content(), std::string(kRecordingHeader) + "\nTarsion.Send();");
    EXPECT_EQ(rig.board.PortAccesses(), 0u);
    EXPECT_FALSE(rig.board.Sending());
}

TEST(PldGuard, DerivedDataClkSwitchesToRefClkForTheAccessAndIsRestored) {
    OpsRig rig;
    rig.SetBridge(9, 0x42); // DataClk source 2 (SysClk/2) with another bit set
    rig.board.SetPldRegister(12, 1);

    std::uint8_t value = 0;
    EXPECT_TRUE(rig.ops.PldRead(12, value));
    EXPECT_EQ(value, 1);
    EXPECT_EQ(rig.log.text, "PldRead 0c \r\n\tReturned 01\r\n");
    EXPECT_EQ(rig.spy->BridgeWrites(9), (std::vector<std::uint8_t>{0x00, 0x42}));
    EXPECT_EQ(rig.board.BridgeRegister(9), 0x42);
    EXPECT_EQ(rig.doc.Shadow().FetchBridgeReg(9), 0x42);
}

TEST(PldGuard, RefClkIsRewrittenButNotSwitchedAndSendStartsTheSender) {
    OpsRig rig;
    rig.SetBridge(9, 0x00);
    EXPECT_TRUE(rig.ops.Send());
    EXPECT_TRUE(rig.board.Sending());
    EXPECT_EQ(rig.board.PldRegister(12), 1);
    EXPECT_TRUE(rig.ops.Stop());
    EXPECT_FALSE(rig.board.Sending());
    EXPECT_EQ(rig.spy->BridgeWrites(9), (std::vector<std::uint8_t>{0x00, 0x00}));
    EXPECT_EQ(rig.log.text, "Send\r\n\tDone\r\nStop\r\n\tDone\r\n");
}

// A transfer that fails between the switch and the restore still gets the user's source back, and
// the log says so; a board that no longer answers gets the attempt.
TEST(PldGuard, EveryAccessThatStopsEarlyRestoresTheDataClkSource) {
    OpsRig rig;
    rig.SetBridge(9, 0x01);
    EXPECT_FALSE(rig.ops.PldWrite(0x40, 0xAB));
    EXPECT_EQ(rig.log.text, "PldWrite 40 ab \r\n"
                            "\tError : Invalid Address \r\n"
                            "\tCouldn't Write to Pld Register # 40\r\n"
                            "\tDataClk source restored to 2xSymbolClk\r\n");
    EXPECT_EQ(rig.spy->BridgeWrites(9), (std::vector<std::uint8_t>{0x00, 0x01}));
    EXPECT_EQ(rig.board.BridgeRegister(9), 0x01);
    EXPECT_EQ(rig.ops.Outcome().OperationResult(), "Error : Invalid Address; Couldn't Write to Pld Register "
                                                   "# 40; DataClk source restored to 2xSymbolClk");

    rig.SetBridge(9, 0x02);
    rig.log.text.clear();
    std::uint8_t value = 0;
    EXPECT_FALSE(rig.ops.PldRead(0x41, value));
    EXPECT_EQ(rig.board.BridgeRegister(9), 0x02);
    EXPECT_TRUE(rig.log.text.ends_with("\tDataClk source restored to SysClk/2\r\n")) << rig.log.text;

    // RefClk was not switched: nothing to restore after a failure.
    rig.SetBridge(9, 0x00);
    rig.spy->strobes.clear();
    EXPECT_FALSE(rig.ops.PldWrite(0x40, 0xAB));
    EXPECT_TRUE(rig.spy->BridgeWrites(9).empty());

    // Cycles 1 and 2 switch DataClk to RefClk; the PLD write then finds no Busy.
    rig.SetBridge(9, 0x01);
    rig.board.ResetCounters();
    rig.board.InjectFault(VirtualBoard::Fault::BusyNeverAsserted, 3);
    rig.log.text.clear();
    EXPECT_FALSE(rig.ops.PldWrite(0x05, 0xAB));
    EXPECT_EQ(rig.log.text, "PldWrite 05 ab \r\n"
                            "\tTimed Out Waiting for ParallelPort Busy bit to assert\r\n"
                            "\tCouldn't Write to Pld Register # 05\r\n"
                            "\tTimed Out Waiting for ParallelPort Busy bit to assert\r\n"
                            "\tCouldn't restore the DataClk source to 2xSymbolClk\r\n");
}

TEST(Resets, BoardResetReadsBackAndStillSucceedsWhenTheReadBackFails) {
    OpsRig rig;
    rig.board.SetChipRegister(0x1F, 0x11223344);
    EXPECT_TRUE(rig.ops.Reset());
    EXPECT_EQ(rig.board.BoardResets(), 1);
    EXPECT_EQ(rig.log.text, "Reset\r\n\tDone\r\n");
    EXPECT_EQ(rig.doc.Shadow().FetchChipReg(0x1F), rig.board.ChipRegister(0x1F));

    rig.log.text.clear();
    rig.board.ResetCounters();
    rig.board.InjectFault(VirtualBoard::Fault::BusyNeverAsserted, rig.board.Cycles() + 3);
    EXPECT_TRUE(rig.ops.Reset());
    EXPECT_EQ(rig.log.text, "Reset\r\n"
                            "\tTimed Out Waiting for ParallelPort Busy bit to assert\r\n"
                            "\tCouldnt do ReadOut after Reset\r\n"
                            "\tDone\r\n");
}

TEST(Resets, ReadBackSkipsThePldWhenDataClkIsTristated) {
    OpsRig rig;
    rig.board.SetBridgeRegister(9, 0x03);
    rig.board.SetPldRegister(12, 1);
    rig.doc.Shadow().StorePldReg(12, 0);
    EXPECT_TRUE(rig.ops.ReadOutAfterReset());
    EXPECT_EQ(rig.doc.Shadow().FetchBridgeReg(9), 0x03);
    EXPECT_EQ(rig.doc.Shadow().FetchPldReg(12), 0);

    rig.board.SetBridgeRegister(9, 0x00);
    EXPECT_TRUE(rig.ops.ReadOutAfterReset());
    EXPECT_EQ(rig.doc.Shadow().FetchPldReg(12), 1);
}

TEST(Resets, SoftResetWaitsMoreThanAFifthOfASecondBetweenItsTwoCommands) {
    OpsRig rig;
    rig.board.SetChipRegister(0x0A, 0x55);
    EXPECT_TRUE(rig.ops.SoftReset());
    EXPECT_EQ(rig.log.text, "SoftReset\r\n\tDone\r\n");
    EXPECT_EQ(rig.spy->BridgeWrites(4), (std::vector<std::uint8_t>{0x10, 0x13}));
    EXPECT_EQ(rig.board.SoftResets(), 1);
    // Only the wait reads the clock; the fake clock advances 1 ms per reading.
    EXPECT_GT(rig.clock.Elapsed(), milliseconds(200));
    EXPECT_LE(rig.clock.Elapsed(), milliseconds(202));
    // The read-back refreshed the shadow.
    EXPECT_EQ(rig.doc.Shadow().FetchChipReg(0x0A), rig.board.ChipRegister(0x0A));
}

TEST(Resets, DemoModeUsesTheShadowAndTouchesNoPort) {
    OpsRig rig;
    rig.link.EnterDemoMode();
    rig.board.ResetCounters();
    EXPECT_TRUE(rig.ops.Poke(0x0A, 0x1234));
    EXPECT_TRUE(rig.ops.SetBits(0x0A, 0xF0000000));
    EXPECT_TRUE(rig.ops.Reset());
    EXPECT_EQ(rig.doc.Shadow().FetchChipReg(0x0A), 0xF0001234u);
    EXPECT_EQ(rig.board.PortAccesses(), 0u);
}

TEST(BusyFlag, SetDuringEachOperationAndIdleOnceTheOutermostEnds) {
    OpsRig rig;
    std::vector<bool> busyWhileLogging;
    CallbackView watcher;
    watcher.onUpdate = [&] { busyWhileLogging.push_back(rig.ops.IsBusy()); };
    rig.doc.AddObserver(&watcher);
    int idle = 0;
    rig.ops.SetIdleHandler([&] {
        EXPECT_FALSE(rig.ops.IsBusy());
        ++idle;
    });

    EXPECT_FALSE(rig.ops.IsBusy());
    rig.ops.Poke(0x0A, 1);
    EXPECT_EQ(idle, 1);
    rig.ops.Console("poke 0a 2"); // the console calls the text form: still one operation
    EXPECT_EQ(idle, 2);
    rig.ops.Reset(); // with its nested read-back
    EXPECT_EQ(idle, 3);
    {
        CBoardOperations::Scope loader(rig.ops);
        rig.ops.Poke(0x0A, 3);
        EXPECT_TRUE(rig.ops.IsBusy());
        EXPECT_EQ(idle, 3);
    }
    EXPECT_EQ(idle, 4);
    EXPECT_FALSE(rig.ops.IsBusy());
    ASSERT_FALSE(busyWhileLogging.empty());
    EXPECT_EQ(std::count(busyWhileLogging.begin(), busyWhileLogging.end(), false), 0);
    rig.doc.RemoveObserver(&watcher);
}

} // namespace
} // namespace tarsion::test
