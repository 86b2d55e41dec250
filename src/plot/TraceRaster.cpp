#include "TraceRaster.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <cstdlib>

namespace {

// The pixels of a point shape around its centre, as (dx, dy, colour) in painting order.
struct SShapePixel {
    int m_nDx;
    int m_nDy;
    std::uint32_t m_nColour;
};

// The box (x-3, y-3)-(x+3, y+3) without its right and bottom edge: 6 x 6 pixels.
constexpr int kBoxFirst = -3;
constexpr int kBoxLast = 2;

bool OnSquareOutline(int dx, int dy) {
    return dx == kBoxFirst || dx == kBoxLast || dy == kBoxFirst || dy == kBoxLast;
}

// The circle that fits the same box: black outline, white inside.
constexpr const char* kCircleRows[] = {
    "..##..", //
    ".#__#.", //
    "#____#", //
    "#____#", //
    ".#__#.", //
    "..##..", //
};

template <class F>
void ForEachShapePixel(int nPointType, F&& f) {
    switch (nPointType) {
    case kPointTypeCross:
        for (int d = kBoxFirst; d <= kBoxLast; ++d) {
            f(d, 0, kRasterBlack);
            f(0, d, kRasterBlack);
        }
        break;
    case kPointTypeCircle:
        for (int dy = kBoxFirst; dy <= kBoxLast; ++dy) {
            for (int dx = kBoxFirst; dx <= kBoxLast; ++dx) {
                const char c = kCircleRows[dy - kBoxFirst][dx - kBoxFirst];
                if (c != '.') {
                    f(dx, dy, c == '#' ? kRasterBlack : kRasterWhite);
                }
            }
        }
        break;
    case kPointTypeSquare:
        for (int dy = kBoxFirst; dy <= kBoxLast; ++dy) {
            for (int dx = kBoxFirst; dx <= kBoxLast; ++dx) {
                f(dx, dy, OnSquareOutline(dx, dy) ? kRasterBlack : kRasterWhite);
            }
        }
        break;
    case kPointTypePoint:
        f(0, 0, kRasterBlack);
        break;
    default:
        break;
    }
}

// Bresenham from (x0, y0) towards (x1, y1), the end pixel left out.
template <class F>
void ForEachLinePixel(int x0, int y0, int x1, int y1, F&& f) {
    const int dx = std::abs(x1 - x0);
    const int dy = -std::abs(y1 - y0);
    const int sx = x0 < x1 ? 1 : -1;
    const int sy = y0 < y1 ? 1 : -1;
    long long error = static_cast<long long>(dx) + dy;
    int x = x0;
    int y = y0;
    while (x != x1 || y != y1) {
        f(x, y);
        const long long twice = 2 * error;
        if (twice >= dy) {
            error += dy;
            x += sx;
        }
        if (twice <= dx) {
            error += dx;
            y += sy;
        }
    }
}

bool Inside(const CRasterTarget& target, int x, int y) {
    return static_cast<unsigned>(x) < static_cast<unsigned>(target.m_nWidth) &&
           static_cast<unsigned>(y) < static_cast<unsigned>(target.m_nHeight);
}

void Put(const CRasterTarget& target, int x, int y, std::uint32_t nColour) {
    if (Inside(target, x, y)) {
        target.m_pBits[static_cast<std::ptrdiff_t>(y) * target.m_nStride + x] = nColour;
    }
}

} // namespace

void DrawTraceOneByOne(const CRasterTarget& target, std::span<const CPixel> pixels, int nPointType,
                       bool bLines, std::uint32_t nLineColour) {
    for (std::size_t p = 0; p < pixels.size(); ++p) {
        const CPixel at = pixels[p];
        if (IsGapPixel(at)) {
            continue;
        }
        ForEachShapePixel(nPointType, [&](int dx, int dy, std::uint32_t nColour) {
            Put(target, at.m_nX + dx, at.m_nY + dy, nColour);
        });
        if (bLines && p > 0 && !IsGapPixel(pixels[p - 1])) {
            const CPixel from = pixels[p - 1];
            ForEachLinePixel(from.m_nX, from.m_nY, at.m_nX, at.m_nY,
                             [&](int x, int y) { Put(target, x, y, nLineColour); });
        }
    }
}

void CTraceRasterizer::Begin(const CRasterTarget& target) {
    m_target = target;
    m_nWordsPerColumn = (static_cast<std::size_t>(std::max(target.m_nHeight, 0)) + 63) / 64;
    m_vDone.assign(m_nWordsPerColumn * static_cast<std::size_t>(std::max(target.m_nWidth, 0)), 0);
}

