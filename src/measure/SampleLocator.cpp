#include "SampleLocator.h"

#include "SaturatingMath.h"

#include <cstdint>

CSampleLocator::CSampleLocator(const CPlotGeometry& geometry, const CPlotWindow& window)
    : m_geometry(geometry), m_window(window) {}

std::optional<int> CSampleLocator::SampleToX(int n) const {
    if (n < m_window.m_nStart || n >= m_window.m_nEnd) {
        return std::nullopt;
    }
    return PositionX(n - m_window.m_nStart);
}

int CSampleLocator::FirstPositionFrom(int x, int nLimit) const {
    // PositionToX never decreases with the position while pixels per division are not
    // negative, so a binary search finds the column's first sample in about 30 steps.
    int lo = 0;
    int hi = nLimit;
    while (lo < hi) {
        const int mid = lo + (hi - lo) / 2;
        if (PositionX(mid) < x) {
            lo = mid + 1;
        } else {
            hi = mid;
        }
    }
    return lo;
}

int CSampleLocator::Capacity() const {
    return SaturatingTrunc(static_cast<double>(CPlotGeometry::kDivisions) *
                           m_window.m_fPointsPerDiv);
}

std::optional<int> CSampleLocator::SampleAtX(int x) const {
    const int nCount = m_window.m_nEnd - m_window.m_nStart;
    if (nCount <= 0 || m_geometry.GetPixelsPerDiv() <= 0.0f || x < m_geometry.GetLeft() ||
        x > m_geometry.GetRight()) {
        return std::nullopt;
    }
    const int p = FirstPositionFrom(x, nCount);
    if (p < nCount && PositionX(p) == x) {
        return m_window.m_nStart + p;
    }
    // Between two columns (or beyond the last): the nearer, the earlier when both are as
    // near, and there the column's first sample.
    const bool bLater = p < nCount && (p == 0 || std::int64_t{PositionX(p)} - x <
                                                     std::int64_t{x} - PositionX(p - 1));
    if (bLater) {
        return m_window.m_nStart + p;
    }
    return m_window.m_nStart + FirstPositionFrom(PositionX(p - 1), p - 1);
}
