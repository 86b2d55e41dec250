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

struct SReference {
    std::uint64_t m_nCount = 0;
    std::uint64_t m_nInfinite = 0;
    double m_dMean = NAN;
    double m_dStd = NAN;
};

// Two passes in long double over the finite values.
SReference TwoPass(const std::vector<float>& v, std::size_t first, std::size_t last) {
    SReference ref;
    long double sum = 0;
    std::uint64_t nFinite = 0;
    for (std::size_t j = first; j < last; ++j) {
        ref.m_nCount += v[j] == v[j];
        ref.m_nInfinite += std::isinf(v[j]);
        if (std::isfinite(v[j])) {
            sum += v[j];
            ++nFinite;
        }
    }
    if (nFinite > 0) {
        const long double mean = sum / nFinite;
        long double squares = 0;
        for (std::size_t j = first; j < last; ++j) {
            if (std::isfinite(v[j])) {
                squares += (v[j] - mean) * (v[j] - mean);
            }
        }
        ref.m_dMean = static_cast<double>(mean);
        ref.m_dStd = static_cast<double>(std::sqrt(squares / nFinite));
    }
    return ref;
}

void ExpectMatches(const SSampleStats& got, const std::vector<float>& v, std::size_t first,
                   std::size_t last, const char* szName) {
    const SReference ref = TwoPass(v, first, last);
    SCOPED_TRACE(::testing::Message() << szName << " [" << first << ", " << last << ")");
    ASSERT_EQ(got.m_nCount, ref.m_nCount);
    ASSERT_EQ(got.m_nInfinite, ref.m_nInfinite);
    if (std::isnan(ref.m_dMean)) {
        ASSERT_TRUE(std::isnan(got.Mean()) && std::isnan(got.StdDev()));
    } else {
        ASSERT_NEAR(got.Mean(), ref.m_dMean, 1e-12 * std::fabs(ref.m_dMean) + 1e-300);
        ASSERT_NEAR(got.StdDev(), ref.m_dStd, 1e-9 * ref.m_dStd + 1e-300);
    }
    if (last > first) {
        ASSERT_TRUE(got.m_fLast == v[last - 1] ||
                    (std::isnan(got.m_fLast) && std::isnan(v[last - 1])));
    }
}

// Signals that break naive sums: a large offset with a small spread, a ramp, noise around a
// million, values near the float limit, and gaps and infinities among them.
TEST(SampleStatsTest, RunningAndRangeStatisticsMatchATwoPassReference) {
    std::mt19937 random(5);
    std::normal_distribution<float> noise(0.0f, 1.0f);
    std::uniform_int_distribution<int> roll(0, 99);
    struct SSignal {
        const char* m_szName;
        float (*m_fnValue)(std::size_t, float, int);
    };
    const SSignal signals[] = {
        {"offset", [](std::size_t j, float, int) { return 1e7f + static_cast<float>(j % 2); }},
        {"ramp", [](std::size_t j, float, int) { return static_cast<float>(j); }},
        {"noise", [](std::size_t, float n, int) { return 1e6f + 0.25f * n; }},
        {"huge", [](std::size_t j, float, int) { return j % 3 == 0 ? 3e38f : -3e38f; }},
        {"gaps", [](std::size_t, float n, int r) { return r < 10   ? kNaN
                                                          : r < 13 ? -kInf
                                                                   : n; }},
        {"all gaps", [](std::size_t, float, int) { return kNaN; }},
    };
    for (const SSignal& signal : signals) {
        std::vector<float> values;
        CSampleSeries series;
        CRunningStats running;
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
            std::size_t a = place(random);
            std::size_t b = place(random);
            std::tie(a, b) = std::minmax(a, b);
            ExpectMatches(ComputeStats(series, a, b), values, a, b, signal.m_szName);
        }
    }
}

TEST(SampleStatsTest, MinMaxLastAndEmptyRanges) {
    CSampleSeries series;
    for (const float v : {2.0f, -kInf, kNaN, 5.0f, kNaN}) {
        series.Append(v);
    }
    const SSampleStats all = ComputeStats(series, 0, 5);
    EXPECT_EQ(all.Min(), -kInf);
    EXPECT_EQ(all.Max(), 5.0f);
    EXPECT_TRUE(std::isnan(all.m_fLast)); // the last sample is a gap
    EXPECT_EQ(all.Mean(), 3.5);
    const SSampleStats none = ComputeStats(series, 2, 3);
    EXPECT_TRUE(std::isnan(none.Min()) && std::isnan(none.Max()) && std::isnan(none.StdDev()));
    // A cleared series starts the running figures over.
    CRunningStats running;
    running.Update(series);
    series.clear();
    series.Append(1.0f);
    running.Update(series);
    EXPECT_EQ(running.All().m_nCount, 1u);
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
    meter.Reset();
    EXPECT_EQ(meter.PerSecond(t0 + milliseconds(2000)), CRateMeter::SRates{});
}

} // namespace