void CTraceRasterizer::Plot(int x, int y, std::uint32_t nColour) {
    if (!Inside(m_target, x, y)) {
        return;
    }
    std::uint64_t& word =
        m_vDone[static_cast<std::size_t>(x) * m_nWordsPerColumn + static_cast<std::size_t>(y >> 6)];
    const std::uint64_t bit = std::uint64_t{1} << (y & 63);
    if ((word & bit) == 0) {
        word |= bit;
        m_target.m_pBits[static_cast<std::ptrdiff_t>(y) * m_target.m_nStride + x] = nColour;
    }
}

void CTraceRasterizer::WriteRows(int x, int nFirstRow, std::uint64_t rows, std::uint32_t nColour) {
    std::uint32_t* column = m_target.m_pBits + x;
    while (rows != 0) {
        const int row = nFirstRow + std::countr_zero(rows);
        column[static_cast<std::ptrdiff_t>(row) * m_target.m_nStride] = nColour;
        rows &= rows - 1;
    }
}

void CTraceRasterizer::Span(int x, int y0, int y1, std::uint32_t nColour) {
    if (static_cast<unsigned>(x) >= static_cast<unsigned>(m_target.m_nWidth)) {
        return;
    }
    y0 = std::max(y0, 0);
    y1 = std::min(y1, m_target.m_nHeight - 1);
    std::uint64_t* column = m_vDone.data() + static_cast<std::size_t>(x) * m_nWordsPerColumn;
    for (int y = y0; y <= y1;) {
        const int first = y & 63;
        const int last = std::min(63, first + (y1 - y));
        const std::uint64_t span =
            (last == 63 ? ~std::uint64_t{0} : (std::uint64_t{1} << (last + 1)) - 1) &
            ~((std::uint64_t{1} << first) - 1);
        std::uint64_t& word = column[y >> 6];
        std::uint64_t fresh = span & ~word;
        word |= span;
        const int base = y & ~63;
        if (fresh != 0) {
            WriteRows(x, base, fresh, nColour);
        }
        y = base + last + 1;
    }
}

void CTraceRasterizer::Line(int x0, int y0, int x1, int y1, std::uint32_t nColour) {
    if (x0 == x1) {
        // Bresenham's pixels of a vertical line: the rows from y0 towards y1, y1 left out.
        if (y0 < y1) {
            Span(x0, y0, y1 - 1, nColour);
        } else if (y0 > y1) {
            Span(x0, y1 + 1, y0, nColour);
        }
        return;
    }
    if (std::abs(y1 - y0) <= std::abs(x1 - x0)) {
        ForEachLinePixel(x0, y0, x1, y1, [&](int x, int y) { Plot(x, y, nColour); });
        return;
    }
    const int rows = std::abs(y1 - y0);
    const int sy = y0 < y1 ? 1 : -1;
    if (std::abs(x1 - x0) == 1) {
        // One column over (the line into each column of a dense window): Bresenham's error
        // first allows the step across at row floor((rows - 1) / 2), so the line is the rows
        // up to it in the first column and the rest, the end left out, in the second.
        const int split = y0 + sy * ((rows - 1) / 2);
        Span(x0, std::min(y0, split), std::max(y0, split), nColour);
        const int rest = split + sy;
        const int last = y1 - sy;
        Span(x1, std::min(rest, last), std::max(rest, last), nColour);
        return;
    }
    // A steep line is a few vertical runs, one per column it passes: paint them as spans.
    int runX = x0;
    int runFirst = y0;
    int runLast = y0;
    ForEachLinePixel(x0, y0, x1, y1, [&](int x, int y) {
        if (x == runX) {
            runFirst = std::min(runFirst, y);
            runLast = std::max(runLast, y);
            return;
        }
        Span(runX, runFirst, runLast, nColour);
        runX = x;
        runFirst = runLast = y;
    });
    Span(runX, runFirst, runLast, nColour);
}

void CTraceRasterizer::Shape(int nPointType, int x, int y) {
    switch (nPointType) {
    case kPointTypeCross:
        Span(x, y + kBoxFirst, y + kBoxLast, kRasterBlack);
        for (int d = kBoxFirst; d <= kBoxLast; ++d) {
            Plot(x + d, y, kRasterBlack);
        }
        break;
    case kPointTypePoint:
        Plot(x, y, kRasterBlack);
        break;
    default:
        ForEachShapePixel(nPointType, [&](int dx, int dy, std::uint32_t nColour) {
            Plot(x + dx, y + dy, nColour);
        });
        break;
    }
}

