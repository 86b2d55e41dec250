#include "TraceBuilder.h"

#include "SeriesSummary.h"

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
            const int x = positions.Next();
            *out++ = values[k] == values[k] ? CPixel{x, rows[k]} : kGapPixel;
        }
        last = values[count - 1];
    };
    auto draw = [&](float v) {
        last = v;
        const int x = positions.Next();
        if (v != v) {
            *out++ = kGapPixel;
            return;
        }
        if (bAutoScale && scale.AutoScale(v)) {
            mapper = CYMapper(geometry, scale.m_fYMax, scale.m_fYMin);
        }
        const float fClamped = ClampToRange(v, scale.m_fYMax, scale.m_fYMin);
        *out++ = {x, mapper.ValueToY(fClamped)};
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
    // The samples [a, b), none a gap, lie in column x under one Y range. Their lines cover
    // every row from the highest to the lowest, but for the last sample's row when nothing
    // goes on from it (bEnds: a gap or the window's end follows) and it lies at an extreme
    // that no sample before its own streak on that row reaches: then the line leaving such a
    // sample does not cover it, and the order of the pixels must say so.
    auto emitRun = [&](std::size_t a, std::size_t b, int x, bool bEnds) {
        if (b - a <= kShortStretch) {
            for (std::size_t j = a; j < b; ++j) {
                pixels.push_back({x, rowOf(series[j])});
            }
            return;
        }
        const int first = rowOf(series[a]);
        const int last = rowOf(series[b - 1]);
        auto rowsOf = [&](std::size_t from, std::size_t to, int& high, int& low) {
            const CValueRange range = summary.Range(series, from, to);
            if (range.HasNumbers()) {
                high = std::min({high, rowOf(range.m_fMax), rowOf(range.m_fMin)});
                low = std::max({low, rowOf(range.m_fMax), rowOf(range.m_fMin)});
            }
        };
        int high = std::min(first, last);
        int low = std::max(first, last);
        rowsOf(a, b, high, low);
        if (!bEnds || high == low || (last != high && last != low)) {
            pixels.insert(pixels.end(), {{x, first}, {x, high}, {x, low}, {x, last}});
            return;
        }
        const int other = last == high ? low : high;
        std::size_t streak = b - 1;
        while (streak > a && rowOf(series[streak - 1]) == last) {
            --streak;
        }
        int reachedHigh = other;
        int reachedLow = other;
        if (streak > a + 1) {
            reachedHigh = std::min(reachedHigh, first);
            reachedLow = std::max(reachedLow, first);
            rowsOf(a, streak - 1, reachedHigh, reachedLow);
        }
        if (reachedHigh == last || reachedLow == last) {
            pixels.insert(pixels.end(), {{x, first}, {x, last}, {x, other}, {x, last}});
        } else {
            pixels.insert(pixels.end(), {{x, first}, {x, other}, {x, last}});
        }
    };
    // The samples [a, b) lie in column x under one Y range; gaps break them into runs.
    auto emitStretch = [&](std::size_t a, std::size_t b, int x) {
        while (a < b) {
            const std::size_t gap = summary.FindGap(series, a, b);
            if (gap > a) {
                // What follows may be a gap at the start of the next column.
                const bool bEnds =
                    gap == static_cast<std::size_t>(nEnd) || series[gap] != series[gap];
                emitRun(a, gap, x, bEnds);
            }
            if (gap >= b) {
                return;
            }
            pixels.push_back(kGapPixel);
            a = gap + 1;
            while (a < b && series[a] != series[a]) {
                ++a;
            }
        }
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
