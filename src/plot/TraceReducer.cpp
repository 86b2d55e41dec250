#include "TraceReducer.h"

#include <algorithm>
#include <climits>
#include <cstdint>

namespace {

// Cross arms and shape boxes reach this far from the sample's pixel.
constexpr int kReach = 3;

// Bits lo..hi of a word, 0 <= lo <= hi <= 63.
std::uint64_t Bits(int lo, int hi) {
    return (~std::uint64_t{0} >> (63 - (hi - lo))) << lo;
}

} // namespace

void CTraceReducer::CPixelMask::Reset(int nWidth, int nHeight) {
    nWidth = std::max(nWidth, 0);
    nHeight = std::max(nHeight, 0);
    if (nWidth != m_nWidth || nHeight != m_nHeight) {
        m_nWidth = nWidth;
        m_nHeight = nHeight;
        m_nWordsPerColumn = (static_cast<std::size_t>(nHeight) + 63) / 64;
        m_vWords.assign(static_cast<std::size_t>(nWidth) * m_nWordsPerColumn, 0);
    } else {
        const int first = std::max(m_nUsedFirst, 0);
        const int last = std::min(m_nUsedLast, m_nWidth - 1);
        if (first <= last) {
            std::fill(Column(first), Column(last) + m_nWordsPerColumn, 0);
        }
    }
    m_nUsedFirst = 0;
    m_nUsedLast = -1;
}

bool CTraceReducer::CPixelMask::TestColumn(int x, int y0, int y1) const {
    if (!Inside(x, y0) || !Inside(x, y1)) {
        return false;
    }
    const std::uint64_t* column = Column(x);
    const int w0 = y0 >> 6;
    const int w1 = y1 >> 6;
    for (int w = w0; w <= w1; ++w) {
        const std::uint64_t bits = Bits(w == w0 ? y0 & 63 : 0, w == w1 ? y1 & 63 : 63);
        if ((column[w] & bits) != bits) {
            return false;
        }
    }
    return true;
}

void CTraceReducer::CPixelMask::SetColumn(int x, int y0, int y1) {
    y0 = std::max(y0, 0);
    y1 = std::min(y1, m_nHeight - 1);
    if (static_cast<unsigned>(x) >= static_cast<unsigned>(m_nWidth) || y0 > y1) {
        return;
    }
    std::uint64_t* column = Column(x);
    const int w0 = y0 >> 6;
    const int w1 = y1 >> 6;
    for (int w = w0; w <= w1; ++w) {
        column[w] |= Bits(w == w0 ? y0 & 63 : 0, w == w1 ? y1 & 63 : 63);
    }
}

bool CTraceReducer::ShapeRepainted(int nPointType, int x, int y) const {
    if (m_shapes.Test(x, y)) {
        return true;
    }
    // The centre first: Test() is false outside the mask, so x +- kReach cannot overflow
    // below. Then the left edge, which in a window drawn left to right only a shape at the
    // same pixel repaints.
    if (!m_covered.Test(x, y)) {
        return false;
    }
    switch (nPointType) {
    case kPointTypeCross:
        if (!m_covered.Test(x - kReach, y) || !m_covered.TestColumn(x, y - kReach, y + kReach)) {
            return false;
        }
        for (int dx = -kReach + 1; dx <= kReach; ++dx) {
            if (!m_covered.Test(x + dx, y)) {
                return false;
            }
        }
        return true;
    case kPointTypePoint:
        return m_covered.Test(x + 1, y + 1);
    default:
        for (int dx = -kReach; dx <= kReach; ++dx) {
            if (!m_covered.TestColumn(x + dx, y - kReach, y + kReach)) {
                return false;
            }
        }
        return true;
    }
}

void CTraceReducer::AddShape(int nPointType, int x, int y) {
    // A shape centred outside the mask only loses coverage, which drops less.
    if (!m_shapes.Inside(x, y)) {
        return;
    }
    m_shapes.Set(x, y);
    if (nPointType == kPointTypeCross) {
        m_covered.SetColumn(x, y - kReach, y + kReach - 1);
        for (int dx = -kReach; dx < kReach; ++dx) {
            m_covered.Set(x + dx, y);
        }
    } else if (nPointType == kPointTypePoint) {
        m_covered.Set(x, y);
    }
}

