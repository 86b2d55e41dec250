#include "TraceReducer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr std::uint8_t kBlack = 1;
constexpr std::uint8_t kWhite = 2;
constexpr std::uint8_t kTrace = 3;

// How a rasteriser may legitimately differ from another: the reduction must hold for all.
struct CRasterRules {
    const char* m_szName;
    bool m_bIncludeEnds; // lines also set their end point
    bool m_bDdaLines;    // slanted lines rounded from a DDA instead of Bresenham
    bool m_bClosedBoxes; // ellipse and square boxes 7 x 7 instead of 6 x 6
};

const CRasterRules kWin32{"win32", false, false, false};
const CRasterRules kLoose{"loose", true, true, true};

// A small opaque painter on a pixel grid, for comparing drawings.
class CRaster {
public:
    CRaster(int nWidth, int nHeight, const CRasterRules& rules)
        : m_nWidth(nWidth), m_nHeight(nHeight), m_rules(rules),
          m_vPixels(static_cast<std::size_t>(nWidth * nHeight)) {
        // A patterned background shows a pixel that one drawing writes and the other not.
        for (int y = 0; y < nHeight; ++y) {
            for (int x = 0; x < nWidth; ++x) {
                m_vPixels[Index(x, y)] = static_cast<std::uint8_t>(100 + (x * 7 + y * 13) % 50);
            }
        }
    }

    void Draw(const std::vector<CTraceOp>& ops, int nPointType) {
        for (const CTraceOp& op : ops) {
            if (op.m_eKind == CTraceOp::kShape) {
                Shape(nPointType, op.m_nX0, op.m_nY0);
            } else {
                Line(op.m_nX0, op.m_nY0, op.m_nX1, op.m_nY1, kTrace);
            }
        }
    }

    bool operator==(const CRaster& other) const { return m_vPixels == other.m_vPixels; }

private:
    std::size_t Index(int x, int y) const { return static_cast<std::size_t>(y * m_nWidth + x); }

    void Plot(int x, int y, std::uint8_t c) {
        if (x >= 0 && y >= 0 && x < m_nWidth && y < m_nHeight) {
            m_vPixels[Index(x, y)] = c;
        }
    }

    void Line(int x0, int y0, int x1, int y1, std::uint8_t c) {
        if (m_rules.m_bDdaLines && x0 != x1 && y0 != y1) {
            const int steps = std::max(std::abs(x1 - x0), std::abs(y1 - y0));
            const int last = m_rules.m_bIncludeEnds ? steps : steps - 1;
            for (int i = 0; i <= last; ++i) {
                Plot(x0 + RoundDiv(i * (x1 - x0), steps), y0 + RoundDiv(i * (y1 - y0), steps), c);
            }
            return;
        }
        const int dx = std::abs(x1 - x0);
        const int dy = -std::abs(y1 - y0);
        const int sx = x0 < x1 ? 1 : -1;
        const int sy = y0 < y1 ? 1 : -1;
        int err = dx + dy;
        for (;;) {
            if (x0 == x1 && y0 == y1) {
                if (m_rules.m_bIncludeEnds) {
                    Plot(x0, y0, c);
                }
                return;
            }
            Plot(x0, y0, c);
            const int e2 = 2 * err;
            if (e2 >= dy) {
                err += dy;
                x0 += sx;
            }
            if (e2 <= dx) {
                err += dx;
                y0 += sy;
            }
        }
    }

    static int RoundDiv(int a, int b) {
        return a >= 0 ? (2 * a + b) / (2 * b) : -((-2 * a + b) / (2 * b));
    }

