#include "SeriesSummary.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

namespace {

constexpr float kInf = std::numeric_limits<float>::infinity();
const float kNaN = std::numeric_limits<float>::quiet_NaN();

CValueRange Brute(const CSampleSeries& series, std::size_t first, std::size_t last,
                  bool bFiniteOnly) {
    CValueRange range;
    for (std::size_t j = first; j < last; ++j) {
        const float v = series[j];
        if (v != v) {
            range.m_nFlags |= CValueRange::kNaN;
            continue;
        }
        if (std::isinf(v)) {
            range.m_nFlags |= CValueRange::kInfinite;
            if (bFiniteOnly) {
                continue;
            }
        }
        range.m_fMin = std::min(range.m_fMin, v);
        range.m_fMax = std::max(range.m_fMax, v);
    }
    return range;
}

std::size_t BruteFind(const CSampleSeries& series, std::size_t first, std::size_t last, float lo,
                      float hi) {
    for (std::size_t j = first; j < last; ++j) {
        if (std::isfinite(series[j]) && (series[j] > hi || series[j] < lo)) {
            return j;
        }
    }
    return last;
}

// Stretches of every length and place, across block edges of both levels, over a series
// that grows between the questions and holds NaN and infinities here and there.
TEST(SeriesSummaryTest, ExtremesAndSearchesMatchEverySampleLookedAt) {
    std::mt19937 random(11);
    std::normal_distribution<float> noise(0.0f, 1.0f);
    std::uniform_int_distribution<int> chance(0, 9999);
    CSampleSeries series;
    CSeriesSummary summary;
    for (const std::size_t target : {std::size_t{100}, std::size_t{20000}, std::size_t{70000}}) {
        while (series.size() < target) {
            const int roll = chance(random);
            series.Append(roll < 3 ? kNaN : roll < 5 ? kInf : roll < 7 ? -kInf : noise(random));
        }
        summary.Update(series);
        std::uniform_int_distribution<std::size_t> place(0, series.size());
        for (int k = 0; k < 300; ++k) {
            std::size_t a = place(random);
            std::size_t b =
                k % 3 == 0 ? std::min(series.size(), a + (place(random) % 300)) : place(random);
            if (a > b) {
                std::swap(a, b);
            }
            for (const bool bFinite : {false, true}) {
                const CValueRange got = summary.Range(series, a, b, bFinite);
                const CValueRange want = Brute(series, a, b, bFinite);
                ASSERT_EQ(got.m_fMin, want.m_fMin) << a << ".." << b;
                ASSERT_EQ(got.m_fMax, want.m_fMax) << a << ".." << b;
                ASSERT_EQ(got.m_nFlags, want.m_nFlags) << a << ".." << b;
            }
            const float hi = 1.5f + static_cast<float>(k % 4);
            ASSERT_EQ(summary.FindBeyond(series, a, b, -hi, hi), BruteFind(series, a, b, -hi, hi))
                << a << ".." << b;
            std::size_t gap = a;
            while (gap < b && !std::isnan(series[gap])) {
                ++gap;
            }
            ASSERT_EQ(summary.FindGap(series, a, b), gap) << a << ".." << b;
        }
    }
    // A cleared series that grew past its old length is summarised afresh.
    const std::size_t old = series.size();
    series.clear();
    for (std::size_t j = 0; j <= old; ++j) {
        series.Append(7.0f);
    }
    summary.Update(series);
    EXPECT_EQ(summary.Range(series, 0, series.size()).m_fMin, 7.0f);
}

} // namespace
