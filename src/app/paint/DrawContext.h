#pragma once

#include "TraceRaster.h"

#include <QColor>
#include <QImage>
#include <QPainter>

#include <span>

// The off-screen picture of the view and the drawing calls the plot is made of, with the
// rules it was designed for: a line leaves out its end point, a box its right and bottom
// edge, text is anchored at its top-left corner on an opaque white background.
class CDrawContext {
public:
    explicit CDrawContext(QImage& image);

    // Call before heavy numeric work that follows drawing calls.
    static void LeaveToolkitCode();

    int Width() const { return m_image.width(); }
    int Height() const { return m_image.height(); }

    void FillRect(const QRect& rect, const QColor& colour);
    // Horizontal or vertical one-pixel line from (x0, y0) towards (x1, y1), end left out.
    void StraightLine(int x0, int y0, int x1, int y1, const QColor& colour);
    // A dash-dot line of the given width, as the toolkit draws it; left out when it lies
    // wholly outside the picture (an infinite extreme maps far beyond it).
    void DashDotLine(int x0, int x1, int y, int nWidth, const QColor& colour);
    void Text(int x, int y, const QString& strText);

    // Traces and lines drawn between BeginLayers and the next BeginLayers go under whatever
    // was drawn since: drawn last to first, they give the picture of drawing them in order.
    void BeginLayers();
    void Trace(std::span<const CPixel> pixels, int nPointType, bool bLines, QRgb nLineColour);
    void DashDotLineUnder(int x0, int x1, int y, int nWidth, const QColor& colour);
    // The same trace, every step painted in order over the picture: the reference.
    void TraceOneByOne(std::span<const CPixel> pixels, int nPointType, bool bLines,
                       QRgb nLineColour);

private:
    void Begin();
    CRasterTarget Target();
    template <class F>
    void WithoutPainter(F&& fnDraw);

    QImage& m_image;
    QPainter m_painter;
    CTraceRasterizer m_rasterizer;
};
