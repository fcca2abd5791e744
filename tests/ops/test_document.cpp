#include "OpsTestRig.h"
#include "support/FullFileSystem.h"

#include <csignal>
#include <sys/stat.h>

namespace tarsion::test {
namespace {

TEST(DocumentViews, EveryLogLineAndShadowChangeNotifiesEachViewOnce) {
    CTarsionDoc doc;
    CallbackView first;
    CallbackView second;
    doc.AddObserver(&first);
    doc.AddObserver(&second);
    doc.AddObserver(&first); // a view is notified once however often it subscribes

    doc.LogLine("x", 0);
    doc.Shadow().StoreChipReg(0x0A, 1);
    doc.Shadow().StoreBridgeReg(3, 1); // data registers below 8 do not refresh the pages
    doc.Shadow().StoreBridgeReg(9, 1);
    doc.Shadow().StorePldReg(12, 1);
    EXPECT_EQ(first.updates, 4);
    EXPECT_EQ(second.updates, 4);

    doc.RemoveObserver(&first);
    doc.LogLine("y", 0);
    EXPECT_EQ(first.updates, 4);
    EXPECT_EQ(second.updates, 5);
}

TEST(DocumentViews, ViewsMaySubscribeAndUnsubscribeDuringTheNotification) {
    CTarsionDoc doc;
    CallbackView leaving;
    CallbackView removed;
    CallbackView staying;
    CallbackView created;
    leaving.onUpdate = [&] {
        doc.RemoveObserver(&leaving);
        // A tab switch destroys the page that follows in the list and makes the next page.
        doc.RemoveObserver(&removed);
        doc.AddObserver(&created);
    };
    doc.AddObserver(&leaving);
    doc.AddObserver(&removed);
    doc.AddObserver(&staying);

    doc.UpdateAllViews();
    doc.UpdateAllViews();
    EXPECT_EQ(leaving.updates, 1);
    EXPECT_EQ(removed.updates, 0);
    EXPECT_EQ(staying.updates, 2);
    // Told from the change after the one that made it.
    EXPECT_EQ(created.updates, 1);
    // Unsubscribed outside a notification, a view is gone for good.
    doc.RemoveObserver(&created);
    doc.UpdateAllViews();
    EXPECT_EQ(created.updates, 1);
    EXPECT_EQ(staying.updates, 3);
}

TEST(DocumentLog, PendingTextHoldsTheFormedLineOnlyDuringTheNotification) {
    CTarsionDoc doc;
    std::vector<std::string> seen;
    CallbackView view;
    view.onUpdate = [&] { seen.push_back(doc.PendingLogText()); };
    doc.AddObserver(&view);

    doc.LogLine("Done", 1);
    doc.LogLine("Poke 0a 00001234 ", 0);
    doc.LogLine("deep", 3);
    doc.LogLine("negative", -2);
    doc.LogLine("", 0);
    doc.Shadow().StoreChipReg(0x00, 1);

    const std::vector<std::string> expected{
        "\tDone\r\n", "Poke 0a 00001234 \r\n", "\t\t\tdeep\r\n", "negative\r\n", "\r\n", ""};
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(doc.PendingLogText(), "");
}

TEST(DocumentRecording, HeaderThenOneLineFeedAndTextPerRecordFlushedWhileOpen) {
    TempFile file("recording");
    CTarsionDoc doc;
    doc.RecordLine("before"); // not recording: nothing happens
    ASSERT_TRUE(doc.StartRecording(file.Path().string()));
    EXPECT_TRUE(doc.IsRecording());
    EXPECT_EQ(file.Content(), kRecordingHeader);

    doc.RecordLine("Tarsion.Poke ( 0x0a,0x00001234 );");
    doc.RecordLine("Tarsion.LoadExternalMemory(\"100%s %d.pat\");");
    // Still open: each line is already on disk.
    EXPECT_EQ(file.Content(), std::string(kRecordingHeader) +
                                  "\nTarsion.Poke ( 0x0a,0x00001234 );"
                                  "\nTarsion.LoadExternalMemory(\"100%s %d.pat\");");

    doc.StopRecording();
    EXPECT_FALSE(doc.IsRecording());
    doc.RecordLine("after");
    EXPECT_EQ(file.Content().back(), ';');
}

TEST(DocumentRecording, RestartingTruncatesAndAFailedStartChangesNothing) {
    TempFile file("restart");
    CTarsionDoc doc;
    ASSERT_TRUE(doc.StartRecording(file.Path().string()));
    doc.RecordLine("one");
    doc.StopRecording();
    ASSERT_TRUE(doc.StartRecording(file.Path().string()));
    EXPECT_EQ(file.Content(), kRecordingHeader);

    const std::string unreachable = (file.Path().parent_path() / "no such folder" / "x.js").string();
    EXPECT_FALSE(doc.StartRecording(unreachable));
    EXPECT_TRUE(doc.IsRecording());
    doc.RecordLine("two");
    EXPECT_EQ(file.Content(), std::string(kRecordingHeader) + "\ntwo");
    doc.StopRecording();

    EXPECT_FALSE(doc.StartRecording(unreachable));
    EXPECT_FALSE(doc.IsRecording());
}

} // namespace
// On a full disk the recording stops at the first record it can't write: the log and the handler
// say so, the call itself still reaches the board, and the file holds only whole records before it.
TEST(DocumentRecording, AFailedWriteStopsTheRecordingAndSaysSo) {
    FullFileSystem disk;
    TARSION_SKIP_UNLESS_MOUNTED(disk);
    OpsRig rig;
    std::vector<std::string> told;
    rig.doc.SetRecordingFailedHandler([&](const std::string& message) { told.push_back(message); });
    const std::string path = disk.Path("session.js").string();
    ASSERT_TRUE(rig.doc.StartRecording(path));
    disk.Fill();
    std::uint32_t data = 0;
    // The header's block still has room for some records.
    while (rig.doc.IsRecording() && data < 10000)
        ASSERT_TRUE(rig.ops.Poke(0x0A, ++data));
    ASSERT_FALSE(rig.doc.IsRecording());
    EXPECT_EQ(rig.board.ChipRegister(0x0A), data);
    const std::string message = "Recording stopped: couldn't write " + path + " (No space left on device)";
    EXPECT_EQ(told, std::vector<std::string>{message});
    EXPECT_NE(rig.log.text.find(message + "\r\n"), std::string::npos) << rig.log.text;

    std::string expected = kRecordingHeader;
    for (std::uint32_t i = 1; i <= data; ++i) {
        char line[64];
        std::snprintf(line, sizeof line, "\nTarsion.Poke ( 0x0a,0x%.8x );", i);
        expected += line;
    }
    const std::string written = ReadWholeFile(path);
    EXPECT_GT(written.size(), std::string(kRecordingHeader).size());
    EXPECT_EQ(expected.compare(0, written.size(), written), 0);

    rig.ops.Poke(0x0A, 1); // no second message once stopped
    EXPECT_EQ(told.size(), 1u);
}

// Recording starts only on a regular file: a FIFO would block the window in open() for good.
TEST(DocumentRecording, StartsOnlyOnARegularFile) {
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("rec-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder / "folder.js");
    const std::string fifo = (folder / "pipe.js").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    ::alarm(60); // a blocked open would hang the suite
    CTarsionDoc doc;
    EXPECT_FALSE(doc.StartRecording(fifo));
    // With a reader the open succeeds at once; the file is still refused.
    const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    EXPECT_FALSE(doc.StartRecording(fifo));
    char byte = 0;
    EXPECT_LE(::read(reader, &byte, 1), 0); // nothing was written into it
    ::close(reader);
    for (const std::string& name : {(folder / "folder.js").string(), std::string("/dev/null")})
        EXPECT_FALSE(doc.StartRecording(name)) << name;
    EXPECT_FALSE(doc.IsRecording());
    ::alarm(0);
    std::filesystem::remove_all(folder);
}

} // namespace tarsion::test
