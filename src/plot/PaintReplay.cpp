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

} // namespace

void ReplaySkippedPaints(const CSetSizeLog& log, std::span<const CReplayChannel> channels,
                         bool bIncludingLast, CPaintDecisions& decisions) {
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
            return;
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
            // last paint of the run bound what all of them drew.
            for (std::size_t c = 0; c < std::min(nSize, nChannels); ++c) {
                if (channels[c].m_bHidden || !decisions.m_bAutoScale) {
                    continue;
                }
                const CPlotWindow first =
                    ComputeVisibleWindow(static_cast<int>(counts[c] + 1), decisions.m_fPointsPerDiv,
                                         decisions.m_nScrollBack, false);
                const CPlotWindow last = ComputeVisibleWindow(
                    static_cast<int>(counts[c] + static_cast<std::int64_t>(nSets)),
                    decisions.m_fPointsPerDiv, decisions.m_nScrollBack, false);
                seen[c].Add(first.m_nStart, std::max(first.m_nEnd, last.m_nEnd), channels[c],
                            decisions.m_scale);
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
}

int FollowScrollBack(int nScrollBack, int nNewSamples, int nMaxScrollBack) {
    if (nScrollBack <= 0 || nNewSamples <= 0) {
        return nScrollBack;
    }
    const std::int64_t followed = std::int64_t{nScrollBack} + nNewSamples;
    return static_cast<int>(
        std::min<std::int64_t>(followed, std::max(nMaxScrollBack, nScrollBack)));
}
