#include "TraceBuilder.h"

#include "SeriesSummary.h"

#include <algorithm>
#include <cstddef>
#include <limits>

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

namespace {

// Below this many samples a stretch is cheaper drawn sample by sample.
constexpr std::size_t kShortStretch = 8;

} // namespace

bool ComputeReducedTracePixels(const CSampleSeries& series, const CSeriesSummary& summary,
                               int nStart, int nEnd, const CPlotGeometry& geometry,
                               float fPointsPerDiv, bool bAutoScale, CYScale& scale,
                               std::vector<CPixel>& pixels, float& fLast) {
    const CPositionStepper stepper(geometry, fPointsPerDiv, std::max(nEnd - nStart, 0));
    if (nStart < 0 || nEnd <= nStart || static_cast<std::size_t>(nEnd) > summary.Covered() ||
        summary.Covered() > series.size() || !stepper.IsExact()) {
        return false;
    }
    pixels.clear();
    const std::int64_t ppx = stepper.PixelsPerDiv();
    const std::int64_t ppd = stepper.PointsPerDiv();
    const std::int64_t count = std::int64_t{nEnd} - nStart;
    CYMapper mapper(geometry, scale.m_fYMax, scale.m_fYMin);
    auto rowOf = [&](float v) {
        return mapper.ValueToY(ClampToRange(v, scale.m_fYMax, scale.m_fYMin));
    };
    // The samples [a, b) lie in column x under one Y range.
    auto emitStretch = [&](std::size_t a, std::size_t b, int x) {
        if (b - a <= kShortStretch) {
            for (std::size_t j = a; j < b; ++j) {
                pixels.push_back({x, rowOf(series[j])});
            }
            return;
        }
        const int first = rowOf(series[a]);
        const int last = rowOf(series[b - 1]);
        const CValueRange range = summary.Range(series, a, b);
        int high = std::min(first, last);
        int low = std::max(first, last);
        if (range.HasNumbers()) {
            for (const int row : {rowOf(range.m_fMax), rowOf(range.m_fMin)}) {
                high = std::min(high, row);
                low = std::max(low, row);
            }
        }
        if (range.HasNaN()) {
            const int row = rowOf(std::numeric_limits<float>::quiet_NaN());
            high = std::min(high, row);
            low = std::max(low, row);
        }
        pixels.insert(pixels.end(), {{x, first}, {x, high}, {x, low}, {x, last}});
    };
    for (std::int64_t p = 0; p < count;) {
        // Column k holds the positions p with floor(p * ppx / ppd) = k.
        const std::int64_t k = p * ppx / ppd;
        const std::int64_t next = ppx > 0 ? ((k + 1) * ppd + ppx - 1) / ppx : count;
        const std::int64_t end = std::min(next, count);
        const int x = static_cast<int>(k) + CPlotGeometry::kMarginX;
        std::size_t a = static_cast<std::size_t>(nStart + p);
        const std::size_t b = static_cast<std::size_t>(nStart + end);
        while (bAutoScale && a < b) {
            // A sample beyond the recorded extremes moves the range before it is drawn.
            const std::size_t r =
                summary.FindBeyond(series, a, b, scale.m_fAutoMin, scale.m_fAutoMax);
            if (r >= b) {
                break;
            }
            emitStretch(a, r, x);
            scale.AutoScale(series[r]);
            mapper = CYMapper(geometry, scale.m_fYMax, scale.m_fYMin);
            pixels.push_back({x, rowOf(series[r])});
            a = r + 1;
        }
        if (a < b) {
            emitStretch(a, b, x);
        }
        p = end;
    }
    fLast = series[static_cast<std::size_t>(nEnd - 1)];
    return true;
}
