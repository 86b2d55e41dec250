#include "TraceRaster.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

struct CImage {
    CImage(int nWidth, int nHeight, std::uint32_t nFill)
        : m_nWidth(nWidth), m_nHeight(nHeight),
          m_vBits(static_cast<std::size_t>(nWidth * nHeight), nFill) {}
    CRasterTarget Target() { return {m_vBits.data(), m_nWidth, m_nHeight, m_nWidth}; }
    std::uint32_t At(int x, int y) const {
        return m_vBits[static_cast<std::size_t>(y * m_nWidth + x)];
    }
    int m_nWidth;
    int m_nHeight;
    std::vector<std::uint32_t> m_vBits;
};

constexpr std::uint32_t kBlue = 0xFF0000FFu;
constexpr std::uint32_t kGrey = 0xFFC8C8C8u;

// Windows of the shapes the plot sees: x never decreases, y anywhere (and a little beyond
// the image, where nothing may be written).
std::vector<CPixel> MakeTrace(const char* szKind, int nCount, int nWidth, int nHeight,
                              std::mt19937& random) {
    std::vector<CPixel> pixels;
    std::uniform_int_distribution<int> anyRow(-5, nHeight + 5);
    std::uniform_int_distribution<int> step(-3, 3);
    std::uniform_int_distribution<int> chance(0, 99);
    int y = nHeight / 2;
    for (int p = 0; p < nCount; ++p) {
        const int x = -4 + static_cast<int>(static_cast<long long>(p) * (nWidth + 8) / nCount);
        const std::string kind = szKind;
        if (kind == "walk") {
            y += step(random);
        } else if (kind == "noise") {
            y = anyRow(random);
        } else if (kind == "spikes") {
            y = chance(random) < 3 ? anyRow(random) : nHeight / 2;
        } else if (kind == "flat") {
            y = chance(random) < 1 ? y + step(random) : y;
        } else { // sparse, gaps: few samples, long slanted lines
            y = anyRow(random);
        }
        pixels.push_back(kind == "gaps" && chance(random) < 30 ? kGapPixel : CPixel{x, y});
    }
    return pixels;
}

TEST(TraceRasterTest, DrawsTheSamePictureAsEveryStepInOrder) {
    std::mt19937 random(2024);
    CTraceRasterizer rasterizer;
    for (const char* szKind : {"walk", "noise", "spikes", "flat", "sparse", "gaps"}) {
        for (int nCount : {1, 2, 30, 1000, 20000}) {
            if (std::string(szKind) == "sparse" && nCount > 30) {
                continue;
            }
            const auto pixels = MakeTrace(szKind, nCount, 97, 71, random);
            for (int nType = 0; nType <= 4; ++nType) {
                for (bool bLines : {false, true}) {
                    CImage expected(97, 71, kGrey);
                    CImage actual(97, 71, kGrey);
                    DrawTraceOneByOne(expected.Target(), pixels, nType, bLines, kBlue);
                    rasterizer.Begin(actual.Target());
                    rasterizer.Draw(pixels, nType, bLines, kBlue);
                    ASSERT_EQ(actual.m_vBits, expected.m_vBits)
                        << szKind << " n=" << nCount << " type=" << nType << " lines=" << bLines;
                }
            }
        }
    }
}

TEST(TraceRasterTest, ShapesAndLinesFollowThePlatformRules) {
    CImage image(20, 20, kGrey);
    DrawTraceOneByOne(image.Target(), std::vector<CPixel>{{5, 5}, {15, 5}}, kPointTypeCross, true,
                      kBlue);
    // The cross: x-3..x+2 and y-3..y+2, end points left out.
    EXPECT_EQ(image.At(2, 5), kRasterBlack);
    EXPECT_EQ(image.At(5, 2), kRasterBlack);
    EXPECT_EQ(image.At(5, 7), kRasterBlack);
    EXPECT_EQ(image.At(5, 8), kGrey);
    EXPECT_EQ(image.At(1, 5), kGrey);
    // The line runs from the first point, over its shape, and stops before the second, whose
    // cross came before it.
    EXPECT_EQ(image.At(5, 5), kBlue);
    EXPECT_EQ(image.At(14, 5), kBlue);
    EXPECT_EQ(image.At(15, 5), kRasterBlack);
    EXPECT_EQ(image.At(6, 6), kGrey);

    CImage boxes(20, 20, kGrey);
    DrawTraceOneByOne(boxes.Target(), std::vector<CPixel>{{5, 5}}, kPointTypeSquare, false, kBlue);
    EXPECT_EQ(boxes.At(2, 2), kRasterBlack);
    EXPECT_EQ(boxes.At(7, 7), kRasterBlack);
    EXPECT_EQ(boxes.At(8, 8), kGrey);
    EXPECT_EQ(boxes.At(5, 5), kRasterWhite);
    DrawTraceOneByOne(boxes.Target(), std::vector<CPixel>{{14, 14}}, kPointTypeCircle, false,
                      kBlue);
    EXPECT_EQ(boxes.At(14, 14), kRasterWhite);
    EXPECT_EQ(boxes.At(11, 14), kRasterBlack);
    EXPECT_EQ(boxes.At(11, 11), kGrey);
    DrawTraceOneByOne(boxes.Target(), std::vector<CPixel>{{10, 17}}, kPointTypePoint, false, kBlue);
    EXPECT_EQ(boxes.At(10, 17), kRasterBlack);
    EXPECT_EQ(boxes.At(11, 17), kGrey);
}

} // namespace

namespace {

// Lines into the next column are painted from a formula rather than stepped pixel by pixel.
TEST(TraceRasterTest, LinesOneColumnOverMatchBresenham) {
    CTraceRasterizer rasterizer;
    for (int nRows = 2; nRows < 300; ++nRows) {
        for (const int sx : {-1, 1}) {
            for (const int sy : {-1, 1}) {
                const std::vector<CPixel> pixels = {{20, 150}, {20 + sx, 150 + sy * nRows}};
                CImage expected(41, 301, kGrey);
                CImage actual(41, 301, kGrey);
                DrawTraceOneByOne(expected.Target(), pixels, 4, true, kBlue);
                rasterizer.Begin(actual.Target());
                rasterizer.Draw(pixels, 4, true, kBlue);
                ASSERT_EQ(actual.m_vBits, expected.m_vBits) << nRows << " " << sx << " " << sy;
            }
        }
    }
}

} // namespace

namespace {

TEST(TraceRasterTest, TracesDrawnLastToFirstLayerAsIfDrawnInOrder) {
    std::mt19937 random(99);
    CTraceRasterizer rasterizer;
    for (int nRound = 0; nRound < 20; ++nRound) {
        std::vector<std::vector<CPixel>> traces;
        for (const char* szKind : {"noise", "walk", "flat", "spikes"}) {
            traces.push_back(MakeTrace(szKind, 3000, 97, 71, random));
        }
        const std::uint32_t colours[] = {kBlue, 0xFFFF0000u, 0xFF00FF00u, 0xFFFF00FFu};
        CImage expected(97, 71, kGrey);
        CImage actual(97, 71, kGrey);
        for (std::size_t t = 0; t < traces.size(); ++t) {
            DrawTraceOneByOne(expected.Target(), traces[t], static_cast<int>(t), t != 2,
                              colours[t]);
        }
        rasterizer.Begin(actual.Target());
        for (std::size_t t = traces.size(); t-- > 0;) {
            rasterizer.Draw(traces[t], static_cast<int>(t), t != 2, colours[t]);
        }
        ASSERT_EQ(actual.m_vBits, expected.m_vBits) << nRound;
    }
}

} // namespace
