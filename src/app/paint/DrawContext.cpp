#include "paint/DrawContext.h"

namespace {

__attribute__((target("avx"))) void ClearUpperVectorState() {
    __builtin_ia32_vzeroupper();
}

} // namespace

// The toolkit's drawing runs AVX code and may leave the upper halves of the vector registers
// in use; plain SSE code after it (the plot library's) then runs at about half speed.
void CDrawContext::LeaveToolkitCode() {
    static const bool bHasAvx = __builtin_cpu_supports("avx");
    if (bHasAvx) {
        ClearUpperVectorState();
    }
}

CDrawContext::CDrawContext(QImage& image) : m_image(image) {
    Begin();
}

// The defaults every drawing call starts from: black pen, black text on opaque white.
void CDrawContext::Begin() {
    m_painter.begin(&m_image);
    m_painter.setRenderHint(QPainter::Antialiasing, false);
    m_painter.setBackgroundMode(Qt::OpaqueMode);
    m_painter.setBackground(Qt::white);
    m_painter.setPen(Qt::black);
}

void CDrawContext::FillRect(const QRect& rect, const QColor& colour) {
    m_painter.fillRect(rect, colour);
}

void CDrawContext::StraightLine(int x0, int y0, int x1, int y1, const QColor& colour) {
    if (y0 == y1 && x0 != x1) {
        FillRect(x0 < x1 ? QRect(x0, y0, x1 - x0, 1) : QRect(x1 + 1, y0, x0 - x1, 1), colour);
    } else if (x0 == x1 && y0 != y1) {
        FillRect(y0 < y1 ? QRect(x0, y0, 1, y1 - y0) : QRect(x0, y1 + 1, 1, y0 - y1), colour);
    }
}

void CDrawContext::DashDotLine(int x0, int x1, int y, int nWidth, const QColor& colour) {
    if (y < -nWidth || y > Height() + nWidth) {
        return;
    }
    m_painter.save();
    m_painter.setBackgroundMode(Qt::TransparentMode);
    m_painter.setPen(QPen(colour, nWidth, Qt::DashDotLine, Qt::FlatCap));
    m_painter.drawLine(x0, y, x1, y);
    m_painter.restore();
}

void CDrawContext::Text(int x, int y, const QString& strText) {
    m_painter.drawText(x, y + m_painter.fontMetrics().ascent(), strText);
}

CRasterTarget CDrawContext::Target() {
    return {reinterpret_cast<std::uint32_t*>(m_image.bits()), m_image.width(), m_image.height(),
            m_image.bytesPerLine() / 4};
}

// The trace is written straight into the pixels: the painter finishes what it has pending
// first and starts again after.
template <class F>
void CDrawContext::WithoutPainter(F&& fnDraw) {
    m_painter.end();
    LeaveToolkitCode();
    fnDraw();
    Begin();
}

void CDrawContext::BeginLayers() {
    m_rasterizer.Begin(Target());
}

void CDrawContext::Trace(std::span<const CPixel> pixels, int nPointType, bool bLines,
                         QRgb nLineColour) {
    WithoutPainter([&] { m_rasterizer.Draw(pixels, nPointType, bLines, nLineColour); });
}

void CDrawContext::TraceOneByOne(std::span<const CPixel> pixels, int nPointType, bool bLines,
                                 QRgb nLineColour) {
    WithoutPainter([&] { DrawTraceOneByOne(Target(), pixels, nPointType, bLines, nLineColour); });
}

void CDrawContext::DashDotLineUnder(int x0, int x1, int y, int nWidth, const QColor& colour) {
    // Drawn by the toolkit into a strip of a colour the line never has, then taken over
    // where no later layer has drawn yet.
    if (y < -nWidth - 1 || y > Height() + nWidth) {
        return; // also keeps the arithmetic below clear of y near INT_MIN or INT_MAX
    }
    const int nTop = std::max(y - nWidth - 1, 0);
    const int nBottom = std::min(y + nWidth + 1, Height() - 1);
    if (nTop > nBottom) {
        return;
    }
    constexpr QRgb kUnpainted = qRgb(1, 2, 3);
    QImage strip(Width(), nBottom - nTop + 1, QImage::Format_RGB32);
    strip.fill(kUnpainted);
    {
        QPainter painter(&strip);
        painter.translate(0, -nTop);
        painter.setRenderHint(QPainter::Antialiasing, false);
        painter.setPen(QPen(colour, nWidth, Qt::DashDotLine, Qt::FlatCap));
        painter.drawLine(x0, y, x1, y);
    }
    WithoutPainter([&] {
        for (int row = nTop; row <= nBottom; ++row) {
            const auto* source = reinterpret_cast<const QRgb*>(strip.constScanLine(row - nTop));
            auto* target = reinterpret_cast<QRgb*>(m_image.scanLine(row));
            for (int x = 0; x < Width(); ++x) {
                if (source[x] != kUnpainted && m_rasterizer.Claim(x, row)) {
                    target[x] = source[x];
                }
            }
        }
    });
}
