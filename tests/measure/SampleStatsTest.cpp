#include "SampleStats.h"
#include "RateMeter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

namespace {

const float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

bool Same(double a, double b) {
    return a == b || (a != a && b != b);
}

// Against two passes in long double over the finite values (min, max and count over all
// values but gaps).
void ExpectMatches(const SSampleStats& got, const std::vector<float>& v, std::size_t first,
                   std::size_t last, const char* szName) {
    SCOPED_TRACE(::testing::Message() << szName << " [" << first << ", " << last << ")");
    std::vector<long double> finite;
    std::uint64_t nCount = 0;
    float fMin = kNaN, fMax = kNaN;
    for (std::size_t j = first; j < last; ++j) {
        if (v[j] == v[j]) {
            fMin = nCount == 0 ? v[j] : std::min(fMin, v[j]);
            fMax = nCount++ == 0 ? v[j] : std::max(fMax, v[j]);
        }
        if (std::isfinite(v[j])) {
            finite.push_back(v[j]);
        }
    }
    ASSERT_EQ(got.m_nCount, nCount);
    ASSERT_EQ(got.FiniteCount(), finite.size());
    ASSERT_TRUE(Same(got.Min(), fMin) && Same(got.Max(), fMax));
    ASSERT_TRUE(Same(got.m_fLast, last > first ? v[last - 1] : kNaN));
    if (finite.empty()) {
        ASSERT_TRUE(std::isnan(got.Mean()) && std::isnan(got.StdDev()));
        return;
    }
    long double sum = 0, squares = 0;
    for (const long double x : finite) {
        sum += x;
    }
    const long double mean = sum / finite.size();
    for (const long double x : finite) {
        squares += (x - mean) * (x - mean);
    }
    const auto want = static_cast<double>(mean);
    const auto sd = static_cast<double>(std::sqrt(squares / finite.size()));
    ASSERT_NEAR(got.Mean(), want, 1e-12 * std::fabs(want) + 1e-300);
    ASSERT_NEAR(got.StdDev(), sd, 1e-9 * sd + 1e-300);
}

// Signals that break naive sums: a large offset with a small spread, a ramp, noise around a
// million, values near the float limit, and gaps and infinities among them. The running
// figures are brought up to date as the series grows (and start over when it is cleared).
TEST(SampleStatsTest, RunningAndRangeStatisticsMatchATwoPassReference) {
    std::mt19937 random(5);
    std::normal_distribution<float> noise(0.0f, 1.0f);
    std::uniform_int_distribution<int> roll(0, 99);
    const struct {
        const char* m_szName;
        float (*m_fnValue)(std::size_t, float, int);
    } signals[] = {
        {"offset", [](std::size_t j, float, int) { return 1e7f + static_cast<float>(j % 2); }},
        {"ramp", [](std::size_t j, float, int) { return static_cast<float>(j); }},
        {"noise", [](std::size_t, float n, int) { return 1e6f + 0.25f * n; }},
        {"huge", [](std::size_t j, float, int) { return j % 3 == 0 ? 3e38f : -3e38f; }},
        {"gaps", [](std::size_t, float n, int r) { return r < 10   ? kNaN
                                                          : r < 13 ? -kInf
                                                                   : n; }},
        {"one, then gaps", [](std::size_t j, float, int) { return j == 0 ? 1.0f : kNaN; }},
    };
    CSampleSeries series;
    CRunningStats running;
    for (const auto& signal : signals) {
        std::vector<float> values;
        series.clear();
        for (const std::size_t target : {1u, 8u, 300u, 70000u}) {
            while (values.size() < target) {
                values.push_back(signal.m_fnValue(values.size(), noise(random), roll(random)));
                series.Append(values.back());
            }
            running.Update(series);
            ExpectMatches(running.All(), values, 0, values.size(), signal.m_szName);
        }
        std::uniform_int_distribution<std::size_t> place(0, values.size());
        for (int k = 0; k < 20; ++k) {
            const auto [a, b] = std::minmax({place(random), place(random)});
            ExpectMatches(ComputeStats(series, a, b), values, a, b, signal.m_szName);
        }
    }
}

TEST(RateMeterTest, CountsWhatArrivedInTheLastSecond) {
    using std::chrono::milliseconds;
    const CRateMeter::Clock::time_point t0{std::chrono::hours(1)};
    CRateMeter meter;
    meter.Add(t0, 10, 100);
    meter.Add(t0 + milliseconds(500), 5, 50);
    meter.Add(t0 + milliseconds(999), 1, 10);
    const struct {
        int m_nMs;
        CRateMeter::SRates m_rates;
    } checks[] = {{999, {16, 160}}, {1000, {6, 60}}, {1499, {6, 60}}, {1500, {1, 10}}, {5000, {}}};
    for (const auto& check : checks) {
        EXPECT_EQ(meter.PerSecond(t0 + milliseconds(check.m_nMs)), check.m_rates) << check.m_nMs;
    }
    // Late news of a time the second has left behind counts nowhere.
    meter.Add(t0 + milliseconds(2000), 3, 30);
    meter.Add(t0 + milliseconds(1000), 7, 70);
    EXPECT_EQ(meter.PerSecond(t0 + milliseconds(2000)), (CRateMeter::SRates{3, 30}));
}

} // namespace
