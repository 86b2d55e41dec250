#include "PlotGeometry.h"

#include "SaturatingMath.h"

#include <algorithm>
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
      m_dRange(static_cast<double>(fYMax) - fYMin), m_dFactor(m_dHeight / m_dRange),
      m_nMiddle(geometry.GetMiddleY()) {
    m_bEmpty = !std::isfinite(m_lfRange) || m_lfRange == 0.0L;
}

CPositionStepper::CPositionStepper(const CPlotGeometry& geometry, float fPointsPerDiv,
                                   int nPositions)
    : m_geometry(geometry), m_fPointsPerDiv(fPointsPerDiv) {
    // PositionToX rounds p * ppx / ppd once and then + 40. For whole ppx and ppd the exact
    // quotient is at least 1/ppd away from any integer it is not equal to; with ppd up to
    // 2^20, ppx below 2^22 and every x below 2^24, both roundings stay far inside that
    // distance, so the double formula truncates to 40 + floor(p * ppx / ppd).
    const float ppx = geometry.GetPixelsPerDiv();
    const bool bWhole = fPointsPerDiv >= 1.0f && fPointsPerDiv <= 1048576.0f &&
                        fPointsPerDiv == std::floor(fPointsPerDiv) && ppx >= 0.0f &&
                        ppx < 4194304.0f && ppx == std::floor(ppx);
    if (bWhole) {
        m_nPixelsPerDiv = static_cast<std::int64_t>(ppx);
        m_nPointsPerDiv = static_cast<std::int64_t>(fPointsPerDiv);
        const std::int64_t nLastX = std::int64_t{nPositions} * m_nPixelsPerDiv / m_nPointsPerDiv;
        m_bExact = nLastX < (std::int64_t{1} << 24);
    }
}

void CYMapper::ClampedValuesToY(const float* pValues, int* pY, std::size_t nCount) const {
    if (m_bEmpty) {
        std::fill(pY, pY + nCount, m_nMiddle);
        return;
    }
    constexpr std::size_t kBlock = 256;
    bool near[kBlock];
    for (std::size_t at = 0; at < nCount; at += kBlock) {
        const std::size_t n = std::min(kBlock, nCount - at);
        bool anyNear = false;
        for (std::size_t k = 0; k < n; ++k) {
            const float v = pValues[at + k];
            // A clamped value maps inside the plot, where a cast is defined; NaN is left to
            // ValueToY.
            const bool isNumber = v == v;
            const double y = m_dBottom - ((isNumber ? v : 0.0f) - m_dYMin) * m_dFactor;
            const int whole = static_cast<int>(y);
            const double fraction = y - whole;
            near[k] = !isNumber || fraction <= kFastGuard || fraction >= 1.0 - kFastGuard;
            anyNear |= near[k];
            pY[at + k] = whole;
        }
        if (anyNear) {
            for (std::size_t k = 0; k < n; ++k) {
                if (near[k]) {
                    pY[at + k] = ValueToY(pValues[at + k]);
                }
            }
        }
    }
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
