#include "PlotScroll.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

TEST(VisibleWindowTest, ShortSeriesIsDrawnWhole) {
    const CPlotWindow window = ComputeVisibleWindow(30, 5.0f, 0, false);
    EXPECT_EQ(window.m_nStart, 0);
    EXPECT_EQ(window.m_nEnd, 30);
    EXPECT_FALSE(window.m_bDoubled);
    const CPlotWindow empty = ComputeVisibleWindow(0, 5.0f, 0, true);
    EXPECT_EQ(empty.m_nStart, 0);
    EXPECT_EQ(empty.m_nEnd, 0);
}

TEST(VisibleWindowTest, LongSeriesShowsTheFiftySamplesBeforeTheNewest) {
    const CPlotWindow window = ComputeVisibleWindow(100, 5.0f, 0, false);
    EXPECT_EQ(window.m_nStart, 49);
    EXPECT_EQ(window.m_nEnd, 99);
    EXPECT_EQ(window.m_fPointsPerDiv, 5.0f);
    // Scrolled back to M: the window starts at sample 0; beyond M it stays there.
    EXPECT_EQ(ComputeVisibleWindow(100, 5.0f, 49, false).m_nStart, 0);
    EXPECT_EQ(ComputeVisibleWindow(100, 5.0f, 49, false).m_nEnd, 50);
    EXPECT_EQ(ComputeVisibleWindow(100, 5.0f, 1000, false).m_nStart, 0);
    EXPECT_EQ(ComputeVisibleWindow(100, 5.0f, 10, false).m_nStart, 39);
}

TEST(VisibleWindowTest, DoublePpdAtMaxDoublesOncePerCall) {
    const CPlotWindow window = ComputeVisibleWindow(52, 5.0f, 0, true);
    EXPECT_TRUE(window.m_bDoubled);
    EXPECT_EQ(window.m_fPointsPerDiv, 10.0f);
    EXPECT_EQ(window.m_nStart, 0);
    EXPECT_EQ(window.m_nEnd, 52);
    // 500 samples need ppd 80: one doubling per call.
    const CPlotWindow first = ComputeVisibleWindow(500, 5.0f, 0, true);
    EXPECT_EQ(first.m_fPointsPerDiv, 10.0f);
    EXPECT_EQ(first.m_nStart, 399);
    const CPlotWindow second = ComputeVisibleWindow(500, first.m_fPointsPerDiv, 0, true);
    EXPECT_EQ(second.m_fPointsPerDiv, 20.0f);
    const CPlotWindow third = ComputeVisibleWindow(500, second.m_fPointsPerDiv, 0, true);
    EXPECT_EQ(third.m_fPointsPerDiv, 40.0f);
    EXPECT_EQ(third.m_nStart, 99);
    EXPECT_FALSE(ComputeVisibleWindow(52, 5.0f, 0, false).m_bDoubled);
}

TEST(VisibleWindowTest, HugeValuesNeitherOverflowNorRound) {
    const CPlotWindow huge = ComputeVisibleWindow(1000, 2e9f, 0, true);
    EXPECT_EQ(huge.m_nStart, 0);
    EXPECT_EQ(huge.m_nEnd, 1000);
    EXPECT_FALSE(huge.m_bDoubled);
    const CPlotWindow all = ComputeVisibleWindow(INT_MAX, 3e38f, INT_MAX, false);
    EXPECT_EQ(all.m_nStart, 0);
    EXPECT_EQ(all.m_nEnd, INT_MAX);
    // In float, the last index 16777219 of this series would round to 16777220.
    const CPlotWindow odd = ComputeVisibleWindow(16777220, 5.0f, 0, false);
    EXPECT_EQ(odd.m_nStart, 16777169);
    EXPECT_EQ(odd.m_nEnd, 16777219);
}

TEST(MaxScrollBackTest, CountsWindowsOfTheFirstChannel) {
    EXPECT_EQ(MaxScrollBack(100, 5.0f), 49);
    EXPECT_EQ(MaxScrollBack(51, 5.0f), 0);
    EXPECT_EQ(MaxScrollBack(52, 5.0f), 1);
    EXPECT_EQ(MaxScrollBack(0, 5.0f), 0);
    EXPECT_EQ(MaxScrollBack(100, 2e9f), 0);
    EXPECT_EQ(MaxScrollBack(INT_MAX, 1.0f), INT_MAX - 11);
}

TEST(ScrollBarTest, HiddenUntilTheRangeExceedsThePage) {
    const CScrollBarState empty = ComputeScrollBar(0, 5.0f, 0);
    EXPECT_EQ(empty.m_nMin, 0);
    EXPECT_EQ(empty.m_nMax, 0);
    EXPECT_EQ(empty.m_nPage, 50);
    EXPECT_EQ(empty.m_nPos, 0);
    EXPECT_TRUE(empty.m_bHidden);
    EXPECT_TRUE(ComputeScrollBar(49, 5.0f, 0).m_bHidden);
    // Range 0..50 holds 51 positions, one more than the page.
    const CScrollBarState shown = ComputeScrollBar(50, 5.0f, 0);
    EXPECT_FALSE(shown.m_bHidden);
    EXPECT_EQ(shown.m_nMax, 50);
    EXPECT_EQ(shown.m_nPos, 1);
    EXPECT_EQ(shown.m_nLastPos, 1);
    EXPECT_TRUE(ComputeScrollBar(1000, 2e9f, 0).m_bHidden);
    EXPECT_EQ(ComputeScrollBar(1000, 2e9f, 0).m_nPage, INT_MAX);
}

