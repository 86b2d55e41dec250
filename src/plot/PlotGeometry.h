#pragma once

#include "SaturatingMath.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>

// A pixel of the client area: origin at its top-left corner, x to the right, y downwards.
struct CPixel {
    int m_nX = 0;
    int m_nY = 0;
    friend bool operator==(const CPixel&, const CPixel&) = default;
};

// Where everything of the plot lies for one client size: margins, the plot rectangle, the
// grid lines and the label anchors, and the position of a sample in the window.
class CPlotGeometry {
public:
    static constexpr int kMarginX = 40;
    static constexpr int kMarginY = 20;
    static constexpr int kDivisions = 10;

    CPlotGeometry(int nClientWidth, int nClientHeight);

    int GetClientWidth() const { return m_nWidth; }
    int GetClientHeight() const { return m_nHeight; }
    int GetLeft() const { return kMarginX; }
    int GetRight() const { return m_nWidth - kMarginX; }
    int GetTop() const { return kMarginY; }
    int GetBottom() const { return m_nHeight - kMarginY; }

    // The width of one division: (width - 80) / 10 in integer division.
    float GetPixelsPerDiv() const { return m_fPixelsPerDiv; }

    // Horizontal grid line i (0 at the top, 10 at the bottom): i * yStep + 20 as a float.
    float GetGridYf(int i) const;
    int GetGridY(int i) const;
    // Top of the Y label of line i (its left edge is at x = 2).
    int GetYLabelTop(int i) const;
    // The middle grid line, where an empty Y range draws every value.
    int GetMiddleY() const { return GetGridY(kDivisions / 2); }
    // The lowest row a trace can reach: its pixels lie between the top and bottom edges (or
    // on the middle line), and a point shape reaches two rows below its pixel. In a client
    // area under 40 pixels high this is below the top of the X labels.
    int GetLowestTraceRow() const { return std::max({GetTop(), GetBottom(), GetMiddleY()}) + 2; }

    // Vertical grid line j (0 to 10), also the left edge of X label j.
    int GetGridX(int j) const;
    int GetXLabelTop() const { return m_nHeight - 17; }
    int GetCaptionLeft() const { return m_nWidth / 4; }
    static constexpr int GetCaptionTop() { return 3; }

    // The x of window position p: p * pixelsPerDiv / ppd + 40, truncated. Computed in
    // double so that positions stay exact in windows of millions of samples.
    int PositionToX(int p, float fPointsPerDiv) const {
        if (!(fPointsPerDiv > 0.0f)) {
            return kMarginX;
        }
        return SaturatingTrunc(static_cast<double>(p) * m_fPixelsPerDiv / fPointsPerDiv + kMarginX);
    }

private:
    int m_nWidth;
    int m_nHeight;
    float m_fPixelsPerDiv;
    float m_fYStep;
};

// The x of positions 0, 1, 2, ... of a window, one after the other, exactly as PositionToX
// gives them. With a whole ppd and whole pixels per division (the usual case) the quotient
// is carried along in integers, which a window of a million samples needs: a division per
// sample is most of the cost of mapping it. The integer path is taken only where the double
// formula cannot round across an integer (see the constructor).
class CPositionStepper {
public:
    CPositionStepper(const CPlotGeometry& geometry, float fPointsPerDiv, int nPositions);

    int Next() {
        if (!m_bExact) {
            return m_geometry.PositionToX(m_nPosition++, m_fPointsPerDiv);
        }
        const int x = static_cast<int>(m_nQuotient) + CPlotGeometry::kMarginX;
        m_nRemainder += m_nPixelsPerDiv;
        if (m_nRemainder >= m_nPointsPerDiv) {
            // With more samples than pixels (a dense window) one subtraction does.
            if (m_nRemainder < 2 * m_nPointsPerDiv) {
                ++m_nQuotient;
                m_nRemainder -= m_nPointsPerDiv;
            } else {
                m_nQuotient += m_nRemainder / m_nPointsPerDiv;
                m_nRemainder %= m_nPointsPerDiv;
            }
        }
        return x;
    }