void CTraceRasterizer::ClearRows() {
    std::fill(m_vRunRows.begin() + static_cast<std::ptrdiff_t>(m_nRowWordFirst),
              m_vRunRows.begin() + static_cast<std::ptrdiff_t>(m_nRowWordLast) + 1, 0);
}

// The words that hold rows of the run: a few of the column's, found once per run rather than
// tracked for every sample.
void CTraceRasterizer::FinishRows() {
    std::size_t first = 0;
    while (first < m_nWordsPerColumn && m_vRunRows[first] == 0) {
        ++first;
    }
    std::size_t last = m_nWordsPerColumn;
    while (last > first && m_vRunRows[last - 1] == 0) {
        --last;
    }
    m_nRowWordFirst = first < last ? first : 0;
    m_nRowWordLast = first < last ? last - 1 : 0;
}

void CTraceRasterizer::MergeRows(int x, const std::uint64_t* rows, std::size_t first,
                                 std::size_t last, std::uint32_t nColour) {
    if (static_cast<unsigned>(x) >= static_cast<unsigned>(m_target.m_nWidth)) {
        return;
    }
    std::uint64_t* done = m_vDone.data() + static_cast<std::size_t>(x) * m_nWordsPerColumn;
    for (std::size_t w = first; w <= last; ++w) {
        const std::uint64_t fresh = rows[w] & ~done[w];
        done[w] |= fresh;
        if (fresh != 0) {
            WriteRows(x, static_cast<int>(w * 64), fresh, nColour);
        }
    }
}

void CTraceRasterizer::CrossArmsBeside(int x) {
    for (int d = kBoxFirst; d <= kBoxLast; ++d) {
        if (d != 0) {
            MergeRows(x + d, m_vRunRows.data(), m_nRowWordFirst, m_nRowWordLast, kRasterBlack);
        }
    }
}

void CTraceRasterizer::CrossArmsAlong(int x) {
    // The rows of the vertical arms: each row y of the run spreads to y-3 .. y+2.
    const std::size_t first = m_nRowWordFirst > 0 ? m_nRowWordFirst - 1 : 0;
    const std::size_t last = std::min(m_nRowWordLast + 1, m_nWordsPerColumn - 1);
    for (std::size_t w = first; w <= last; ++w) {
        const std::uint64_t here = m_vRunRows[w];
        const std::uint64_t above = w + 1 < m_nWordsPerColumn ? m_vRunRows[w + 1] : 0;
        const std::uint64_t below = w > 0 ? m_vRunRows[w - 1] : 0;
        std::uint64_t arms = here;
        for (int k = 1; k <= -kBoxFirst; ++k) {
            arms |= (here >> k) | (above << (64 - k));
        }
        for (int k = 1; k <= kBoxLast; ++k) {
            arms |= (here << k) | (below >> (64 - k));
        }
        m_vArmRows[w] = arms;
    }
    // The last word may reach past the picture's last row.
    if (m_target.m_nHeight % 64 != 0) {
        m_vArmRows[m_nWordsPerColumn - 1] &= (std::uint64_t{1} << (m_target.m_nHeight % 64)) - 1;
    }
    MergeRows(x, m_vArmRows.data(), first, last, kRasterBlack);
}

