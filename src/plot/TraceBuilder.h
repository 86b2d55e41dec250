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