    void Shape(int nPointType, int x, int y) {
        static const char* const kCircle6[] = {"  ##  ", " #oo# ", "#oooo#",
                                               "#oooo#", " #oo# ", "  ##  "};
        static const char* const kCircle7[] = {"  ###  ", " #ooo# ", "#ooooo#", "#ooooo#",
                                               "#ooooo#", " #ooo# ", "  ###  "};
        const int size = m_rules.m_bClosedBoxes ? 7 : 6;
        switch (nPointType) {
        case kPointTypeCross:
            Line(x - 3, y, x + 3, y, kBlack);
            Line(x, y - 3, x, y + 3, kBlack);
            break;
        case kPointTypeCircle:
            for (int r = 0; r < size; ++r) {
                for (int k = 0; k < size; ++k) {
                    const char c = (size == 7 ? kCircle7 : kCircle6)[r][k];
                    if (c != ' ') {
                        Plot(x - 3 + k, y - 3 + r, c == '#' ? kBlack : kWhite);
                    }
                }
            }
            break;
        case kPointTypeSquare:
            for (int r = 0; r < size; ++r) {
                for (int k = 0; k < size; ++k) {
                    const bool edge = r == 0 || k == 0 || r == size - 1 || k == size - 1;
                    Plot(x - 3 + k, y - 3 + r, edge ? kBlack : kWhite);
                }
            }
            break;
        case kPointTypePoint:
            Line(x, y, x + 1, y + 1, kBlack);
            break;
        default:
            break;
        }
    }

    int m_nWidth;
    int m_nHeight;
    CRasterRules m_rules;
    std::vector<std::uint8_t> m_vPixels;
};

constexpr int kWidth = 160;
constexpr int kHeight = 120;

// Windows of pixels as the paint produces them: x never decreases.
struct CWindowMaker {
    std::mt19937 m_random{12345};

    int Uniform(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(m_random); }

    // nMaxPerColumn samples share a column at most; y moves by at most nStep per sample.
    std::vector<CPixel> Walk(int nCount, int nMaxPerColumn, int nStep, int nTop, int nBottom) {
        std::vector<CPixel> pixels;
        int x = Uniform(-2, 10);
        int y = Uniform(nTop, nBottom);
        int left = Uniform(1, nMaxPerColumn);
        for (int k = 0; k < nCount; ++k) {
            if (--left == 0) {
                x += Uniform(1, 3);
                left = Uniform(1, nMaxPerColumn);
            }
            y = std::clamp(y + Uniform(-nStep, nStep), nTop, nBottom);
            pixels.push_back({x, y});
        }
        return pixels;
    }

    // Moves in any direction, x included, over a small patch: everything overlaps.
    std::vector<CPixel> Scribble(int nCount, int nStep) {
        std::vector<CPixel> pixels;
        CPixel at{80, 60};
        for (int k = 0; k < nCount; ++k) {
            at.m_nX = std::clamp(at.m_nX + Uniform(-nStep, nStep), 70, 90);
            at.m_nY = std::clamp(at.m_nY + Uniform(-nStep, nStep), 50, 70);
            pixels.push_back(at);
        }
        return pixels;
    }

    std::vector<CPixel> Spikes(int nCount, int nMaxPerColumn) {
        std::vector<CPixel> pixels = Walk(nCount, nMaxPerColumn, 0, 60, 60);
        for (CPixel& at : pixels) {
            if (Uniform(0, 30) == 0) {
                at.m_nY = Uniform(0, 1) != 0 ? 20 : 100;
            }
        }
        return pixels;
    }

    std::vector<CPixel> FlatRuns(int nCount, int nMaxPerColumn) {
        std::vector<CPixel> pixels = Walk(nCount, nMaxPerColumn, 0, 50, 50);
        int y = 50;
        for (std::size_t k = 0; k < pixels.size(); ++k) {
            if (k % 97 == 0) {
                y = Uniform(20, 100);
            }
            pixels[k].m_nY = y;
        }
        return pixels;
    }
};

void ExpectSameDrawing(const std::vector<CPixel>& pixels, const std::string& what,
                       CTraceReducer& reducer) {
    std::vector<CTraceOp> full;
    std::vector<CTraceOp> reduced;
    for (const CRasterRules& rules : {kWin32, kLoose}) {
        for (int type = 0; type <= 4; ++type) {
            for (bool lines : {true, false}) {
                SCOPED_TRACE(what + " " + rules.m_szName + " type " + std::to_string(type) +
                             (lines ? " lines" : " no lines"));
                BuildTraceOps(pixels, type, lines, full);
                reducer.Reduce(pixels, type, lines, kWidth, kHeight, reduced);
                ASSERT_LE(reduced.size(), full.size());
                // Only left out, never changed or moved.
                auto at = full.begin();
                for (const CTraceOp& op : reduced) {
                    at = std::find(at, full.end(), op);
                    ASSERT_NE(at, full.end());
                    ++at;
                }
                CRaster one(kWidth, kHeight, rules);
                one.Draw(full, type);
                CRaster fast(kWidth, kHeight, rules);
                fast.Draw(reduced, type);
                ASSERT_TRUE(one == fast);
            }
        }
    }
}

