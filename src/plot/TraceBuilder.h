#pragma once

#include "PlotGeometry.h"
#include "SampleSeries.h"
#include "YScale.h"

#include <climits>
#include <cstdint>
#include <span>
#include <vector>

// Stands for a gap (a NaN sample: the board gave no value) among the pixels of a trace: it
// is drawn as nothing, and no line joins the samples on either side of it.
inline constexpr CPixel kGapPixel{INT_MIN, INT_MIN};
inline bool IsGapPixel(const CPixel& pixel) {
    return pixel.m_nX == INT_MIN;
}

// Pixels of the samples [nStart, nEnd) of a series, as DrawPoint places them: value clamped
// to the Y range, mapped with ValueToY, position start + p drawn at x = PositionToX(p); a gap
// gives kGapPixel. With bAutoScale each sample first takes one automatic scaling step, so the
// sample that extends the range is already drawn with the new one. Indexes beyond the series
// read 0.0. Returns the last raw sample (the value the alarm tests: a gap sounds nothing),
// 0.0 for an empty window.
float ComputeTracePixels(const CSampleSeries& series, int nStart, int nEnd,
                         const CPlotGeometry& geometry, float fPointsPerDiv, bool bAutoScale,
                         CYScale& scale, std::vector<CPixel>& pixels);

class CSeriesSummary;

// The pixels of the same window reduced to at most four per pixel column and stretch of
// one Y range: the first and last sample there and the highest and lowest pixel between
// them, with a kGapPixel where a gap breaks the stretch. For a trace of lines whose samples
// draw nothing beyond their own pixel (point type POINT or none), drawing them gives exactly
// the picture of drawing every sample: inside a column the lines join into one run from the
// highest to the lowest pixel, every line that leaves a column starts at its last sample,
// and a point shape survives only where no later line passes, which is the last sample
// before a gap or the window's end. The automatic scaling is the same step by step. False,
// with nothing done, where it cannot apply (see CanReduceTrace).
bool ComputeReducedTracePixels(const CSampleSeries& series, const CSeriesSummary& summary,
                               int nStart, int nEnd, const CPlotGeometry& geometry,
                               float fPointsPerDiv, bool bAutoScale, CYScale& scale,
                               std::vector<CPixel>& pixels, float& fLast);

// Point types that draw a shape; any other draws none.
enum PointType {
    kPointTypeCross = 0,
    kPointTypeCircle = 1,
    kPointTypeSquare = 2,
    kPointTypePoint = 3
};
inline bool DrawsShape(int nPointType) {
    return nPointType >= kPointTypeCross && nPointType <= kPointTypePoint;
}
// Whether a trace looks the same drawn from its reduced pixels: lines, and points (if any)
// that cover their own pixel only.
inline bool CanReduceTrace(int nPointType, bool bLines) {
    return bLines && (nPointType == kPointTypePoint || !DrawsShape(nPointType));
}