void CTraceRasterizer::DrawColumnRuns(std::span<const CPixel> pixels, int nPointType, bool bLines,
                                      std::uint32_t nLineColour) {
    const bool bCross = nPointType == kPointTypeCross;
    const bool bPoint = nPointType == kPointTypePoint;
    const CPixel* const base = pixels.data();
    std::size_t end = pixels.size();
    while (end > 0) {
        // The run [first, end) shares one column; x never decreases along a window.
        const int x = base[end - 1].m_nX;
        std::size_t first = end - 1;
        while (first > 0 && base[first - 1].m_nX == x) {
            --first;
        }
        if (!bLines) {
            // Every step of the run is black: their order does not matter, and the whole
            // run goes into the column at once.
            if (bCross || bPoint) {
                ClearRows();
                for (std::size_t p = first; p < end; ++p) {
                    AddRow(base[p].m_nY);
                }
                FinishRows();
                if (bPoint) {
                    MergeRows(x, m_vRunRows.data(), m_nRowWordFirst, m_nRowWordLast, kRasterBlack);
                } else {
                    CrossArmsAlong(x);
                    CrossArmsBeside(x);
                    // A cross centred just outside the picture still reaches into it.
                    for (std::size_t p = first; p < end; ++p) {
                        const int y = base[p].m_nY;
                        if (static_cast<unsigned>(y) >= static_cast<unsigned>(m_target.m_nHeight)) {
                            Span(x, y + kBoxFirst, y + kBoxLast, kRasterBlack);
                        }
                    }
                }
            }
            end = first;
            continue;
        }
        // Last step first, within the run's own column: the line to each sample (its rows
        // from the previous sample's, its own left out), then the sample's shape there. The
        // first sample's line comes from another column. Rows known to be final form an
        // interval: the steps chain up and down the column, so it soon holds most of what
        // the next step would paint.
        int coveredFirst = 1;
        int coveredLast = 0;
        auto paint = [&](int y0, int y1, std::uint32_t nColour) {
            if (y0 >= coveredFirst && y1 <= coveredLast) {
                return;
            }
            Span(x, y0, y1, nColour);
            if (coveredFirst > coveredLast) {
                coveredFirst = y0;
                coveredLast = y1;
            } else if (y0 <= coveredLast + 1 && y1 >= coveredFirst - 1) {
                coveredFirst = std::min(coveredFirst, y0);
                coveredLast = std::max(coveredLast, y1);
            }
        };
        if (bCross) {
            ClearRows();
        }
        int y = base[end - 1].m_nY;
        for (std::size_t p = end - 1; p > first; --p) {
            const int from = base[p - 1].m_nY;
            if (from != y) {
                paint(from < y ? from : y + 1, from < y ? y - 1 : from, nLineColour);
            }
            if (bCross) {
                paint(y + kBoxFirst, y + kBoxLast, kRasterBlack);
                AddRow(y);
            } else if (bPoint) {
                paint(y, y, kRasterBlack);
            }
            y = from;
        }
        if (bCross && end - first > 1) {
            FinishRows();
            CrossArmsBeside(x);
        }
        if (first > 0) {
            Line(base[first - 1].m_nX, base[first - 1].m_nY, x, y, nLineColour);
        }
        Shape(nPointType, x, y);
        end = first;
    }
}

void CTraceRasterizer::DrawInOrder(std::span<const CPixel> pixels, int nPointType, bool bLines,
                                   std::uint32_t nLineColour) {
    const bool bShapes = DrawsShape(nPointType);
    // Last step first: the line to sample p comes after sample p's shape.
    for (std::size_t p = pixels.size(); p-- > 0;) {
        const CPixel at = pixels[p];
        if (bLines && p > 0) {
            const CPixel from = pixels[p - 1];
            Line(from.m_nX, from.m_nY, at.m_nX, at.m_nY, nLineColour);
        }
        if (bShapes) {
            Shape(nPointType, at.m_nX, at.m_nY);
        }
    }
}

bool CTraceRasterizer::Claim(int x, int y) {
    if (!Inside(m_target, x, y)) {
        return false;
    }
    std::uint64_t& word =
        m_vDone[static_cast<std::size_t>(x) * m_nWordsPerColumn + static_cast<std::size_t>(y >> 6)];
    const std::uint64_t bit = std::uint64_t{1} << (y & 63);
    const bool bFresh = (word & bit) == 0;
    word |= bit;
    return bFresh;
}

void CTraceRasterizer::Draw(std::span<const CPixel> pixels, int nPointType, bool bLines,
                            std::uint32_t nLineColour) {
    const bool bInOrder = nPointType == kPointTypeCircle || nPointType == kPointTypeSquare;
    if (!bInOrder) {
        m_vRunRows.assign(m_nWordsPerColumn, 0);
        m_vArmRows.assign(m_nWordsPerColumn, 0);
        m_nRowWordFirst = 0;
        m_nRowWordLast = m_nWordsPerColumn > 0 ? m_nWordsPerColumn - 1 : 0;
    }
    // Gaps part the trace into pieces that no line joins, each drawn as a trace of its own,
    // the last first like the steps within them.
    std::size_t end = pixels.size();
    while (end > 0) {
        std::size_t first = end;
        while (first > 0 && !IsGapPixel(pixels[first - 1])) {
            --first;
        }
        const auto piece = pixels.subspan(first, end - first);
        if (bInOrder) {
            DrawInOrder(piece, nPointType, bLines, nLineColour);
        } else {
            DrawColumnRuns(piece, nPointType, bLines, nLineColour);
        }
        end = first > 0 ? first - 1 : 0;
    }
}
