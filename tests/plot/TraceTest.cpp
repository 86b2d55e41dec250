#include "TraceBuilder.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <initializer_list>
#include <limits>
#include <ostream>
#include <vector>

void PrintTo(const CPixel& pixel, std::ostream* out) {
    *out << "(" << pixel.m_nX << ", " << pixel.m_nY << ")";
}

namespace {

constexpr float kInf = std::numeric_limits<float>::infinity();

CSampleSeries Series(std::initializer_list<float> values) {
    CSampleSeries series;
    for (float v : values) {
        series.Append(v);
    }
    return series;
}

TEST(AutoScaleTest, GrowsTheRangeBySamplesBeyondTheRecordedExtremes) {
    CYScale scale;
    EXPECT_TRUE(scale.AutoScale(1.0f));
    EXPECT_EQ(scale.m_fYMax, 1.1f);
    EXPECT_TRUE(scale.AutoScale(3.0f));
    EXPECT_EQ(scale.m_fYMax, 3.0f * 1.1f);
    EXPECT_EQ(scale.m_fYMax, 3.3000002f);
    EXPECT_FALSE(scale.AutoScale(2.0f));
    EXPECT_EQ(scale.m_fYMax, 3.3000002f);
    EXPECT_EQ(scale.m_fYMin, -2.5f);
    EXPECT_EQ(scale.m_fAutoMax, 3.0f);
    EXPECT_TRUE(scale.AutoScale(-4.0f));
    EXPECT_EQ(scale.m_fYMin, -4.0f * 1.1f);
    EXPECT_EQ(scale.m_fAutoMin, -4.0f);
}

TEST(AutoScaleTest, RangeNeverBecomesInfiniteOrNan) {
    CYScale scale;
    EXPECT_FALSE(scale.AutoScale(kInf));
    EXPECT_FALSE(scale.AutoScale(-kInf));
    EXPECT_FALSE(scale.AutoScale(std::numeric_limits<float>::quiet_NaN()));
    EXPECT_EQ(scale.m_fYMax, 2.5f);
    EXPECT_EQ(scale.m_fYMin, -2.5f);
    EXPECT_EQ(scale.m_fAutoMax, 0.0f);
    EXPECT_TRUE(scale.AutoScale(3.2e38f));
    EXPECT_EQ(scale.m_fYMax, FLT_MAX);
    EXPECT_EQ(scale.m_fAutoMax, 3.2e38f);
    EXPECT_TRUE(scale.AutoScale(-FLT_MAX));
    EXPECT_EQ(scale.m_fYMin, -FLT_MAX);
}

TEST(TracePixelsTest, ClampsAndPlacesEverySample) {
    const CSampleSeries series = Series({0.0f, 1.25f, 3.0f, -7.0f, kInf, -1e38f});
    const CPlotGeometry geometry(800, 400);
    CYScale scale;
    std::vector<CPixel> pixels;
    const float last = ComputeTracePixels(series, 0, 6, geometry, 5.0f, false, scale, pixels);
    const std::vector<CPixel> expected = {{40, 200}, {54, 110}, {68, 20},
                                          {83, 380}, {97, 20},  {112, 380}};
    EXPECT_EQ(pixels, expected);
    EXPECT_EQ(last, -1e38f);
    // The window is a slice; its first sample sits at position 0.
    ComputeTracePixels(series, 2, 4, geometry, 5.0f, false, scale, pixels);
    EXPECT_EQ(pixels, (std::vector<CPixel>{{40, 20}, {54, 380}}));
}

TEST(TracePixelsTest, SampleThatGrowsTheRangeIsDrawnWithTheNewRange) {
    const CSampleSeries series = Series({1.0f, 3.0f, 2.0f});
    const CPlotGeometry geometry(800, 400);
    CYScale scale;
    std::vector<CPixel> pixels;
    const float last = ComputeTracePixels(series, 0, 3, geometry, 5.0f, true, scale, pixels);
    ASSERT_EQ(pixels.size(), 3u);
    EXPECT_EQ(pixels[0].m_nY, ValueToY(geometry, 1.0f, 1.1f, -2.5f));
    // Not clamped to the old top (y 20): the range grew before the sample was drawn.
    EXPECT_EQ(pixels[1].m_nY, ValueToY(geometry, 3.0f, 3.3000002f, -2.5f));
    EXPECT_EQ(pixels[1].m_nY, 38);
    EXPECT_EQ(pixels[2].m_nY, ValueToY(geometry, 2.0f, 3.3000002f, -2.5f));
    EXPECT_EQ(scale.m_fYMax, 3.3000002f);
    EXPECT_EQ(last, 2.0f);
}

TEST(TracePixelsTest, EmptyWindowAndIndexesBeyondTheSeries) {
    const CSampleSeries series = Series({2.0f});
    const CPlotGeometry geometry(800, 400);
    CYScale scale;
    std::vector<CPixel> pixels;
    EXPECT_EQ(ComputeTracePixels(series, 0, 0, geometry, 5.0f, false, scale, pixels), 0.0f);
    EXPECT_TRUE(pixels.empty());
    EXPECT_EQ(ComputeTracePixels(series, 0, 3, geometry, 5.0f, false, scale, pixels), 0.0f);
    EXPECT_EQ(pixels, (std::vector<CPixel>{{40, 56}, {54, 200}, {68, 200}}));
}

} // namespace
