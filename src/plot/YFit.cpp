#include "YFit.h"

#include "PlotScroll.h"
#include "SaturatingMath.h"
#include "SeriesSummary.h"

#include <algorithm>
#include <cmath>

bool FitYRange(std::span<const CReplayChannel> channels, int nDrawnCount, float fPointsPerDiv,
               int nScrollBack, float& fYMax, float& fYMin) {
    CValueRange range;
    const std::size_t nDrawn = std::min(channels.size(), static_cast<std::size_t>(nDrawnCount));
    for (std::size_t c = 0; c < nDrawn; ++c) {
        const CReplayChannel& channel = channels[c];
        if (channel.m_bHidden) {
            continue;
        }
        const CPlotWindow window =
            ComputeVisibleWindow(channel.m_nCount, fPointsPerDiv, nScrollBack, false);
        if (window.m_nStart < window.m_nEnd) {
            range.Merge(channel.m_pSummary->Range(*channel.m_pSeries,
                                                  static_cast<std::size_t>(window.m_nStart),
                                                  static_cast<std::size_t>(window.m_nEnd), true));
        }
    }
    if (!range.HasNumbers()) {
        return false;
    }
    const double span = static_cast<double>(range.m_fMax) - range.m_fMin;
    const double margin =
        0.05 * (span > 0.0 ? span : std::max(std::fabs(static_cast<double>(range.m_fMax)), 1.0));
    fYMax = SaturateToFloat(range.m_fMax + margin);
    fYMin = SaturateToFloat(range.m_fMin - margin);
    return true;
}
