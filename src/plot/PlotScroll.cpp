#include "PlotScroll.h"

#include "SaturatingMath.h"

#include <algorithm>
#include <cstdint>

namespace {

constexpr int kPageScroll = 50;

double WindowWidth(float fPointsPerDiv) {
    return 10.0 * fPointsPerDiv;
}

void PlaceWindow(int nSampleCount, float fPointsPerDiv, int nScrollBack, CPlotWindow& window) {
    const double last = static_cast<double>(nSampleCount) - 1.0;
    const double width = WindowWidth(fPointsPerDiv);
    window.m_nStart = std::max(0, SaturatingTrunc(last - width - nScrollBack));
    window.m_nEnd = std::min(nSampleCount, SaturatingTrunc(window.m_nStart + width));
    window.m_fPointsPerDiv = fPointsPerDiv;
}

int ClampToInt(std::int64_t v, int nLo, int nHi) {
    return static_cast<int>(std::clamp<std::int64_t>(v, nLo, nHi));
}

} // namespace

CPlotWindow ComputeVisibleWindow(int nSampleCount, float fPointsPerDiv, int nScrollBack,
                                 bool bDoublePpdAtMax) {
    CPlotWindow window;
    PlaceWindow(nSampleCount, fPointsPerDiv, nScrollBack, window);
    if (window.m_nStart != 0 && bDoublePpdAtMax) {
        PlaceWindow(nSampleCount, 2.0f * fPointsPerDiv, nScrollBack, window);
        window.m_bDoubled = true;
    }
    return window;
}

int MaxScrollBack(int nFirstChannelCount, float fPointsPerDiv) {
    const double m = static_cast<double>(nFirstChannelCount) - 1.0 - WindowWidth(fPointsPerDiv);
    return std::max(0, SaturatingTrunc(m));
}

CScrollBarState ComputeScrollBar(int nFirstChannelCount, float fPointsPerDiv, int nScrollBack) {
    CScrollBarState bar;
    const int n = std::max(0, nFirstChannelCount);
    bar.m_nMax = n;
    bar.m_nPage = SaturatingTrunc(WindowWidth(fPointsPerDiv));
    const double pos = static_cast<double>(n) + 1.0 - WindowWidth(fPointsPerDiv) - nScrollBack;
    // The platform keeps the box within min .. max - (page - 1), and hides a bar whose box
    // cannot move.
    const std::int64_t lastPos =
        std::int64_t{bar.m_nMax} - std::max<std::int64_t>(std::int64_t{bar.m_nPage} - 1, 0);
    bar.m_bHidden = bar.m_nMin >= lastPos;
    bar.m_nLastPos = ClampToInt(lastPos, 0, n);
    bar.m_nPos = std::clamp(SaturatingTrunc(pos), 0, bar.m_nLastPos);
    return bar;
}

ScrollAction WheelScrollAction(int nDelta) {
    if (nDelta < 0) {
        return ScrollAction::OneOlder;
    }
    if (nDelta > 0) {
        return ScrollAction::OneNewer;
    }
    return ScrollAction::None;
}

CScrollResult ApplyScrollAction(ScrollAction eAction, int nScrollBack, int nMaxScrollBack) {
    CScrollResult result{nScrollBack, true};
    switch (eAction) {
    case ScrollAction::OneOlder:
        if (nScrollBack < nMaxScrollBack) {
            ++result.m_nScrollBack;
        }
        break;
    case ScrollAction::OneNewer:
        if (nScrollBack > 0) {
            --result.m_nScrollBack;
        }
        break;
    case ScrollAction::PageOlder:
        result.m_nScrollBack = static_cast<int>(
            std::min<std::int64_t>(std::int64_t{nScrollBack} + kPageScroll, nMaxScrollBack));
        break;
    case ScrollAction::PageNewer:
        result.m_nScrollBack =
            static_cast<int>(std::max<std::int64_t>(std::int64_t{nScrollBack} - kPageScroll, 0));
        break;
    case ScrollAction::Oldest:
        result.m_nScrollBack = nMaxScrollBack;
        break;
    case ScrollAction::Newest:
        result.m_nScrollBack = 0;
        break;
    case ScrollAction::None:
        result.m_bStopCollecting = false;
        break;
    }
    return result;
}

CScrollResult ApplyThumbTrack(int nTrackPos, int& nLastTrackPos, int nScrollBack,
                              int nMaxScrollBack) {
    CScrollResult result{nScrollBack, false};
    if (nTrackPos != 0 && nTrackPos != nLastTrackPos) {
        result.m_bStopCollecting = true;
        const std::int64_t moved = std::int64_t{nLastTrackPos} - nTrackPos;
        const std::int64_t scrollBack = std::int64_t{nScrollBack} + moved;
        if (moved > 0) {
            result.m_nScrollBack =
                static_cast<int>(std::min<std::int64_t>(scrollBack, nMaxScrollBack));
        } else {
            result.m_nScrollBack = static_cast<int>(std::max<std::int64_t>(scrollBack, 0));
        }
    }
    nLastTrackPos = nTrackPos;
    return result;
}
