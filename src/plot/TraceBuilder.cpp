#include "TraceBuilder.h"

#include <algorithm>
#include <cstddef>

float ComputeTracePixels(const CSampleSeries& series, int nStart, int nEnd,
                         const CPlotGeometry& geometry, float fPointsPerDiv, bool bAutoScale,
                         CYScale& scale, std::vector<CPixel>& pixels) {
    if (nStart < 0 || nEnd <= nStart) {
        pixels.clear();
        return 0.0f;
    }
    // Every element is written below: a window of the same size as last time costs no
    // clearing.
    pixels.resize(static_cast<std::size_t>(nEnd - nStart));
    CPixel* out = pixels.data();
    CYMapper mapper(geometry, scale.m_fYMax, scale.m_fYMin);
    CPositionStepper positions(geometry, fPointsPerDiv, nEnd - nStart);
    float last = 0.0f;
    // Without automatic scaling the range is fixed for the whole window, and the values can
    // be mapped a block at a time.
    constexpr std::size_t kBlock = 512;
    float clamped[kBlock];
    int rows[kBlock];
    auto drawBlock = [&](const Sample* values, std::size_t count) {
        for (std::size_t k = 0; k < count; ++k) {
            clamped[k] = ClampToRange(values[k], scale.m_fYMax, scale.m_fYMin);
        }
        mapper.ClampedValuesToY(clamped, rows, count);
        for (std::size_t k = 0; k < count; ++k) {
            *out++ = {positions.Next(), rows[k]};
        }
        last = values[count - 1];
    };
    auto draw = [&](float v) {
        last = v;
        if (bAutoScale && scale.AutoScale(v)) {
            mapper = CYMapper(geometry, scale.m_fYMax, scale.m_fYMin);
        }
        const float fClamped = ClampToRange(v, scale.m_fYMax, scale.m_fYMin);
        *out++ = {positions.Next(), mapper.ValueToY(fClamped)};
    };
    const std::size_t first = static_cast<std::size_t>(nStart);
    const std::size_t storedEnd = std::min(static_cast<std::size_t>(nEnd), series.size());
    if (first < storedEnd) {
        series.ForEachRun(first, storedEnd, [&](const Sample* run, std::size_t count) {
            if (bAutoScale) {
                for (std::size_t k = 0; k < count; ++k) {
                    draw(run[k]);
                }
                return;
            }
            for (std::size_t at = 0; at < count; at += kBlock) {
                drawBlock(run + at, std::min(kBlock, count - at));
            }
        });
    }
    while (out != pixels.data() + pixels.size()) {
        draw(0.0f);
    }
    return last;
}
