#pragma once

// Where the window of samples lies on a channel's series, and how the user moves it. The
// scroll-back counts samples behind the newest one; every limit uses the sample count of
// the first channel. All arithmetic is done in double and saturates, so a ppd of 2e9 or a
// series of 2^31 samples neither overflows nor loses samples to float rounding.

// The samples [m_nStart, m_nEnd) of one channel; sample m_nStart + p is drawn at position p.
struct CPlotWindow {
    int m_nStart = 0;
    int m_nEnd = 0;
    // The ppd to keep: doubled once when "Double ppd at max" applied.
    float m_fPointsPerDiv = 0.0f;
    bool m_bDoubled = false;
};

CPlotWindow ComputeVisibleWindow(int nSampleCount, float fPointsPerDiv, int nScrollBack,
                                 bool bDoublePpdAtMax);

// The largest scroll-back, at which the first channel's window starts at sample 0.
int MaxScrollBack(int nFirstChannelCount, float fPointsPerDiv);

// The horizontal scroll bar in the platform's terms: range m_nMin..m_nMax (the sample count
// itself), a page of m_nPage units, the box at m_nPos. m_nLastPos is the largest position
// the box can take (m_nMax - m_nPage + 1), which is a Qt scroll bar's maximum.
struct CScrollBarState {
    int m_nMin = 0;
    int m_nMax = 0;
    int m_nPage = 0;
    int m_nPos = 0;
    int m_nLastPos = 0;
    // The page covers the whole range: the bar is not shown.
    bool m_bHidden = true;
};

// nFirstChannelCount is 0 while the channel store does not exist.
CScrollBarState ComputeScrollBar(int nFirstChannelCount, float fPointsPerDiv, int nScrollBack);

enum class ScrollAction {
    None,      // trough clicks, thumb release, end of scroll, a wheel delta of 0
    OneOlder,  // left arrow of the bar, wheel down, Left key
    OneNewer,  // right arrow of the bar, wheel up, Right key
    PageOlder, // Page Down key: 50 samples
    PageNewer, // Page Up key: 50 samples
    Oldest,    // Home key
    Newest,    // End key
};

// The wheel moves one sample per notification whatever the size of the delta.
ScrollAction WheelScrollAction(int nDelta);

struct CScrollResult {
    int m_nScrollBack = 0;
    // The action switches collecting off, also when a limit kept the scroll-back as it was.
    bool m_bStopCollecting = false;
};

CScrollResult ApplyScrollAction(ScrollAction eAction, int nScrollBack, int nMaxScrollBack);

// A thumb-track notification at track position nTrackPos. The move is measured from the
// previous notification, nLastTrackPos (the view's g_nLastTrackPos), which is updated; a
// notification at position 0 moves nothing.
CScrollResult ApplyThumbTrack(int nTrackPos, int& nLastTrackPos, int nScrollBack,
                              int nMaxScrollBack);