TEST(ScrollBarTest, ScrollBackMovesTheBoxLeftFromTheRightEnd) {
    const CScrollBarState newest = ComputeScrollBar(100, 5.0f, 0);
    EXPECT_EQ(newest.m_nPos, 51);
    EXPECT_EQ(newest.m_nPos, newest.m_nLastPos);
    EXPECT_EQ(ComputeScrollBar(100, 5.0f, 10).m_nPos, 41);
    EXPECT_EQ(ComputeScrollBar(100, 5.0f, 49).m_nPos, 2);
    EXPECT_EQ(ComputeScrollBar(100, 5.0f, 500).m_nPos, 0);
}

TEST(ScrollActionTest, StepsMoveWithinZeroAndM) {
    EXPECT_EQ(ApplyScrollAction(ScrollAction::OneOlder, 10, 49).m_nScrollBack, 11);
    EXPECT_EQ(ApplyScrollAction(ScrollAction::OneOlder, 49, 49).m_nScrollBack, 49);
    EXPECT_EQ(ApplyScrollAction(ScrollAction::OneNewer, 10, 49).m_nScrollBack, 9);
    EXPECT_EQ(ApplyScrollAction(ScrollAction::OneNewer, 0, 49).m_nScrollBack, 0);
    EXPECT_EQ(ApplyScrollAction(ScrollAction::PageOlder, 20, 49).m_nScrollBack, 49);
    EXPECT_EQ(ApplyScrollAction(ScrollAction::PageOlder, 20, 200).m_nScrollBack, 70);
    EXPECT_EQ(ApplyScrollAction(ScrollAction::PageNewer, 30, 49).m_nScrollBack, 0);
    EXPECT_EQ(ApplyScrollAction(ScrollAction::PageNewer, 130, 200).m_nScrollBack, 80);
    EXPECT_EQ(ApplyScrollAction(ScrollAction::Oldest, 3, 49).m_nScrollBack, 49);
    EXPECT_EQ(ApplyScrollAction(ScrollAction::Newest, 30, 49).m_nScrollBack, 0);
    // With nothing older (M = 0) every older action stays at 0.
    for (ScrollAction action :
         {ScrollAction::OneOlder, ScrollAction::PageOlder, ScrollAction::Oldest}) {
        EXPECT_EQ(ApplyScrollAction(action, 0, 0).m_nScrollBack, 0);
    }
    EXPECT_EQ(ApplyScrollAction(ScrollAction::PageOlder, INT_MAX - 10, INT_MAX).m_nScrollBack,
              INT_MAX);
}

TEST(ScrollActionTest, EveryMoveStopsCollectingEvenAtItsLimit) {
    for (ScrollAction action :
         {ScrollAction::OneOlder, ScrollAction::OneNewer, ScrollAction::PageOlder,
          ScrollAction::PageNewer, ScrollAction::Oldest, ScrollAction::Newest}) {
        EXPECT_TRUE(ApplyScrollAction(action, 0, 0).m_bStopCollecting);
        EXPECT_TRUE(ApplyScrollAction(action, 5, 10).m_bStopCollecting);
    }
    const CScrollResult none = ApplyScrollAction(ScrollAction::None, 7, 10);
    EXPECT_FALSE(none.m_bStopCollecting);
    EXPECT_EQ(none.m_nScrollBack, 7);
}

TEST(ScrollActionTest, WheelMovesOneSampleWhateverTheDelta) {
    EXPECT_EQ(WheelScrollAction(-120), ScrollAction::OneOlder);
    EXPECT_EQ(WheelScrollAction(-1200), ScrollAction::OneOlder);
    EXPECT_EQ(WheelScrollAction(120), ScrollAction::OneNewer);
    EXPECT_EQ(WheelScrollAction(0), ScrollAction::None);
}

TEST(ThumbTrackTest, MovesRelativeToThePreviousNotification) {
    int last = 0;
    // First drag: measured from 0, so dragging to 40 reads as 40 newer.
    CScrollResult r = ApplyThumbTrack(40, last, 30, 49);
    EXPECT_EQ(r.m_nScrollBack, 0);
    EXPECT_TRUE(r.m_bStopCollecting);
    EXPECT_EQ(last, 40);
    r = ApplyThumbTrack(30, last, 0, 49);
    EXPECT_EQ(r.m_nScrollBack, 10);
    r = ApplyThumbTrack(5, last, 10, 49);
    EXPECT_EQ(r.m_nScrollBack, 35);
    r = ApplyThumbTrack(1, last, 35, 20);
    EXPECT_EQ(r.m_nScrollBack, 20);
    // Same position: nothing, and collecting is left alone.
    r = ApplyThumbTrack(1, last, 20, 49);
    EXPECT_EQ(r.m_nScrollBack, 20);
    EXPECT_FALSE(r.m_bStopCollecting);
    // A new drag starts from where the last notification was, not where the box is.
    last = 1;
    r = ApplyThumbTrack(3, last, 20, 49);
    EXPECT_EQ(r.m_nScrollBack, 18);
}

TEST(ThumbTrackTest, PositionZeroMovesNothingButIsRecorded) {
    int last = 25;
    const CScrollResult r = ApplyThumbTrack(0, last, 12, 49);
    EXPECT_EQ(r.m_nScrollBack, 12);
    EXPECT_FALSE(r.m_bStopCollecting);
    EXPECT_EQ(last, 0);
    // Measured from 0 afterwards.
    EXPECT_EQ(ApplyThumbTrack(5, last, 12, 49).m_nScrollBack, 7);
}

TEST(ThumbTrackTest, ExtremePositionsDoNotOverflow) {
    int last = INT_MAX;
    EXPECT_EQ(ApplyThumbTrack(1, last, INT_MAX - 1, INT_MAX).m_nScrollBack, INT_MAX);
    last = 1;
    EXPECT_EQ(ApplyThumbTrack(INT_MAX, last, 5, INT_MAX).m_nScrollBack, 0);
}

} // namespace
