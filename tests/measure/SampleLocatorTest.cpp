#include "SampleLocator.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

// What the pointer should find: the first of the drawn samples whose x is nearest.
std::optional<int> NearestDrawn(const CPlotGeometry& geometry, const CPlotWindow& window, int x) {
    if (x < geometry.GetLeft() || x > geometry.GetRight() || geometry.GetPixelsPerDiv() <= 0) {
        return std::nullopt;
    }
    std::optional<int> best;
    int bestDistance = 0;
    for (int n = window.m_nStart; n < window.m_nEnd; ++n) {
        const int distance =
            std::abs(geometry.PositionToX(n - window.m_nStart, window.m_fPointsPerDiv) - x);
        if (!best || distance < bestDistance) {
            best = n;
            bestDistance = distance;
        }
    }
    return best;
}

// Every pixel across the plot and a little beyond, in windows sparse and dense, full and
// partly filled, scrolled back, with a doubled ppd and in a client narrower than its margins.
TEST(SampleLocatorTest, EveryPixelFindsTheNearestDrawnSampleAndEverySampleItsX) {
    struct SCase {
        int m_nWidth;
        int m_nCount;
        float m_fPpd;
        int m_nScrollBack;
        bool m_bDouble;
    };
    const SCase cases[] = {{480, 200, 5, 0, false},   {480, 30, 5, 0, false},
                           {480, 52, 5, 0, true},     {480, 5000, 100, 7, false},
                           {1000, 100, 3, 20, false}, {60, 100, 5, 0, false},
                           {480, 0, 5, 0, false}};
    for (const SCase& c : cases) {
        const CPlotGeometry geometry(c.m_nWidth, 300);
        const CPlotWindow window =
            ComputeVisibleWindow(c.m_nCount, c.m_fPpd, c.m_nScrollBack, c.m_bDouble);
        const CSampleLocator locator(geometry, window);
        for (int x = -1; x <= c.m_nWidth + 1; ++x) {
            ASSERT_EQ(locator.SampleAtX(x), NearestDrawn(geometry, window, x))
                << "width " << c.m_nWidth << " count " << c.m_nCount << " x " << x;
        }
        for (int n = window.m_nStart - 1; n <= window.m_nEnd; ++n) {
            const bool bDrawn = n >= window.m_nStart && n < window.m_nEnd;
            ASSERT_EQ(locator.SampleToX(n),
                      bDrawn ? std::optional(geometry.PositionToX(n - window.m_nStart,
                                                                  window.m_fPointsPerDiv))
                             : std::nullopt);
        }
    }
}

} // namespace
