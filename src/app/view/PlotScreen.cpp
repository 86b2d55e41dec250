#include "view/PlotScreen.h"

#include "dialogs/StatusSink.h"
#include "paint/FramePacer.h"
#include "view/PlotPainter.h"

#include <QAbstractScrollArea>
#include <QPainter>

CPlotScreen::CPlotScreen(QAbstractScrollArea& view, CPlotPainter& painter, CStatusSink& status)
    : m_view(view), m_painter(painter), m_status(status),
      m_pPacer(new CFramePacer([this] { Repaint(); }, &view)) {}

CPlotScreen::~CPlotScreen() = default;

void CPlotScreen::Repaint() {
    m_view.viewport()->update();
}

void CPlotScreen::RequestPaint() {
    m_pPacer->RequestPaint();
}

void CPlotScreen::SetRefreshRate(double fHz) {
    m_pPacer->SetRefreshRate(fHz);
}

void CPlotScreen::Paint(const QRegion& region) {
    QWidget& viewport = *m_view.viewport();
    // A capture shows what is on screen: the last paint's picture, drawn again.
    if (m_bCapturing && m_picture.size() == viewport.size()) {
        QPainter(&viewport).drawImage(0, 0, m_picture);
        return;
    }
    m_pPacer->OnPaintStarted();
    bool bWhole = false;
    try {
        bWhole = PaintWhole(region);
    } catch (const std::bad_alloc&) {
        m_canvas.Forget();
        QPainter(&viewport).fillRect(viewport.rect(), Qt::white);
    }
    ++m_nPaints;
    m_pPacer->OnPainted();
    if (bWhole) {
        m_memoryShortage.PaintSucceeded();
    } else if (m_memoryShortage.PaintFailed()) {
        m_status.SetStatusText("%s", CMemoryShortage::kPaintFailedText);
    }
}

bool CPlotScreen::PaintWhole(const QRegion& region) {
    QWidget& viewport = *m_view.viewport();
    const QSize size = viewport.size();
    // The whole view drawn straight where the window keeps it, where it can be.
    QImage canvas;
    if ((QRegion(viewport.rect()) - region).isEmpty()) {
        canvas = m_canvas.Begin(viewport);
    }
    if (!canvas.isNull()) {
        m_painter.Draw(canvas);
        m_picture = QImage();
        if (m_painter.HasWindowOverlays()) {
            QPainter painter(&canvas);
            m_painter.DrawWindowOverlays(painter, size);
            // What is drawn on the window only is not read back for a capture.
            m_canvas.Forget();
        }
        return true;
    }
    m_canvas.Forget();
    if (m_picture.size() != size) {
        // Null when there is no memory for it.
        m_picture = QImage(size, QImage::Format_RGB32);
    }
    m_painter.Draw(m_picture);
    QPainter painter(&viewport);
    if (m_picture.isNull()) {
        painter.fillRect(viewport.rect(), Qt::white);
        return size.isEmpty();
    }
    painter.drawImage(0, 0, m_picture);
    if (m_painter.HasWindowOverlays()) {
        m_painter.DrawWindowOverlays(painter, size);
    }
    return true;
}

QImage CPlotScreen::RenderPicture() {
    try {
        QImage picture(m_view.viewport()->size(), QImage::Format_RGB32);
        m_painter.Draw(picture);
        return picture;
    } catch (const std::bad_alloc&) {
        return {};
    }
}

QImage CPlotScreen::ShownPicture() {
    QWidget& viewport = *m_view.viewport();
    if (const QImage shown = m_canvas.LastPicture(viewport); !shown.isNull()) {
        m_picture = shown;
    }
    if (!m_picture.isNull() && m_picture.size() == viewport.size()) {
        return m_picture;
    }
    // Nothing painted yet at this size: a paint that leaves every setting and sound alone.
    QImage picture(viewport.size(), QImage::Format_RGB32);
    if (picture.isNull()) {
        return picture;
    }
    m_painter.DrawLookOnly(picture);
    m_picture = picture;
    return picture;
}

QImage CPlotScreen::GrabView() {
    QImage view;
    try {
        if (!ShownPicture().isNull()) {
            m_bCapturing = true;
            view = m_view.grab().toImage();
        }
    } catch (const std::bad_alloc&) {
        view = QImage();
    }
    m_bCapturing = false;
    return view;
}
