#pragma once

#include "SampleSeries.h"
#include "SetSizeLog.h"
#include "YScale.h"

#include <span>

class CSeriesSummary;

// One channel as the paint sees it now.
struct CReplayChannel {
    int m_nCount = 0;
    bool m_bHidden = false;
    const CSampleSeries* m_pSeries = nullptr;
    const CSeriesSummary* m_pSummary = nullptr; // brought up to the series
};

// What the paint decides and keeps: ppd doubling and automatic scaling.
struct CPaintDecisions {
    float m_fPointsPerDiv = 5.0f;
    int m_nScrollBack = 0;
    bool m_bDoublePpdAtMax = false;
    bool m_bAutoScale = false;
    // The scroll-back grew with every sample of the first channel (the window held still).
    bool m_bScrollBackFollowed = false;
    CYScale m_scale;
};

// Paints come at most once a frame, but each set once had a paint of its own, and what a
// paint decides stays: ppd doubles channel by channel, automatic scaling takes in every
// sample of every drawn window. This replays the decisions of the paints that would have
// followed each logged set, the last one left out unless bIncludingLast (the paint about to
// run is that one's). Only windows and their extremes are computed: a window's extremes
// decide the range as its samples one by one would, whatever their order.
// The channels' counts are those after the logged sets; a log that does not fit them (the
// store was emptied behind it) replays nothing.
void ReplaySkippedPaints(const CSetSizeLog& log, std::span<const CReplayChannel> channels,
                         bool bIncludingLast, CPaintDecisions& decisions);

// The scroll-back that keeps the window on the same samples after nNewSamples more arrived
// in the first channel: it grows with them, up to the largest scroll-back.
int FollowScrollBack(int nScrollBack, int nNewSamples, int nMaxScrollBack);
