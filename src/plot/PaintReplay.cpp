#include "PaintReplay.h"

#include "PlotScroll.h"
#include "SeriesSummary.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace {

// The samples drawn by the replayed paints of one channel, gathered into as few stretches
// as overlap allows before their extremes are looked up.
class CSeenSamples {
public:
    void Add(int nStart, int nEnd, const CReplayChannel& channel, CYScale& scale) {
        if (nStart >= nEnd) {
            return;
        }
        if (m_nStart < m_nEnd && nStart <= m_nEnd && nEnd >= m_nStart) {
            m_nStart = std::min(m_nStart, nStart);
            m_nEnd = std::max(m_nEnd, nEnd);
            return;
        }
        Flush(channel, scale);
        m_nStart = nStart;
        m_nEnd = nEnd;
    }
    void Flush(const CReplayChannel& channel, CYScale& scale) {
        if (m_nStart < m_nEnd) {
            const CValueRange range =
                channel.m_pSummary->Range(*channel.m_pSeries, static_cast<std::size_t>(m_nStart),
                                          static_cast<std::size_t>(m_nEnd), true);
            if (range.HasNumbers()) {
                scale.AutoScale(range.m_fMax);
                scale.AutoScale(range.m_fMin);
            }
        }
        m_nStart = m_nEnd = 0;
    }

private:
    int m_nStart = 0;
    int m_nEnd = 0;
};

// The alarm a paint sounds for a channel whose value tested is fValue.
void TestAlarm(const CReplayChannel& channel, float fValue, SReplayAlarms& alarms) {
    alarms.m_bHigh = alarms.m_bHigh || fValue > channel.m_fBeepLimitMax;
    alarms.m_bLow = alarms.m_bLow || fValue < channel.m_fBeepLimitMin;
}

// The last value of the window, or 0.0 when it is empty.
float AlarmValue(const CReplayChannel& channel, const CPlotWindow& window) {
    return window.m_nEnd > window.m_nStart
               ? (*channel.m_pSeries)[static_cast<std::size_t>(window.m_nEnd - 1)]
               : 0.0f;
}

} // namespace

