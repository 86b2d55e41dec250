#include "PlotZoom.h"

#include "PlotScroll.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

// A plot of 480 x 340: 40 pixels per division, rows 20 (2.5) to 320 (-2.5). 1000 samples at
// ppd 5 show samples 949..998, 8 pixels apart from x = 40.
TEST(PlotZoomTest, DraggedRectanglesBecomeRanges) {
    const CPlotGeometry geometry(480, 340);
    const SPlotRanges current{5.0f, 0, 2.5f, -2.5f, true, true};
    struct SCase {
        CPixel m_pressed;
        CPixel m_released;
        EZoomResult m_eResult;
        SPlotRanges m_ranges;
    };
    const SCase cases[] = {
        // A click, and a rectangle a pixel too narrow or too low.
        {{200, 200}, {200, 200}, EZoomResult::kTooSmall, current},
        {{200, 100}, {204, 200}, EZoomResult::kTooSmall, current},
        {{100, 200}, {200, 204}, EZoomResult::kTooSmall, current},
        // The whole plot: the same window, the switches off.
        {{40, 20}, {440, 320}, EZoomResult::kZoomed, {5.0f, 0, 2.5f, -2.5f, false, false}},
        // Columns 120..199 hold samples 959..968: ppd 1, the window from 959. Rows 170 and
        // 245 are 0 and -1.25. Any two corners will do.
        {{120, 170}, {199, 245}, EZoomResult::kZoomed, {1.0f, 30, 0.0f, -1.25f, false, false}},
        {{199, 245}, {120, 170}, EZoomResult::kZoomed, {1.0f, 30, 0.0f, -1.25f, false, false}},
        // Clipped to the plot: columns 40..100 hold 949..956.
        {{0, 0}, {100, 400}, EZoomResult::kZoomed, {1.0f, 40, 2.5f, -2.5f, false, false}},
        // At the newest edge the scroll-back stops at 0.
        {{400, 20}, {470, 320}, EZoomResult::kZoomed, {1.0f, 0, 2.5f, -2.5f, false, false}},
        // 21 samples: ppd rounds up to 3 to keep them all in.
        {{40, 20}, {200, 320}, EZoomResult::kZoomed, {3.0f, 20, 2.5f, -2.5f, false, false}},
    };
    for (const SCase& c : cases) {
        const SZoom zoom = ZoomToRect(geometry, current, 1000, c.m_pressed, c.m_released);
        EXPECT_EQ(zoom.m_eResult, c.m_eResult) << c.m_pressed.m_nX << "," << c.m_released.m_nX;
        EXPECT_EQ(zoom.m_ranges, c.m_ranges) << c.m_pressed.m_nX << "," << c.m_released.m_nX;
    }
    // A ppd so large that the window holds INT_MAX positions: about a tenth of them per
    // division, not 1.
    const SPlotRanges huge{3e8f, 0, 2.5f, -2.5f, false, false};
    EXPECT_EQ(ZoomToRect(geometry, huge, 1000, {40, 20}, {440, 320}).m_ranges,
              (SPlotRanges{static_cast<float>(INT_MAX / 10 + 1), 0, 2.5f, -2.5f, false, false}));
    // ppd 1: samples 40 pixels apart, none between the columns 45 and 60.
    const SPlotRanges sparse{1.0f, 0, 2.5f, -2.5f, false, false};
    EXPECT_EQ(ZoomToRect(geometry, sparse, 1000, {45, 30}, {60, 100}).m_eResult,
              EZoomResult::kNoSamples);
    // An empty Y range has no values to zoom into: only X changes.
    const SPlotRanges flat{5.0f, 0, 1.0f, 1.0f, false, false};
    const SZoom zoom = ZoomToRect(geometry, flat, 1000, {120, 170}, {199, 245});
    EXPECT_EQ(zoom.m_ranges, (SPlotRanges{1.0f, 30, 1.0f, 1.0f, false, false}));
}

TEST(PlotZoomTest, ZoomBackReturnsStepByStepToTheSameSamples) {
    CZoomHistory history;
    const SPlotRanges following{5.0f, 0, 2.5f, -2.5f, true, false};
    const SPlotRanges scrolled{5.0f, 30, 1.0f, -1.0f, false, false};
    history.Push(following, 1000);
    history.Push(scrolled, 1000);
    // 100 samples arrived since: the scrolled window moves on with its samples...
    EXPECT_EQ(history.Back(1100), (SPlotRanges{5.0f, 130, 1.0f, -1.0f, false, false}));
    // ...and one that followed the newest data follows them again.
    EXPECT_EQ(history.Back(1100), following);
    EXPECT_EQ(history.Back(1100), std::nullopt);
    // Cleared data since: within the limits that hold now.
    history.Push(scrolled, 1000);
    EXPECT_EQ(history.Back(60)->m_nScrollBack, MaxScrollBack(60, 5.0f));
    for (int k = 0; k < 70; ++k) {
        history.Push(following, 1000);
    }
    int nSteps = 0;
    while (history.Back(1000)) {
        ++nSteps;
    }
    EXPECT_EQ(nSteps, static_cast<int>(CZoomHistory::kDepth));
}

} // namespace
