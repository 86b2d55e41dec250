#include "SeriesSummary.h"
#include "TraceBuilder.h"
#include "TraceRaster.h"
#include "YFit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <initializer_list>
#include <limits>
#include <ostream>
#include <random>
#include <vector>

void PrintTo(const CPixel& pixel, std::ostream* out) {
    *out << "(" << pixel.m_nX << ", " << pixel.m_nY << ")";
}

namespace {

constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kGap = std::numeric_limits<float>::quiet_NaN();

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

TEST(TracePixelsTest, GapsDrawNothingAndSoundNothing) {
    const CSampleSeries series = Series({1.0f, kGap, 2.0f, kGap});
    const CPlotGeometry geometry(800, 400);
    for (const bool bAutoScale : {false, true}) {
        CYScale scale;
        std::vector<CPixel> pixels;
        const float last =
            ComputeTracePixels(series, 0, 4, geometry, 5.0f, bAutoScale, scale, pixels);
        ASSERT_EQ(pixels.size(), 4u);
        EXPECT_TRUE(IsGapPixel(pixels[1]) && IsGapPixel(pixels[3]));
        // The sample after a gap keeps its place.
        EXPECT_EQ(pixels[2].m_nX, 68);
        EXPECT_TRUE(last != last);
        EXPECT_EQ(scale.m_fAutoMax, bAutoScale ? 2.0f : 0.0f);
    }
    // No line joins the samples either side of a gap.
    std::vector<std::uint32_t> bits(30 * 10, kRasterWhite);
    DrawTraceOneByOne({bits.data(), 30, 10, 30}, std::vector<CPixel>{{5, 5}, kGapPixel, {25, 5}}, 7,
                      true, kRasterBlack);
    EXPECT_EQ(std::count(bits.begin(), bits.end(), kRasterBlack), 0);
}

// Dense windows with gaps alone, in bursts and often: the reduced pixels draw the picture of
// every sample, a gap breaking the line in both.
TEST(TracePixelsTest, ReducedTraceWithGapsDrawsThePictureOfEverySample) {
    std::mt19937 random(5);
    std::normal_distribution<float> noise(0.0f, 0.3f);
    std::uniform_int_distribution<int> chance(0, 99);
    for (const int nGapPercent : {1, 20, 60}) {
        CSampleSeries series;
        float walk = 0.0f;
        int burst = 0;
        for (int j = 0; j < 60000; ++j) {
            walk += noise(random);
            walk = std::clamp(walk, -2.4f, 2.4f);
            burst = burst > 0 ? burst - 1 : chance(random) < nGapPercent ? chance(random) % 40 : 0;
            series.Append(burst > 0 ? kGap : walk);
        }
        CSeriesSummary summary;
        summary.Update(series);
        for (const int nWidth : {97, 600}) {
            for (const bool bAutoScale : {false, true}) {
                for (const int nPointType : {int{kPointTypePoint}, 7}) {
                    const CPlotGeometry geometry(nWidth, 200);
                    CYScale full{1.0f, -1.0f, 0.0f, 0.0f};
                    CYScale reduced = full;
                    std::vector<CPixel> all;
                    std::vector<CPixel> few;
                    float fLastFew = 0.0f;
                    ComputeTracePixels(series, 10, 59990, geometry, 5998.0f, bAutoScale, full, all);
                    ASSERT_TRUE(ComputeReducedTracePixels(series, summary, 10, 59990, geometry,
                                                          5998.0f, bAutoScale, reduced, few,
                                                          fLastFew));
                    std::vector<std::uint32_t> want(static_cast<std::size_t>(nWidth * 200),
                                                    kRasterWhite);
                    std::vector<std::uint32_t> got = want;
                    DrawTraceOneByOne({want.data(), nWidth, 200, nWidth}, all, nPointType, true,
                                      kRasterBlack);
                    CTraceRasterizer rasterizer;
                    rasterizer.Begin({got.data(), nWidth, 200, nWidth});
                    rasterizer.Draw(few, nPointType, true, kRasterBlack);
                    ASSERT_TRUE(got == want) << nGapPercent << "% w" << nWidth << " auto "
                                             << bAutoScale << " type " << nPointType;
                }
            }
        }
    }
}

TEST(TracePixelsTest, FitYLeavesGapsOut) {
    const CSampleSeries series = Series({kGap, -1.0f, kGap, 3.0f, kGap});
    CSeriesSummary summary;
    summary.Update(series);
    const CReplayChannel channel{5, false, &series, &summary};
    float fYMax = 0.0f;
    float fYMin = 0.0f;
    ASSERT_TRUE(FitYRange(std::span(&channel, 1), 1, 5.0f, 0, fYMax, fYMin));
    EXPECT_FLOAT_EQ(fYMax, 3.2f);
    EXPECT_FLOAT_EQ(fYMin, -1.2f);
    const CSampleSeries gaps = Series({kGap, kGap});
    CSeriesSummary gapSummary;
    gapSummary.Update(gaps);
    const CReplayChannel onlyGaps{2, false, &gaps, &gapSummary};
    EXPECT_FALSE(FitYRange(std::span(&onlyGaps, 1), 1, 5.0f, 0, fYMax, fYMin));
}

} // namespace