SReplayAlarms ReplaySkippedPaints(const CSetSizeLog& log, std::span<const CReplayChannel> channels,
                                  bool bIncludingLast, CPaintDecisions& decisions) {
    SReplayAlarms alarms;
    const auto alarmed = [&](const CReplayChannel& channel) {
        return channel.m_bSoundEnabled && !(alarms.m_bHigh && alarms.m_bLow);
    };
    const std::size_t nChannels = channels.size();
    std::vector<std::int64_t> counts(nChannels);
    std::int64_t nFirstGrowth = 0;
    for (std::size_t c = 0; c < nChannels; ++c) {
        std::int64_t grown = 0;
        for (const CSetSizeLog::SRun& run : log.Runs()) {
            grown += run.m_nSize > c ? static_cast<std::int64_t>(run.m_nSets) : 0;
        }
        counts[c] = channels[c].m_nCount - grown;
        if (counts[c] < 0) {
            return alarms;
        }
        if (c == 0) {
            nFirstGrowth = grown;
        }
    }
    std::vector<CSeenSamples> seen(nChannels);
    std::size_t nLeft = log.Sets() - (bIncludingLast ? 0 : 1);
    // With the window held still, the scroll-back was smaller by what the first channel
    // received after each set.
    std::int64_t nFirstToCome = nFirstGrowth;
    auto scrollBackNow = [&] {
        if (!decisions.m_bScrollBackFollowed) {
            return decisions.m_nScrollBack;
        }
        return static_cast<int>(std::max<std::int64_t>(decisions.m_nScrollBack - nFirstToCome, 0));
    };
    // One paint after a set of nSize values.
    auto paint = [&](std::size_t nSize) {
        for (std::size_t c = 0; c < std::min(nSize, nChannels); ++c) {
            if (channels[c].m_bHidden) {
                continue;
            }
            const CPlotWindow window =
                ComputeVisibleWindow(static_cast<int>(counts[c]), decisions.m_fPointsPerDiv,
                                     scrollBackNow(), decisions.m_bDoublePpdAtMax);
            decisions.m_fPointsPerDiv = window.m_fPointsPerDiv;
            if (decisions.m_bAutoScale) {
                seen[c].Add(window.m_nStart, window.m_nEnd, channels[c], decisions.m_scale);
            }
            if (alarmed(channels[c])) {
                TestAlarm(channels[c], AlarmValue(channels[c], window), alarms);
            }
        }
    };
    for (const CSetSizeLog::SRun& run : log.Runs()) {
        if (nLeft == 0) {
            break;
        }
        const std::size_t nSets = std::min(run.m_nSets, nLeft);
        nLeft -= nSets;
        const std::size_t nSize = run.m_nSize;
        const bool bSteady = !decisions.m_bDoublePpdAtMax && !decisions.m_bScrollBackFollowed;
        if (bSteady) {
            // Nothing moves but the windows, each at most a sample a set: the first and the
            // last paint of the run bound what all of them drew, and the ends of the windows
            // between them take every value in between, so their last values are the samples
            // from the first end to the last.
            for (std::size_t c = 0; c < std::min(nSize, nChannels); ++c) {
                const CReplayChannel& channel = channels[c];
                if (channel.m_bHidden || (!decisions.m_bAutoScale && !alarmed(channel))) {
                    continue;
                }
                const CPlotWindow first =
                    ComputeVisibleWindow(static_cast<int>(counts[c] + 1), decisions.m_fPointsPerDiv,
                                         decisions.m_nScrollBack, false);
                const CPlotWindow last = ComputeVisibleWindow(
                    static_cast<int>(counts[c] + static_cast<std::int64_t>(nSets)),
                    decisions.m_fPointsPerDiv, decisions.m_nScrollBack, false);
                if (decisions.m_bAutoScale) {
                    seen[c].Add(first.m_nStart, std::max(first.m_nEnd, last.m_nEnd), channel,
                                decisions.m_scale);
                }
                if (!alarmed(channel)) {
                    continue;
                }
                if (decisions.m_fPointsPerDiv >= 1.0f && first.m_nEnd > first.m_nStart &&
                    last.m_nEnd >= first.m_nEnd) {
                    const CValueRange range = channel.m_pSummary->Range(
                        *channel.m_pSeries, static_cast<std::size_t>(first.m_nEnd - 1),
                        static_cast<std::size_t>(last.m_nEnd));
                    if (range.HasNumbers()) {
                        TestAlarm(channel, range.m_fMax, alarms);
                        TestAlarm(channel, range.m_fMin, alarms);
                    }
                } else {
                    // Windows that may hold no sample: each paint on its own.
                    for (std::size_t k = 1; k <= nSets; ++k) {
                        TestAlarm(
                            channel,
                            AlarmValue(
                                channel,
                                ComputeVisibleWindow(
                                    static_cast<int>(counts[c] + static_cast<std::int64_t>(k)),
                                    decisions.m_fPointsPerDiv, decisions.m_nScrollBack, false)),
                            alarms);
                    }
                }
            }
            for (std::size_t c = 0; c < std::min(nSize, nChannels); ++c) {
                counts[c] += static_cast<std::int64_t>(nSets);
            }
            continue;
        }
        for (std::size_t k = 0; k < nSets; ++k) {
            for (std::size_t c = 0; c < std::min(nSize, nChannels); ++c) {
                ++counts[c];
            }
            nFirstToCome -= nSize > 0 ? 1 : 0;
            paint(nSize);
        }
    }
    for (std::size_t c = 0; c < nChannels; ++c) {
        seen[c].Flush(channels[c], decisions.m_scale);
    }
    return alarms;
}

int FollowScrollBack(int nScrollBack, int nNewSamples, int nMaxScrollBack) {
    if (nScrollBack <= 0 || nNewSamples <= 0) {
        return nScrollBack;
    }
    const std::int64_t followed = std::int64_t{nScrollBack} + nNewSamples;
    return static_cast<int>(
        std::min<std::int64_t>(followed, std::max(nMaxScrollBack, nScrollBack)));
}
