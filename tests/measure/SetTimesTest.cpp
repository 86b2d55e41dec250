#include "SetTimes.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

using std::chrono::milliseconds;
const CSetTimes::Clock::time_point t0{std::chrono::hours(5)};

// Reads of every kind (one set, bursts, several reads in one millisecond, none) over many
// stretches of the store: every set reads back its read's time, within 4 bytes a set.
TEST(SetTimesTest, EverySetHasItsReadsTimeWithinFourBytes) {
    const struct {
        const char* m_szName;
        int m_nMinSets, m_nMaxSets;     // per read
        int m_nMinStepMs, m_nMaxStepMs; // between reads
    } patterns[] = {{"singles", 1, 1, 1, 3},
                    {"bursts", 0, 30, 0, 5},
                    {"same millisecond", 0, 2, 0, 1},
                    {"two at a time", 2, 2, 1, 1}};
    std::mt19937 random(3);
    for (const auto& pattern : patterns) {
        CSetTimes times;
        std::vector<std::uint32_t> expected;
        std::uniform_int_distribution<int> sets(pattern.m_nMinSets, pattern.m_nMaxSets);
        std::uniform_int_distribution<int> step(pattern.m_nMinStepMs, pattern.m_nMaxStepMs);
        int nMs = 0;
        for (int read = 0; read < 20000; ++read) {
            const int nSets = sets(random);
            times.OnSets(t0 + milliseconds(nMs), static_cast<std::size_t>(nSets));
            expected.insert(expected.end(), static_cast<std::size_t>(nSets),
                            static_cast<std::uint32_t>(nMs));
            nMs += step(random);
        }
        // The first read with sets is time 0.
        const std::uint32_t nFirst = expected.front();
        ASSERT_EQ(times.SetCount(), expected.size()) << pattern.m_szName;
        for (std::size_t n = 0; n < expected.size(); ++n) {
            ASSERT_EQ(times.Milliseconds(n), expected[n] - nFirst) << pattern.m_szName << " " << n;
        }
        EXPECT_EQ(times.Milliseconds(expected.size()), std::nullopt);
        EXPECT_LE(times.PayloadBytes(), 4 * expected.size()) << pattern.m_szName;
    }
}

TEST(SetTimesTest, RecordingTimesThenLiveOnesAndReset) {
    CSetTimes times;
    times.AdoptRowTimes({500, 500, 500, 500, 700, 650, 900});
    const std::uint32_t want[] = {0, 0, 0, 0, 200, 200, 400};
    for (std::size_t n = 0; n < 7; ++n) {
        EXPECT_EQ(times.Milliseconds(n), want[n]) << n; // never back in time
    }
    EXPECT_DOUBLE_EQ(*times.AverageSetsPerSecond(), 6 / 0.4);
    // Live sets go on from the recording's last time.
    times.OnSets(t0, 1);
    times.OnSets(t0 + milliseconds(100), 2);
    EXPECT_EQ(times.Milliseconds(7), 400u);
    EXPECT_EQ(times.Seconds(9), 0.5);
    times.Reset();
    EXPECT_EQ(times.Seconds(0), std::nullopt);
    times.OnSets(t0 + milliseconds(100), 1);
    EXPECT_EQ(times.Milliseconds(0), 0u);
}

TEST(SetTimesTest, AxisLabelsTakeTheDecimalsOfTheirStep) {
    const struct {
        int m_nMsPerSet;
        float m_fPpd;
        int m_nStart;
        const char* m_szLabels; // j = 0, 1 and 10
    } cases[] = {
        {2000, 10, 0, "0 20 "},         // 20 s steps; sample 100 has no time
        {50, 4, 0, "0.0 0.2 2.0"},      // 0.2 s
        {10, 5, 2, "0.02 0.07 0.52"},   // 0.05 s
        {0, 5, 0, "0.000 0.000 0.000"}, // all in one millisecond
    };
    for (const auto& c : cases) {
        CSetTimes times;
        for (int n = 0; n < 60; ++n) {
            times.OnSets(t0 + milliseconds(n * c.m_nMsPerSet), 1);
        }
        const auto labels = TimeAxisLabels(times, c.m_fPpd, c.m_nStart);
        EXPECT_EQ(labels[0] + " " + labels[1] + " " + labels[10], c.m_szLabels);
    }
}

} // namespace
