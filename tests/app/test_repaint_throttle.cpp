#include "app/RepaintThrottle.h"

#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>

namespace tarsion {
namespace {

TEST(RepaintThrottleTest, BurstsPaintOncePerFrameAndAQuietUpdateShowsAtOnce) {
    CTarsionDoc doc;
    QWidget window;
    CRepaintThrottle throttle(doc, window);

    doc.UpdateAllViews();
    EXPECT_TRUE(window.updatesEnabled()) << "the first update after a quiet spell paints at once";

    // A script's stream of writes: the views keep updating, the window paints again a frame later.
    for (int i = 0; i < 50; ++i)
        doc.LogLine("Poke 0a 00000001 ", 0);
    EXPECT_FALSE(window.updatesEnabled());
    EXPECT_TRUE(QTest::qWaitFor([&] { return window.updatesEnabled(); }, 1000));

    QTest::qWait(100);
    doc.UpdateAllViews();
    EXPECT_TRUE(window.updatesEnabled());
}

TEST(RepaintThrottleTest, GoingAwayMidBurstLeavesTheWindowPainting) {
    CTarsionDoc doc;
    QWidget window;
    {
        CRepaintThrottle throttle(doc, window);
        doc.UpdateAllViews();
        doc.UpdateAllViews();
        ASSERT_FALSE(window.updatesEnabled());
    }
    EXPECT_TRUE(window.updatesEnabled());
    doc.UpdateAllViews(); // no longer observed
}

} // namespace
} // namespace tarsion
