#include "PlotGeometry.h"

#include "SaturatingMath.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>

CPlotGeometry::CPlotGeometry(int nClientWidth, int nClientHeight)
    : m_nWidth(nClientWidth), m_nHeight(nClientHeight) {
    const std::int64_t plotWidth = std::int64_t{nClientWidth} - 2 * kMarginX;
    m_fPixelsPerDiv = static_cast<float>(plotWidth / kDivisions);
    const std::int64_t plotHeight = std::llabs(std::int64_t{nClientHeight} - 2 * kMarginY);
    m_fYStep = static_cast<float>(plotHeight) * 0.1f;
}

float CPlotGeometry::GetGridYf(int i) const {
    return static_cast<float>(i) * m_fYStep + static_cast<float>(kMarginY);
}

int CPlotGeometry::GetGridY(int i) const {
    return SaturatingTrunc(GetGridYf(i));
}

int CPlotGeometry::GetYLabelTop(int i) const {
    return SaturatingTrunc(GetGridYf(i) - 10.0f);
}

int CPlotGeometry::GetGridX(int j) const {
    return SaturatingTrunc(static_cast<float>(j) * m_fPixelsPerDiv + static_cast<float>(kMarginX));
}

CYMapper::CYMapper(const CPlotGeometry& geometry, float fYMax, float fYMin)
    : m_lfBottom(geometry.GetBottom()),
      m_lfHeight(static_cast<long double>(geometry.GetBottom()) - geometry.GetTop()),
      m_lfYMin(fYMin), m_lfRange(static_cast<long double>(fYMax) - fYMin),
      m_dBottom(geometry.GetBottom()),
      m_dHeight(static_cast<double>(geometry.GetBottom()) - geometry.GetTop()), m_dYMin(fYMin),
      m_dRange(static_cast<double>(fYMax) - fYMin), m_nMiddle(geometry.GetMiddleY()) {
    m_bEmpty = !std::isfinite(m_lfRange) || m_lfRange == 0.0L;
}

int CYMapper::ExtendedValueToY(float v) const {
    if (m_bEmpty || v != v) {
        return m_nMiddle;
    }
    const long double y = m_lfBottom - (v - m_lfYMin) / m_lfRange * m_lfHeight;
    // An infinite value on a plot of no height: inf * 0.
    if (y != y) {
        return m_nMiddle;
    }
    return SaturatingTrunc(y);
}

float YLabelValue(int i, float fYMax, float fYMin) {
    const float vStep = (fYMax - fYMin) * 0.1f;
    if (std::isfinite(vStep)) {
        return fYMax - static_cast<float>(i) * vStep;
    }
    // A range wider than the float range (typed limits near +-FLT_MAX).
    const double wideStep = (static_cast<double>(fYMax) - fYMin) * 0.1f;
    return SaturateToFloat(fYMax - i * wideStep);
}

int XLabelNumber(int j, float fPointsPerDiv, int nStart) {
    return SaturatingTrunc(static_cast<double>(j) * fPointsPerDiv + nStart);
}
