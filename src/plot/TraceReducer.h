#pragma once

#include "TraceBuilder.h"

#include <cstdint>
#include <span>
#include <vector>

// Drops the drawing steps of a window that cannot change the picture, for windows with many
// samples per pixel column.
//
// Painting is opaque (no antialiasing, no blending), so a pixel ends up with the colour of
// the last step that writes it. A step all of whose pixels are written again by later steps
// is never that last writer, and leaving out every such step at once leaves every pixel's
// last writer, and so the picture, as it was. A step is dropped only when that is certain
// whatever the rasteriser does within the platform's rules:
//  - the same step comes again later (a shape at the same pixel, the steps inside a run of
//    one pixel): it repaints exactly the same pixels;
//  - otherwise, an over-estimate of its pixels (closed boxes, lines with both ends) lies
//    inside an under-estimate of the later steps' pixels: only horizontal and vertical
//    lines (without their end point), the arms of crosses and single points count there,
//    never ellipses, boxes or slanted lines, whose pixels are the rasteriser's choice.
// Only pixels inside the client area are tracked; steps reaching outside it are kept.
class CTraceReducer {
public:
    // The steps of BuildTraceOps(pixels, nPointType, bLines) that can change the picture,
    // in their order.
    void Reduce(std::span<const CPixel> pixels, int nPointType, bool bLines, int nClientWidth,
                int nClientHeight, std::vector<CTraceOp>& ops);

private:
    // One bit per client pixel, a column's rows in consecutive words.
    class CPixelMask {
    public:
        // Sizes the mask and clears the columns [nFirst, nLast] that the last use wrote.
        void Reset(int nWidth, int nHeight);
        void SetUsedColumns(int nFirst, int nLast) {
            m_nUsedFirst = nFirst;
            m_nUsedLast = nLast;
        }
        bool Inside(int x, int y) const {
            return static_cast<unsigned>(x) < static_cast<unsigned>(m_nWidth) &&
                   static_cast<unsigned>(y) < static_cast<unsigned>(m_nHeight);
        }
        bool Test(int x, int y) const {
            return Inside(x, y) && (Column(x)[y >> 6] >> (y & 63) & 1) != 0;
        }
        void Set(int x, int y) {
            if (Inside(x, y)) {
                Column(x)[y >> 6] |= std::uint64_t{1} << (y & 63);
            }
        }
        // All of rows y0..y1 (y0 <= y1) of column x are set; false if any lies outside.
        bool TestColumn(int x, int y0, int y1) const;
        // Sets rows y0..y1 of column x, clipped to the mask.
        void SetColumn(int x, int y0, int y1);

    private:
        std::uint64_t* Column(int x) {
            return m_vWords.data() + static_cast<std::size_t>(x) * m_nWordsPerColumn;
        }
        const std::uint64_t* Column(int x) const {
            return m_vWords.data() + static_cast<std::size_t>(x) * m_nWordsPerColumn;
        }

        int m_nWidth = 0;
        int m_nHeight = 0;
        std::size_t m_nWordsPerColumn = 0;
        std::vector<std::uint64_t> m_vWords;
        int m_nUsedFirst = 0;
        int m_nUsedLast = -1;
    };

    bool ShapeRepainted(int nPointType, int x, int y) const;
    void AddShape(int nPointType, int x, int y);
    bool LineRepainted(const CTraceOp& line) const;
    void AddLine(const CTraceOp& line);

    // Pixels certainly written by the steps after the one being decided.
    CPixelMask m_covered;
    // Pixels where a later step draws a shape.
    CPixelMask m_shapes;
};
