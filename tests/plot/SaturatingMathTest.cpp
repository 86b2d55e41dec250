#include "SaturatingMath.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <cmath>
#include <limits>
#include <string>

namespace {

TEST(SaturatingTruncTest, TruncatesTowardZeroInsideTheRange) {
    EXPECT_EQ(SaturatingTrunc(19.999f), 19);
    EXPECT_EQ(SaturatingTrunc(-19.999), -19);
    EXPECT_EQ(SaturatingTrunc(-0.5L), 0);
    EXPECT_EQ(SaturatingTrunc(2147483647.0), INT_MAX);
    EXPECT_EQ(SaturatingTrunc(-2147483648.0), INT_MIN);
    EXPECT_EQ(SaturatingTrunc(-2147483648.9), INT_MIN);
}

TEST(SaturatingTruncTest, SaturatesBeyondTheRangeAndMapsNanToZero) {
    const float inf = std::numeric_limits<float>::infinity();
    EXPECT_EQ(SaturatingTrunc(inf), INT_MAX);
    EXPECT_EQ(SaturatingTrunc(-inf), INT_MIN);
    EXPECT_EQ(SaturatingTrunc(1e38f), INT_MAX);
    EXPECT_EQ(SaturatingTrunc(-1e38f), INT_MIN);
    EXPECT_EQ(SaturatingTrunc(2147483648.0), INT_MAX);
    EXPECT_EQ(SaturatingTrunc(2e10L), INT_MAX);
    EXPECT_EQ(SaturatingTrunc(std::numeric_limits<double>::quiet_NaN()), 0);
    EXPECT_EQ(SaturatingTrunc(-std::numeric_limits<long double>::quiet_NaN()), 0);
}

TEST(SaturatingAtoiTest, ReadsLikeAtoi) {
    EXPECT_EQ(SaturatingAtoi("10"), 10);
    EXPECT_EQ(SaturatingAtoi("  \t+42x"), 42);
    EXPECT_EQ(SaturatingAtoi("-7.9"), -7);
    EXPECT_EQ(SaturatingAtoi("0012"), 12);
    EXPECT_EQ(SaturatingAtoi(""), 0);
    EXPECT_EQ(SaturatingAtoi("abc"), 0);
    EXPECT_EQ(SaturatingAtoi("- 5"), 0);
    EXPECT_EQ(SaturatingAtoi("2147483647"), INT_MAX);
    EXPECT_EQ(SaturatingAtoi("-2147483648"), INT_MIN);
}

TEST(SaturatingAtoiTest, LongDigitRunsSaturate) {
    EXPECT_EQ(SaturatingAtoi("2147483648"), INT_MAX);
    EXPECT_EQ(SaturatingAtoi("-2147483649"), INT_MIN);
    EXPECT_EQ(SaturatingAtoi(std::string(30, '9')), INT_MAX);
    EXPECT_EQ(SaturatingAtoi("-" + std::string(30, '9')), INT_MIN);
    EXPECT_EQ(SaturatingAtoi(std::string(1000, '0') + "5"), 5);
}

TEST(SaturateToFloatTest, StopsAtTheFloatRange) {
    EXPECT_EQ(SaturateToFloat(1e300), FLT_MAX);
    EXPECT_EQ(SaturateToFloat(-1e300), -FLT_MAX);
    EXPECT_EQ(SaturateToFloat(std::numeric_limits<double>::infinity()), FLT_MAX);
    EXPECT_EQ(SaturateToFloat(3.3), 3.3f);
    EXPECT_TRUE(std::isnan(SaturateToFloat(std::nan(""))));
}

} // namespace
