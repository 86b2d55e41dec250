#include "PlotGeometry.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>
#include <random>

namespace {

constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kNan = std::numeric_limits<float>::quiet_NaN();

TEST(PlotGeometryTest, MarginsAndDivisions) {
    const CPlotGeometry geometry(800, 600);
    EXPECT_EQ(geometry.GetLeft(), 40);
    EXPECT_EQ(geometry.GetRight(), 760);
    EXPECT_EQ(geometry.GetTop(), 20);
    EXPECT_EQ(geometry.GetBottom(), 580);
    EXPECT_EQ(geometry.GetPixelsPerDiv(), 72.0f);
    // The division width is truncated, so the last vertical line may stop short of the
    // right margin.
    EXPECT_EQ(CPlotGeometry(809, 600).GetPixelsPerDiv(), 72.0f);
    EXPECT_EQ(CPlotGeometry(809, 600).GetGridX(10), 760);
}

TEST(PlotGeometryTest, GridLinesSpanThePlotRectangle) {
    const CPlotGeometry geometry(800, 400);
    for (int i = 0; i <= 10; ++i) {
        EXPECT_EQ(geometry.GetGridY(i), 20 + 36 * i) << i;
        EXPECT_EQ(geometry.GetYLabelTop(i), 10 + 36 * i) << i;
        EXPECT_EQ(geometry.GetGridX(i), 40 + 72 * i) << i;
    }
    EXPECT_EQ(geometry.GetMiddleY(), 200);
    for (int height = 41; height < 3000; ++height) {
        const CPlotGeometry other(640, height);
        ASSERT_EQ(other.GetGridY(0), 20);
        ASSERT_EQ(other.GetGridY(10), height - 20) << height;
    }
}

TEST(PlotGeometryTest, PositionsFallOnDivisionLinesEveryPpdSamples) {
    const CPlotGeometry geometry(800, 400);
    for (int j = 0; j <= 10; ++j) {
        EXPECT_EQ(geometry.PositionToX(j * 5, 5.0f), geometry.GetGridX(j));
    }
    // The last position of a window lies one sample's width left of the last line.
    EXPECT_EQ(geometry.PositionToX(49, 5.0f), 745);
    // Positions beyond 2^24 are not rounded to a float: 17010241 * 72 / 16777224 is 73.
    EXPECT_EQ(geometry.PositionToX(17010241, 16777224.0f), 40 + 73);
    EXPECT_EQ(geometry.PositionToX(5, 2e9f), 40);
}

TEST(ValueToYTest, RangeLimitsLieOnThePlotEdges) {
    const CPlotGeometry geometry(800, 400);
    EXPECT_EQ(ValueToY(geometry, 2.5f, 2.5f, -2.5f), 20);
    EXPECT_EQ(ValueToY(geometry, -2.5f, 2.5f, -2.5f), 380);
    EXPECT_EQ(ValueToY(geometry, 0.0f, 2.5f, -2.5f), 200);
    EXPECT_EQ(ValueToY(geometry, 1.25f, 2.5f, -2.5f), 110);
    // Not clamped: outside values map outside the rectangle.
    EXPECT_EQ(ValueToY(geometry, 5.0f, 2.5f, -2.5f), -160);
    EXPECT_EQ(ValueToY(geometry, -5.0f, 2.5f, -2.5f), 560);
}

TEST(ValueToYTest, ReversedRangeDrawsUpsideDown) {
    const CPlotGeometry geometry(800, 400);
    EXPECT_EQ(ValueToY(geometry, -2.5f, -2.5f, 2.5f), 20);
    EXPECT_EQ(ValueToY(geometry, 2.5f, -2.5f, 2.5f), 380);
    EXPECT_EQ(ValueToY(geometry, 1.25f, -2.5f, 2.5f), 290);
}

TEST(ValueToYTest, EdgesAreExactForAnyRangeAndHeight) {
    std::mt19937 random(7);
    std::uniform_real_distribution<float> limit(-1000.0f, 1000.0f);
    std::uniform_int_distribution<int> height(60, 2000);
    for (int k = 0; k < 20000; ++k) {
        const float a = limit(random);
        const float b = limit(random);
        if (a == b) {
            continue;
        }
        const CPlotGeometry geometry(800, height(random));
        const CYMapper mapper(geometry, a, b);
        ASSERT_EQ(mapper.ValueToY(a), 20) << a << " " << b;
        ASSERT_EQ(mapper.ValueToY(b), geometry.GetBottom()) << a << " " << b;
        // Anything between the limits stays inside the rectangle.
        const float inside = std::nextafter(a, b);
        const int y = mapper.ValueToY(inside);
        ASSERT_GE(y, 20);
        ASSERT_LE(y, geometry.GetBottom());
    }
}

TEST(ValueToYTest, EmptyRangeAndNanMapToTheMiddleLine) {
    const CPlotGeometry geometry(800, 411);
    const int middle = geometry.GetGridY(5);
    for (float v : {1.0f, 0.0f, -3.0f, kInf, -kInf, kNan}) {
        EXPECT_EQ(ValueToY(geometry, v, 1.0f, 1.0f), middle) << v;
    }
    EXPECT_EQ(ValueToY(geometry, kNan, 2.5f, -2.5f), middle);
    EXPECT_EQ(ValueToY(geometry, 0.0f, kNan, -2.5f), middle);
    EXPECT_EQ(ValueToY(geometry, 0.0f, kInf, -2.5f), middle);
    // A plot with no height (client 40 high) and an infinite value: inf * 0.
    EXPECT_EQ(ValueToY(CPlotGeometry(800, 40), kInf, 2.5f, -2.5f),
              CPlotGeometry(800, 40).GetMiddleY());
}

TEST(ValueToYTest, HugeAndInfiniteValuesSaturate) {
    const CPlotGeometry geometry(800, 400);
    EXPECT_EQ(ValueToY(geometry, kInf, 2.5f, -2.5f), INT_MIN);
    EXPECT_EQ(ValueToY(geometry, -kInf, 2.5f, -2.5f), INT_MAX);
    EXPECT_EQ(ValueToY(geometry, 1e38f, 2.5f, -2.5f), INT_MIN);
    EXPECT_EQ(ValueToY(geometry, -1e38f, 2.5f, -2.5f), INT_MAX);
    // Limits whose difference overflows a float still map exactly.
    EXPECT_EQ(ValueToY(geometry, 3e38f, 3e38f, -3e38f), 20);
    EXPECT_EQ(ValueToY(geometry, 0.0f, 3e38f, -3e38f), 200);
}

TEST(ClampToRangeTest, ValuesOutsideTheRangeGoToItsEdges) {
    EXPECT_EQ(ClampToRange(3.0f, 2.5f, -2.5f), 2.5f);
    EXPECT_EQ(ClampToRange(-3.0f, 2.5f, -2.5f), -2.5f);
    EXPECT_EQ(ClampToRange(1.0f, 2.5f, -2.5f), 1.0f);
    EXPECT_EQ(ClampToRange(kInf, 2.5f, -2.5f), 2.5f);
    EXPECT_EQ(ClampToRange(1e38f, 2.5f, -2.5f), 2.5f);
    // Reversed: the data keep their shape, upside down.
    EXPECT_EQ(ClampToRange(1.0f, -2.5f, 2.5f), 1.0f);
    EXPECT_EQ(ClampToRange(3.0f, -2.5f, 2.5f), 2.5f);
    EXPECT_EQ(ClampToRange(-3.0f, -2.5f, 2.5f), -2.5f);
    EXPECT_EQ(ClampToRange(7.0f, 1.0f, 1.0f), 1.0f);
    EXPECT_TRUE(std::isnan(ClampToRange(kNan, 2.5f, -2.5f)));
}

TEST(LabelTest, YLabelsStepFromMaxToMin) {
    const float expected[] = {2.5f,  2.0f,  1.5f,  1.0f,  0.5f, 0.0f,
                              -0.5f, -1.0f, -1.5f, -2.0f, -2.5f};
    for (int i = 0; i <= 10; ++i) {
        EXPECT_EQ(YLabelValue(i, 2.5f, -2.5f), expected[i]) << i;
    }
    // The float step of the running program, not the decimal one.
    EXPECT_EQ(YLabelValue(3, 3.3f, -2.5f), 3.3f - 3.0f * ((3.3f - -2.5f) * 0.1f));
}

TEST(LabelTest, YLabelsOfARangeWiderThanTheFloatRangeStayFinite) {
    for (int i = 0; i <= 10; ++i) {
        const float v = YLabelValue(i, 3.4e38f, -3.4e38f);
        EXPECT_TRUE(std::isfinite(v)) << i;
    }
    EXPECT_EQ(YLabelValue(0, 3.4e38f, -3.4e38f), 3.4e38f);
    EXPECT_NEAR(YLabelValue(5, 3.4e38f, -3.4e38f), 0.0f, 1e32f);
    EXPECT_FLOAT_EQ(YLabelValue(10, 3.4e38f, -3.4e38f), -3.4e38f);
}

TEST(LabelTest, XLabelsAreSampleIndexes) {
    EXPECT_EQ(XLabelNumber(0, 5.0f, 49), 49);
    EXPECT_EQ(XLabelNumber(10, 5.0f, 49), 99);
    // Exact beyond float precision.
    EXPECT_EQ(XLabelNumber(1, 5.0f, 20000001), 20000006);
    EXPECT_EQ(XLabelNumber(10, 2e9f, 0), INT_MAX);
}

} // namespace
