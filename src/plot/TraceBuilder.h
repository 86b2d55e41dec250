#pragma once

#include "PlotGeometry.h"
#include "SampleSeries.h"
#include "YScale.h"

#include <cstdint>
#include <span>
#include <vector>

// Pixels of the samples [nStart, nEnd) of a series, as DrawPoint places them: value clamped
// to the Y range, mapped with ValueToY, position start + p drawn at x = PositionToX(p).
// With bAutoScale each sample first takes one automatic scaling step, so the sample that
// extends the range is already drawn with the new one. Indexes beyond the series read 0.0.
// Returns the last raw sample (the value the alarm tests), 0.0 for an empty window.
float ComputeTracePixels(const CSampleSeries& series, int nStart, int nEnd,
                         const CPlotGeometry& geometry, float fPointsPerDiv, bool bAutoScale,
                         CYScale& scale, std::vector<CPixel>& pixels);

// One drawing step of a trace, in the order of the paint: for each sample its point shape
// (black, the channel's point type) at (x0, y0), then, from the second sample on when the
// channel interpolates, the line in the channel colour from the previous sample's pixel
// (x0, y0) to this one (x1, y1), start included and end excluded.
struct CTraceOp {
    enum Kind : std::uint8_t { kShape, kLine };
    Kind m_eKind = kShape;
    int m_nX0 = 0;
    int m_nY0 = 0;
    int m_nX1 = 0;
    int m_nY1 = 0;
    friend bool operator==(const CTraceOp&, const CTraceOp&) = default;
};

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

// The one-by-one drawing of a window: every step, nothing left out. bLines is the
// interpolate flag of a channel whose colour index has a colour (0 to 6).
void BuildTraceOps(std::span<const CPixel> pixels, int nPointType, bool bLines,
                   std::vector<CTraceOp>& ops);
