#pragma once

#include "TraceBuilder.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

// 32-bit pixels 0xAARRGGBB, rows top first, nStride pixels apart (a QImage of Format_RGB32).
struct CRasterTarget {
    std::uint32_t* m_pBits = nullptr;
    int m_nWidth = 0;
    int m_nHeight = 0;
    std::ptrdiff_t m_nStride = 0;
};

inline constexpr std::uint32_t kRasterBlack = 0xFF000000u;
inline constexpr std::uint32_t kRasterWhite = 0xFFFFFFFFu;

// Draws the trace of one channel the way drawing its samples one by one does: for every
// sample its point shape in black (circle and square filled white), then, from the second
// sample on when bLines is set, a one-pixel line in nLineColour from the previous sample's
// pixel to this one. Lines include their start and exclude their end pixel (Bresenham), boxes
// exclude their right and bottom edge: the platform rules the plot was drawn with. Pixels
// outside the target are left out. A kGapPixel draws nothing, and no line leads into it or
// out of it.
//
// The steps are painted last to first, and a pixel is written only by the first step that
// reaches it, which is the last one to paint it one by one: the picture is the same, but
// each pixel is written once, and the many steps of a window with thousands of samples per
// pixel column cost a few word operations each.
class CTraceRasterizer {
public:
    // Starts a picture: no pixel of the target is final yet.
    void Begin(const CRasterTarget& target);
    // Draws a trace under everything drawn since Begin: only pixels not yet final are painted.
    // Drawing the traces of a picture last to first gives the picture of drawing them in
    // order, each pixel written once.
    void Draw(std::span<const CPixel> pixels, int nPointType, bool bLines,
              std::uint32_t nLineColour);
    // Marks a pixel final; false when it already was (or lies outside the target).
    bool Claim(int x, int y);

private:
    void Plot(int x, int y, std::uint32_t nColour);
    void Span(int x, int y0, int y1, std::uint32_t nColour); // rows y0..y1 inclusive, y0 <= y1
    // Writes the rows set in the word of column x whose first row is nFirstRow.
    void WriteRows(int x, int nFirstRow, std::uint64_t rows, std::uint32_t nColour);

    void Line(int x0, int y0, int x1, int y1, std::uint32_t nColour);
    void Shape(int nPointType, int x, int y);
    // The rows of a run of samples that share one pixel column, as bits (m_vRunRows).
    void ClearRows();
    void AddRow(int y) {
        if (static_cast<unsigned>(y) < static_cast<unsigned>(m_target.m_nHeight)) {
            m_vRunRows[static_cast<std::size_t>(y >> 6)] |= std::uint64_t{1} << (y & 63);
        }
    }
    void FinishRows();
    // Paints the rows not yet final of words [first, last] of column x.
    void MergeRows(int x, const std::uint64_t* rows, std::size_t first, std::size_t last,
                   std::uint32_t nColour);
    // The arms of the run's crosses beside its column, and along it.
    void CrossArmsBeside(int x);
    void CrossArmsAlong(int x);

    void DrawInOrder(std::span<const CPixel> pixels, int nPointType, bool bLines,
                     std::uint32_t nLineColour);
    // Shapes that lie in their own column but for black arms beside it (cross, point, none),
    // a column of samples at a time.
    void DrawColumnRuns(std::span<const CPixel> pixels, int nPointType, bool bLines,
                        std::uint32_t nLineColour);

    CRasterTarget m_target;
    // One bit per pixel, a column's rows in consecutive words: set once the pixel is final.
    std::vector<std::uint64_t> m_vDone;
    std::size_t m_nWordsPerColumn = 0;

    std::vector<std::uint64_t> m_vRunRows;
    std::vector<std::uint64_t> m_vArmRows;
    std::size_t m_nRowWordFirst = 0;
    std::size_t m_nRowWordLast = 0;
};

// The same picture, every step painted in order: the reference the fast drawing is held to.
void DrawTraceOneByOne(const CRasterTarget& target, std::span<const CPixel> pixels, int nPointType,
                       bool bLines, std::uint32_t nLineColour);
