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
    // The alarm: with the sound on, the last value a paint draws above the upper limit beeps
    // high, below the lower one low.
    bool m_bSoundEnabled = false;
    float m_fBeepLimitMin = 0.0f;
    float m_fBeepLimitMax = 0.0f;
};

// Whether any replayed paint would have sounded the high alarm, and the low one.
struct SReplayAlarms {
    bool m_bHigh = false;
    bool m_bLow = false;
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
// decide the range as its samples one by one would, whatever their order. It also tells
// which alarms those paints would have sounded, each tested as its paint tests it (the last
// value of each drawn channel with its sound on; 0.0 for an empty window), for the caller to
// sound each at most once.
// The channels' counts are those after the logged sets; a log that does not fit them (the
// store was emptied behind it) replays nothing.
SReplayAlarms ReplaySkippedPaints(const CSetSizeLog& log, std::span<const CReplayChannel> channels,
                                  bool bIncludingLast, CPaintDecisions& decisions);

// The scroll-back that keeps the window on the same samples after nNewSamples more arrived
// in the first channel: it grows with them, up to the largest scroll-back.
int FollowScrollBack(int nScrollBack, int nNewSamples, int nMaxScrollBack);
