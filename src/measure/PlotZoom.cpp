#include "PlotZoom.h"

#include "PlotScroll.h"
#include "SampleLocator.h"
#include "SaturatingMath.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>

namespace {

// The value on row y for the current Y range: the inverse of ValueToY without its
// truncation, so that the dragged rows become the new top and bottom edges.
double RowValue(const CPlotGeometry& geometry, const SPlotRanges& ranges, int y) {
    const double height = static_cast<double>(geometry.GetBottom()) - geometry.GetTop();
    const double range = static_cast<double>(ranges.m_fYMax) - ranges.m_fYMin;
    return ranges.m_fYMin + (geometry.GetBottom() - y) / height * range;
}

} // namespace

SZoom ZoomToRect(const CPlotGeometry& geometry, const SPlotRanges& current, int nFirstCount,
                 CPixel pressed, CPixel released) {
    SZoom zoom{EZoomResult::kTooSmall, current};
    const int xLeft = std::max(std::min(pressed.m_nX, released.m_nX), geometry.GetLeft());
    const int xRight = std::min(std::max(pressed.m_nX, released.m_nX), geometry.GetRight());
    const int yTop = std::max(std::min(pressed.m_nY, released.m_nY), geometry.GetTop());
    const int yBottom = std::min(std::max(pressed.m_nY, released.m_nY), geometry.GetBottom());
    if (std::int64_t{xRight} - xLeft < kMinZoomPixels ||
        std::int64_t{yBottom} - yTop < kMinZoomPixels) {
        return zoom;
    }

    const CPlotWindow window =
        ComputeVisibleWindow(nFirstCount, current.m_fPointsPerDiv, current.m_nScrollBack, false);
    const CSampleLocator locator(geometry, window);
    const int nCapacity = locator.Capacity();
    const int pFirst = locator.FirstPositionFrom(xLeft, nCapacity);
    const int pEnd = locator.FirstPositionFrom(xRight == INT_MAX ? xRight : xRight + 1, nCapacity);
    if (pFirst >= pEnd) {
        zoom.m_eResult = EZoomResult::kNoSamples;
        return zoom;
    }
    SPlotRanges& ranges = zoom.m_ranges;
    const int nDivisions = CPlotGeometry::kDivisions;
    // In 64 bits: a window of a saturated ppd holds INT_MAX positions.
    const std::int64_t nPpd =
        std::max<std::int64_t>(1, (std::int64_t{pEnd} - pFirst + nDivisions - 1) / nDivisions);
    ranges.m_fPointsPerDiv = static_cast<float>(nPpd);
    // The window starts at last - 10 * ppd - scroll-back (PlotScroll).
    const std::int64_t nWidth = nDivisions * nPpd;
    const std::int64_t nStart = std::int64_t{window.m_nStart} + pFirst;
    const std::int64_t nMaxBack = std::max<std::int64_t>(0, nFirstCount - 1 - nWidth);
    ranges.m_nScrollBack =
        static_cast<int>(std::clamp<std::int64_t>(nFirstCount - 1 - nWidth - nStart, 0, nMaxBack));
    ranges.m_bDoublePpdAtMax = false;
    ranges.m_bAutoScale = false;

    const double range = static_cast<double>(current.m_fYMax) - current.m_fYMin;
    if (std::isfinite(range) && range != 0.0) {
        const float fTop = SaturateToFloat(RowValue(geometry, current, yTop));
        const float fBottom = SaturateToFloat(RowValue(geometry, current, yBottom));
        if (fTop != fBottom) {
            ranges.m_fYMax = fTop;
            ranges.m_fYMin = fBottom;
        }
    }
    zoom.m_eResult = EZoomResult::kZoomed;
    return zoom;
}

void CZoomHistory::Push(const SPlotRanges& before, int nFirstCount) {
    m_vEntries.push_back({before, nFirstCount});
    if (m_vEntries.size() > kDepth) {
        m_vEntries.pop_front();
    }
}

std::optional<SPlotRanges> CZoomHistory::Back(int nFirstCount) {
    if (m_vEntries.empty()) {
        return std::nullopt;
    }
    const SEntry entry = m_vEntries.back();
    m_vEntries.pop_back();
    SPlotRanges ranges = entry.m_ranges;
    if (ranges.m_nScrollBack > 0) {
        const std::int64_t nArrived = std::max(0, nFirstCount - entry.m_nFirstCount);
        const std::int64_t nBack = std::int64_t{ranges.m_nScrollBack} + nArrived;
        ranges.m_nScrollBack = static_cast<int>(
            std::clamp<std::int64_t>(nBack, 0, MaxScrollBack(nFirstCount, ranges.m_fPointsPerDiv)));
    }
    return ranges;
}
