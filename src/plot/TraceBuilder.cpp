#include "TraceBuilder.h"

#include <algorithm>
#include <cstddef>

float ComputeTracePixels(const CSampleSeries& series, int nStart, int nEnd,
                         const CPlotGeometry& geometry, float fPointsPerDiv, bool bAutoScale,
                         CYScale& scale, std::vector<CPixel>& pixels) {
    pixels.clear();
    if (nStart < 0 || nEnd <= nStart) {
        return 0.0f;
    }
    pixels.reserve(static_cast<std::size_t>(nEnd - nStart));
    CYMapper mapper(geometry, scale.m_fYMax, scale.m_fYMin);
    int p = 0;
    float last = 0.0f;
    auto draw = [&](float v) {
        last = v;
        if (bAutoScale && scale.AutoScale(v)) {
            mapper = CYMapper(geometry, scale.m_fYMax, scale.m_fYMin);
        }
        const float clamped = ClampToRange(v, scale.m_fYMax, scale.m_fYMin);
        pixels.push_back({geometry.PositionToX(p, fPointsPerDiv), mapper.ValueToY(clamped)});
        ++p;
    };
    const std::size_t first = static_cast<std::size_t>(nStart);
    const std::size_t storedEnd = std::min(static_cast<std::size_t>(nEnd), series.size());
    if (first < storedEnd) {
        series.ForEachRun(first, storedEnd, [&](const Sample* run, std::size_t count) {
            for (std::size_t k = 0; k < count; ++k) {
                draw(run[k]);
            }
        });
    }
    while (p < nEnd - nStart) {
        draw(0.0f);
    }
    return last;
}

void BuildTraceOps(std::span<const CPixel> pixels, int nPointType, bool bLines,
                   std::vector<CTraceOp>& ops) {
    ops.clear();
    const bool shapes = DrawsShape(nPointType);
    for (std::size_t p = 0; p < pixels.size(); ++p) {
        const CPixel& at = pixels[p];
        if (shapes) {
            ops.push_back({CTraceOp::kShape, at.m_nX, at.m_nY, at.m_nX, at.m_nY});
        }
        if (bLines && p > 0) {
            const CPixel& from = pixels[p - 1];
            ops.push_back({CTraceOp::kLine, from.m_nX, from.m_nY, at.m_nX, at.m_nY});
        }
    }
}