bool CTraceReducer::LineRepainted(const CTraceOp& line) const {
    if (line.m_nX0 == line.m_nX1 && line.m_nY0 == line.m_nY1) {
        return m_covered.Test(line.m_nX0, line.m_nY0);
    }
    // Its closed bounding box: both ends must lie in the mask.
    if (!m_covered.Inside(line.m_nX0, line.m_nY0) || !m_covered.Inside(line.m_nX1, line.m_nY1)) {
        return false;
    }
    const int top = std::min(line.m_nY0, line.m_nY1);
    const int bottom = std::max(line.m_nY0, line.m_nY1);
    const int right = std::max(line.m_nX0, line.m_nX1);
    for (int x = std::min(line.m_nX0, line.m_nX1); x <= right; ++x) {
        if (!m_covered.TestColumn(x, top, bottom)) {
            return false;
        }
    }
    return true;
}

void CTraceReducer::AddLine(const CTraceOp& line) {
    const int x0 = line.m_nX0;
    const int y0 = line.m_nY0;
    const int x1 = line.m_nX1;
    const int y1 = line.m_nY1;
    if (x0 == x1 && y0 != y1) {
        if (y0 < y1) {
            m_covered.SetColumn(x0, y0, y1 - 1);
        } else {
            m_covered.SetColumn(x0, y1 + 1, y0);
        }
    } else if (y0 == y1 && x0 != x1 && m_covered.Inside(x0, y0)) {
        // Within a window drawn left to right such a line runs right, into the pixels it
        // is about to be tested against; clipping to the mask keeps the loop short.
        const int step = x0 < x1 ? 1 : -1;
        for (int x = x0; x != x1 && m_covered.Inside(x, y0); x += step) {
            m_covered.Set(x, y0);
        }
    }
}

// Flattened: the per-step helpers are small and called a million times per paint.
[[gnu::flatten]] void CTraceReducer::Reduce(std::span<const CPixel> pixels, int nPointType,
                                            bool bLines, int nClientWidth, int nClientHeight,
                                            std::vector<CTraceOp>& ops) {
    m_covered.Reset(nClientWidth, nClientHeight);
    m_shapes.Reset(nClientWidth, nClientHeight);
    ops.clear();
    if (pixels.empty()) {
        return;
    }
    // Lines stay between their ends, shapes within kReach: the columns to clear next time.
    const auto [left, right] =
        std::minmax_element(pixels.begin(), pixels.end(),
                            [](const CPixel& a, const CPixel& b) { return a.m_nX < b.m_nX; });
    const int first = left->m_nX < INT_MIN + kReach ? INT_MIN : left->m_nX - kReach;
    const int last = right->m_nX > INT_MAX - kReach ? INT_MAX : right->m_nX + kReach;
    m_covered.SetUsedColumns(first, last);
    m_shapes.SetUsedColumns(first, last);

    const bool shapes = DrawsShape(nPointType);
    // Backwards, so that everything drawn after a step is known when it is decided.
    for (std::size_t k = pixels.size(); k-- > 0;) {
        const CPixel& at = pixels[k];
        // Inside a run of one pixel every step repeats the run's last ones exactly.
        if (k > 0 && k + 1 < pixels.size() && at == pixels[k + 1] && at == pixels[k - 1]) {
            continue;
        }
        if (bLines && k > 0) {
            const CPixel& from = pixels[k - 1];
            const CTraceOp line{CTraceOp::kLine, from.m_nX, from.m_nY, at.m_nX, at.m_nY};
            if (!LineRepainted(line)) {
                ops.push_back(line);
            }
            AddLine(line);
        }
        if (shapes) {
            if (!ShapeRepainted(nPointType, at.m_nX, at.m_nY)) {
                ops.push_back({CTraceOp::kShape, at.m_nX, at.m_nY, at.m_nX, at.m_nY});
            }
            AddShape(nPointType, at.m_nX, at.m_nY);
        }
    }
    std::reverse(ops.begin(), ops.end());
}
