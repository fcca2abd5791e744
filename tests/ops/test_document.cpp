#include "OpsTestRig.h"

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

TEST(DocumentViews, ViewsMayUnsubscribeDuringTheNotification) {
    CTarsionDoc doc;
    CallbackView leaving;
    CallbackView removed;
    CallbackView staying;
    leaving.onUpdate = [&] {
        doc.RemoveObserver(&leaving);
        // A tab switch destroys the page that follows in the list: it must not be called any more.
        doc.RemoveObserver(&removed);
    };
    doc.AddObserver(&leaving);
    doc.AddObserver(&removed);
    doc.AddObserver(&staying);

    doc.UpdateAllViews();
    doc.UpdateAllViews();
    EXPECT_EQ(leaving.updates, 1);
    EXPECT_EQ(removed.updates, 0);
    EXPECT_EQ(staying.updates, 2);
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
} // namespace tarsion::test