TEST(TraceReducerTest, DrawsTheSamePictureAsEverySampleOneByOne) {
    CWindowMaker maker;
    CTraceReducer reducer;
    for (int round = 0; round < 6; ++round) {
        const std::string n = std::to_string(round);
        ExpectSameDrawing(maker.Walk(3000, 60, 2, 20, 100), "dense walk " + n, reducer);
        ExpectSameDrawing(maker.Walk(3000, 60, 40, 20, 100), "dense noise " + n, reducer);
        ExpectSameDrawing(maker.Walk(400, 2, 6, 20, 100), "sparse walk " + n, reducer);
        ExpectSameDrawing(maker.Spikes(3000, 40), "spikes " + n, reducer);
        ExpectSameDrawing(maker.FlatRuns(3000, 80), "flat runs " + n, reducer);
        ExpectSameDrawing(maker.Scribble(3000, 1), "scribble " + n, reducer);
        ExpectSameDrawing(maker.Scribble(3000, 6), "wide scribble " + n, reducer);
        // Shapes and lines crossing the client edges, and pixels outside it.
        ExpectSameDrawing(maker.Walk(2000, 30, 5, -8, 2), "top edge " + n, reducer);
        ExpectSameDrawing(maker.Walk(2000, 30, 5, kHeight - 3, kHeight + 6), "bottom " + n,
                          reducer);
    }
}

TEST(TraceReducerTest, HandlesWindowsFromThePlot) {
    // Ten thousand samples on 80 columns through the real mapping, some clamped.
    CSampleSeries series;
    std::mt19937 random(99);
    std::normal_distribution<float> noise(0.0f, 0.3f);
    float v = 0.0f;
    for (int k = 0; k < 10000; ++k) {
        v += noise(random);
        series.Append(k % 1000 == 0 ? 1e38f : v);
    }
    const CPlotGeometry geometry(kWidth, kHeight);
    CYScale scale;
    std::vector<CPixel> pixels;
    ComputeTracePixels(series, 0, 10000, geometry, 1000.0f, false, scale, pixels);
    CTraceReducer reducer;
    ExpectSameDrawing(pixels, "plot window", reducer);
    scale = CYScale{};
    ComputeTracePixels(series, 0, 10000, geometry, 1000.0f, true, scale, pixels);
    ExpectSameDrawing(pixels, "auto-scaled plot window", reducer);
}

TEST(TraceReducerTest, RepeatedPixelsCostAlmostNothing) {
    CTraceReducer reducer;
    std::vector<CTraceOp> ops;
    const std::vector<CPixel> flat(10000, CPixel{80, 60});
    for (int type : {0, 1, 2, 3, 4}) {
        reducer.Reduce(flat, type, true, kWidth, kHeight, ops);
        EXPECT_LE(ops.size(), 2u) << type;
    }
    // A column visiting 5 rows over and over keeps about one step per row and direction.
    std::vector<CPixel> column;
    for (int k = 0; k < 10000; ++k) {
        column.push_back({80, 60 + (k * 7 % 5)});
    }
    for (int type : {kPointTypeCross, kPointTypeCircle, kPointTypeSquare, kPointTypePoint}) {
        reducer.Reduce(column, type, true, kWidth, kHeight, ops);
        EXPECT_LE(ops.size(), 20u) << type;
    }
}

TEST(TraceReducerTest, PixelsFarOutsideTheClientAreaAreKeptWithoutOverflow) {
    CTraceReducer reducer;
    std::vector<CTraceOp> ops;
    const std::vector<CPixel> extreme = {{INT_MIN, INT_MAX}, {INT_MAX, INT_MIN}, {5, 5}};
    reducer.Reduce(extreme, kPointTypeCross, true, kWidth, kHeight, ops);
    EXPECT_EQ(ops.size(), 5u);
}

} // namespace