    // Whether positions follow x = 40 + floor(p * PixelsPerDiv / PointsPerDiv) exactly, with
    // these two whole numbers.
    bool IsExact() const { return m_bExact; }
    std::int64_t PixelsPerDiv() const { return m_nPixelsPerDiv; }
    std::int64_t PointsPerDiv() const { return m_nPointsPerDiv; }

private:
    const CPlotGeometry& m_geometry;
    float m_fPointsPerDiv;
    int m_nPosition = 0;
    bool m_bExact = false;
    std::int64_t m_nPixelsPerDiv = 0;
    std::int64_t m_nPointsPerDiv = 1;
    std::int64_t m_nQuotient = 0;
    std::int64_t m_nRemainder = 0;
};

// Maps values to client y for one Y range; m_fYMax lies on the top edge of the plot and
// m_fYMin on the bottom edge, also when the range is reversed.
//
// The mapping is B - (v - yMin) / (yMax - yMin) * (B - T) in extended precision, the same
// line as B - k * yMin + k * v with k = (B - T) / (yMin - yMax), but written so that yMax
// and yMin land exactly on T and B: with k rounded, about one range in five put yMax at
// T - 1, one pixel above the plot. Values between the limits never leave the rectangle.
// An empty range (or a non-finite limit) maps every value to the middle grid line; NaN
// does too; values far outside saturate at INT_MIN or INT_MAX.
class CYMapper {
public:
    CYMapper(const CPlotGeometry& geometry, float fYMax, float fYMin);

    int ValueToY(float v) const {
        if (m_bEmpty) {
            return m_nMiddle;
        }
        // Below 2^24, the double and the extended expression both lie within 1e-8 of the
        // exact value: unless that is close to an integer they truncate alike, and the
        // double one is several times faster.
        // The product differs from the exact quotient by a few units in the last place,
        // which the guard below leaves to the extended path.
        const double scaled = (v - m_dYMin) * m_dFactor;
        const double y = m_dBottom - scaled;
        if (std::fabs(scaled) < kFastLimit && std::fabs(y) < kFastLimit) {
            const int whole = static_cast<int>(y);
            const double fraction = std::fabs(y - whole);
            if (fraction > kFastGuard && fraction < 1.0 - kFastGuard) {
                return whole;
            }
        }
        return ExtendedValueToY(v);
    }

    // ValueToY of nCount values at once, for the long windows of a dense plot: the common
    // case without a branch per value, the rare value near a pixel boundary (or NaN) by
    // ValueToY itself. The values must already be clamped to the range (ClampToRange).
    void ClampedValuesToY(const float* pValues, int* pY, std::size_t nCount) const;

private:
    static constexpr double kFastLimit = 16777216.0;
    static constexpr double kFastGuard = 1e-6;

    int ExtendedValueToY(float v) const;

    long double m_lfBottom;
    long double m_lfHeight;
    long double m_lfYMin;
    long double m_lfRange;
    double m_dBottom;
    double m_dHeight;
    double m_dYMin;
    double m_dRange;
    double m_dFactor;
    int m_nMiddle;
    bool m_bEmpty;
};

inline int ValueToY(const CPlotGeometry& geometry, float v, float fYMax, float fYMin) {
    return CYMapper(geometry, fYMax, fYMin).ValueToY(v);
}

// DrawPoint's clamp: values beyond the range are drawn on its edge. The limits are taken
// in either order, so a reversed range draws the data upside down instead of piling every
// sample onto Y Min. NaN passes through (and is drawn on the middle line).
inline float ClampToRange(float v, float fYMax, float fYMin) {
    const float hi = fYMax > fYMin ? fYMax : fYMin;
    const float lo = fYMax > fYMin ? fYMin : fYMax;
    if (v > hi) {
        return hi;
    }
    if (v < lo) {
        return lo;
    }
    return v;
}

// The number of Y label i: yMax - i * vStep with vStep = (yMax - yMin) * 0.1f, in float.
float YLabelValue(int i, float fYMax, float fYMin);

// The number of X label j: the sample index j * ppd + start, truncated.
int XLabelNumber(int j, float fPointsPerDiv, int nStart);
