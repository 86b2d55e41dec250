#include "PaintReplay.h"
#include "PlotScroll.h"
#include "SeriesSummary.h"
#include "TraceBuilder.h"
#include "TraceRaster.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>
#include <random>

namespace {

// Ten channels fed set by set, with their summaries; channels 1 and 2 beep.
struct CStore {
    std::array<CSampleSeries, 10> m_vSeries;
    std::array<CSeriesSummary, 10> m_vSummaries;
    std::array<bool, 10> m_vHidden{};

    void Add(const std::vector<float>& set, CSetSizeLog& log) {
        for (std::size_t c = 0; c < set.size(); ++c) {
            m_vSeries[c].Append(set[c]);
        }
        log.Add(static_cast<int>(set.size()));
    }
    CReplayChannel Channel(std::size_t c) {
        // Channel 3 beeps too, but is hidden; it and the silent ones would beep at any value.
        const bool bSound = c < 3;
        const float fLimit = c == 0 ? 30.0f : c == 1 ? 2.5f : 0.0f;
        return {static_cast<int>(m_vSeries[c].size()),
                m_vHidden[c],
                &m_vSeries[c],
                &m_vSummaries[c],
                bSound,
                c == 1 ? -100.0f : -fLimit,
                fLimit};
    }
    std::array<CReplayChannel, 10> Channels() {
        std::array<CReplayChannel, 10> channels;
        for (std::size_t c = 0; c < 10; ++c) {
            m_vSummaries[c].Update(m_vSeries[c]);
            channels[c] = Channel(c);
        }
        return channels;
    }
};

// The decisions of the paint after every set, the way the paint makes them: channel by
// channel, window by window, sample by sample; and the alarms it sounds.
SReplayAlarms PaintDecisions(CStore& store, int nSetCount, CPaintDecisions& d) {
    SReplayAlarms alarms;
    for (int c = 0; c < nSetCount; ++c) {
        if (store.m_vHidden[static_cast<std::size_t>(c)]) {
            continue;
        }
        const CSampleSeries& series = store.m_vSeries[static_cast<std::size_t>(c)];
        const CPlotWindow window =
            ComputeVisibleWindow(static_cast<int>(series.size()), d.m_fPointsPerDiv,
                                 d.m_nScrollBack, d.m_bDoublePpdAtMax);
        d.m_fPointsPerDiv = window.m_fPointsPerDiv;
        float fLast = 0.0f;
        for (int j = window.m_nStart; j < window.m_nEnd; ++j) {
            fLast = series[static_cast<std::size_t>(j)];
            if (d.m_bAutoScale) {
                d.m_scale.AutoScale(fLast);
            }
        }
        const CReplayChannel channel = store.Channel(static_cast<std::size_t>(c));
        if (channel.m_bSoundEnabled) {
            alarms.m_bHigh = alarms.m_bHigh || fLast > channel.m_fBeepLimitMax;
            alarms.m_bLow = alarms.m_bLow || fLast < channel.m_fBeepLimitMin;
        }
    }
    return alarms;
}

TEST(PaintReplayTest, OnePaintAfterManySetsDecidesAsAPaintAfterEachSet) {
    struct SCase {
        const char* szName;
        float fPpd;
        bool bDouble;
        int nScrollBack;
        bool bFollow; // keep collecting while scrolled back: the window holds still
    };
    const SCase cases[] = {
        {"window of 10", 1.0f, false, 0, false},        {"doubling", 1.0f, true, 0, false},
        {"scrolled back", 2.0f, false, 15, false},      {"held still", 2.0f, false, 15, true},
        {"held still, doubling", 1.0f, true, 15, true}, {"wide window", 50.0f, false, 0, false}};
    for (const SCase& testCase : cases) {
        std::mt19937 random(3);
        std::uniform_int_distribution<int> size(0, 4);
        std::uniform_int_distribution<int> chance(0, 99);
        std::normal_distribution<float> noise(0.0f, 1.0f);
        CStore each;
        CStore batch;
        each.m_vHidden[2] = batch.m_vHidden[2] = true;
        CPaintDecisions byEach{testCase.fPpd, testCase.nScrollBack, testCase.bDouble,
                               true,          testCase.bFollow,     {}};
        CPaintDecisions byBatch = byEach;
        CSetSizeLog log;
        CSetSizeLog unused;
        SReplayAlarms skipped; // of the paints after each set that one paint replaces
        int nBatchFirstGrowth = 0;
        int nAlarmBatches = 0;
        for (int k = 0; k < 3000; ++k) {
            // Mostly sets of three; spikes that leave a small window long before the paint.
            std::vector<float> set(k % 500 < 400 ? 3 : static_cast<std::size_t>(size(random)));
            for (float& v : set) {
                v = chance(random) == 0 ? noise(random) * 40.0f : noise(random);
            }
            if (k == 1234) {
                set.assign(3, std::numeric_limits<float>::infinity());
            }
            // Only the paint after the set after the spike draws it (the newest sample is
            // left out of a full window); the next set is shorter, and its paint leaves the
            // channel out.
            if (k == 1499) {
                set = {0.0f, 1000.0f, 0.0f};
            } else if (k == 1500) {
                set = {0.0f, 0.0f, 0.0f};
            } else if (k == 1501) {
                set = {0.0f};
            }
            // The paint after the set before this one is now a skipped one.
            const auto follow = [&](CStore& store, int nGrowth, CPaintDecisions& d) {
                if (testCase.bFollow) {
                    const int nFirst = static_cast<int>(store.m_vSeries[0].size());
                    d.m_nScrollBack = FollowScrollBack(d.m_nScrollBack, nGrowth,
                                                       MaxScrollBack(nFirst, d.m_fPointsPerDiv));
                }
            };
            each.Add(set, unused);
            follow(each, set.empty() ? 0 : 1, byEach);
            const SReplayAlarms alarms = PaintDecisions(each, static_cast<int>(set.size()), byEach);
            batch.Add(set, log);
            nBatchFirstGrowth += set.empty() ? 0 : 1;
            if (k % 97 == 96 || k == 1501 || k == 2999) {
                follow(batch, nBatchFirstGrowth, byBatch);
                nBatchFirstGrowth = 0;
                const SReplayAlarms replayed =
                    ReplaySkippedPaints(log, batch.Channels(), false, byBatch);
                PaintDecisions(batch, static_cast<int>(set.size()), byBatch);
                log.Clear();
                ASSERT_EQ(byBatch.m_fPointsPerDiv, byEach.m_fPointsPerDiv) << testCase.szName;
                ASSERT_EQ(byBatch.m_nScrollBack, byEach.m_nScrollBack) << testCase.szName;
                ASSERT_EQ(byBatch.m_scale.m_fYMax, byEach.m_scale.m_fYMax) << testCase.szName;
                ASSERT_EQ(byBatch.m_scale.m_fYMin, byEach.m_scale.m_fYMin) << testCase.szName;
                ASSERT_EQ(byBatch.m_scale.m_fAutoMax, byEach.m_scale.m_fAutoMax);
                ASSERT_EQ(byBatch.m_scale.m_fAutoMin, byEach.m_scale.m_fAutoMin);
                ASSERT_EQ(replayed.m_bHigh, skipped.m_bHigh) << testCase.szName << " " << k;
                ASSERT_EQ(replayed.m_bLow, skipped.m_bLow) << testCase.szName << " " << k;
                nAlarmBatches += skipped.m_bHigh || skipped.m_bLow ? 1 : 0;
                skipped = {};
            } else {
                skipped.m_bHigh = skipped.m_bHigh || alarms.m_bHigh;
                skipped.m_bLow = skipped.m_bLow || alarms.m_bLow;
            }
        }
        if (testCase.nScrollBack == 0) {
            EXPECT_EQ(byEach.m_scale.m_fAutoMax, 1000.0f) << testCase.szName;
        }
        // Some catch-ups sound an alarm and some do not (a window held still tests one value).
        if (!testCase.bFollow) {
            EXPECT_GT(nAlarmBatches, 3) << testCase.szName;
            EXPECT_LT(nAlarmBatches, 30) << testCase.szName;
        }
    }
}

// Keep collecting while scrolled back: the window held still draws the same samples after
// every set, so the skipped paints test the same last value.
TEST(PaintReplayTest, AWindowHeldStillReplaysItsPaintsWhereTheyWere) {
    CStore store;
    CSetSizeLog log;
    for (int k = 0; k < 100; ++k) {
        store.Add({static_cast<float>(k)}, log);
    }
    log.Clear();
    CPaintDecisions decisions{1.0f, 20, false, true, true, {}};
    for (int k = 100; k < 150; ++k) {
        store.Add({static_cast<float>(k)}, log);
    }
    decisions.m_nScrollBack = FollowScrollBack(20, 50, MaxScrollBack(150, 1.0f));
    std::array<CReplayChannel, 10> channels = store.Channels();
    // The window of each paint holds samples 69 to 78: every paint tests 78.
    channels[0].m_fBeepLimitMin = 77.5f;
    channels[0].m_fBeepLimitMax = 78.5f;
    const SReplayAlarms alarms = ReplaySkippedPaints(log, channels, true, decisions);
    EXPECT_FALSE(alarms.m_bLow);
    EXPECT_FALSE(alarms.m_bHigh);
    EXPECT_EQ(decisions.m_scale.m_fAutoMax, 78.0f);
    EXPECT_EQ(decisions.m_scale.m_fAutoMin, 0.0f);
}

TEST(PaintReplayTest, AWindowHeldStillGrowsItsScrollBackUpToTheOldest) {
    EXPECT_EQ(FollowScrollBack(0, 5, 100), 0); // following the newest data
    EXPECT_EQ(FollowScrollBack(10, 5, 100), 15);
    EXPECT_EQ(FollowScrollBack(10, 500, 100), 100);
    EXPECT_EQ(FollowScrollBack(120, 5, 100), 120); // beyond the oldest already: left alone
}

// The reduced pixels of a dense window of lines draw the picture of every sample drawn in
// order, the automatic range moving at the same samples.
TEST(PaintReplayTest, ReducedTraceDrawsThePictureOfEverySample) {
    std::mt19937 random(8);
    std::normal_distribution<float> noise(0.0f, 1.0f);
    std::uniform_int_distribution<int> chance(0, 999);
    CSampleSeries series;
    float walk = 0.0f;
    for (int j = 0; j < 200000; ++j) {
        walk += noise(random) * 0.05f;
        const int roll = chance(random);
        series.Append(roll == 0    ? std::numeric_limits<float>::quiet_NaN()
                      : roll == 1  ? noise(random) * 10.0f
                      : j > 150000 ? walk * static_cast<float>(j - 150000) * 0.001f
                                   : walk);
    }
    CSeriesSummary summary;
    summary.Update(series);
    for (const int nWidth : {485, 97, 1600}) {
        for (const bool bAutoScale : {false, true}) {
            for (const int nPointType : {int{kPointTypePoint}, 7}) {
                const int nHeight = 300;
                const CPlotGeometry geometry(nWidth, nHeight);
                CYScale full{2.5f, -2.5f, 0.0f, 0.0f};
                CYScale reduced = full;
                std::vector<CPixel> all;
                std::vector<CPixel> few;
                const float fLastAll = ComputeTracePixels(series, 1000, 199000, geometry, 19800.0f,
                                                          bAutoScale, full, all);
                float fLastFew = 0.0f;
                ASSERT_TRUE(ComputeReducedTracePixels(series, summary, 1000, 199000, geometry,
                                                      19800.0f, bAutoScale, reduced, few,
                                                      fLastFew));
                // A range that keeps growing breaks the window at every new extreme.
                if (!bAutoScale) {
                    EXPECT_LT(few.size() * 20, all.size());
                }
                EXPECT_EQ(fLastFew, fLastAll);
                EXPECT_EQ(reduced.m_fYMax, full.m_fYMax);
                EXPECT_EQ(reduced.m_fYMin, full.m_fYMin);
                std::vector<std::uint32_t> want(static_cast<std::size_t>(nWidth * nHeight),
                                                kRasterWhite);
                std::vector<std::uint32_t> got = want;
                DrawTraceOneByOne({want.data(), nWidth, nHeight, nWidth}, all, nPointType, true,
                                  0xFF00FF00u);
                CTraceRasterizer rasterizer;
                rasterizer.Begin({got.data(), nWidth, nHeight, nWidth});
                rasterizer.Draw(few, nPointType, true, 0xFF00FF00u);
                EXPECT_TRUE(got == want) << nWidth << " auto " << bAutoScale;
            }
        }
    }
}

} // namespace
