#include "view/PlotScreen.h"

#include "dialogs/StatusSink.h"
#include "paint/FramePacer.h"
#include "view/PlotOverlay.h"
#include "view/PlotPainter.h"

#include <QAbstractScrollArea>
#include <QPainter>

namespace {

// Moves gathered into one paint beyond this many are painted as a whole paint.
constexpr std::size_t kMaxPendingMoves = 8;

} // namespace

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

void CPlotScreen::SetMovingOverlay(CMovingOverlay* pOverlay) {
    m_pMoving = pOverlay;
    m_bUnderKnown = false;
}

QRect CPlotScreen::MovingArea() const {
    if (m_pMoving == nullptr) {
        return {};
    }
    const QRect view = m_view.viewport()->rect();
    return m_pMoving->Area(CPlotGeometry(view.width(), view.height())) & view;
}

QImage CPlotScreen::Under(QRect area) const {
    QWidget& viewport = *m_view.viewport();
    QImage under;
    if (m_bInStore) {
        under = m_canvas.ReadBack(viewport, area);
        // The store shows the overlay where it is now.
        if (!under.isNull() && !m_under.isNull() && area.intersects(m_movingArea)) {
            QPainter(&under).drawImage(m_movingArea.topLeft() - area.topLeft(), m_under);
        }
    } else if (m_picture.size() == viewport.size()) {
        under = m_picture.copy(area);
        if (!under.isNull() && m_painter.HasWindowOverlays()) {
            QPainter painter(&under);
            painter.translate(-area.topLeft());
            m_painter.DrawWindowOverlays(painter, viewport.size());
        }
    }
    return under;
}

void CPlotScreen::MoveOverlay() {
    const QRect area = MovingArea();
    if (area == (m_bMovePending ? m_nextArea : m_movingArea)) {
        return;
    }
    QImage under;
    if (m_bUnderKnown && !area.isEmpty()) {
        under = Under(area);
    }
    if (!m_bUnderKnown || (!area.isEmpty() && under.isNull()) ||
        m_vPutBack.size() >= kMaxPendingMoves) {
        Repaint();
        return;
    }
    if (m_bMovePending) {
        // Where the last move went is not painted yet, but the region asked for holds it.
        m_vPutBack.emplace_back(m_nextArea, m_nextUnder);
    } else {
        m_vPutBack.assign(1, {m_movingArea, m_under});
        m_bMovePending = true;
    }
    m_nextArea = area;
    m_nextUnder = under;
    m_view.viewport()->update(QRegion(m_movingArea) | area);
}

bool CPlotScreen::PaintStrips(const QRegion& region) {
    QRegion strips(m_nextArea);
    for (const auto& [area, under] : m_vPutBack) {
        strips |= area;
    }
    // New data or a change of the plot since the move asked for: the whole view is painted.
    if (!(region - strips).isEmpty() || MovingArea() != m_nextArea || !m_bUnderKnown) {
        return false;
    }
    QWidget& viewport = *m_view.viewport();
    QPainter painter(&viewport);
    for (const auto& [area, under] : m_vPutBack) {
        if (!under.isNull()) {
            painter.drawImage(area.topLeft(), under);
        }
    }
    m_movingArea = m_nextArea;
    m_under = m_nextUnder;
    if (!m_under.isNull()) {
        painter.drawImage(m_movingArea.topLeft(), m_under);
        m_pMoving->Draw(painter, CPlotGeometry(viewport.width(), viewport.height()));
        m_canvas.MarkDrawnOver();
    }
    return true;
}

void CPlotScreen::Paint(const QRegion& region) {
    QWidget& viewport = *m_view.viewport();
    // A capture shows what is on screen: the last paint's picture, drawn again.
    if (m_bCapturing && m_picture.size() == viewport.size()) {
        QPainter(&viewport).drawImage(0, 0, m_picture);
        return;
    }
    if (std::exchange(m_bMovePending, false)) {
        const bool bMoved = PaintStrips(region);
        m_vPutBack.clear();
        m_nextUnder = QImage();
        if (bMoved) {
            ++m_nStripPaints;
            return;
        }
        // Whatever the region, the whole view: the strips may lie outside it.
        if (!(QRegion(viewport.rect()) - region).isEmpty()) {
            Repaint();
        }
    }
    m_bUnderKnown = false;
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
        m_bInStore = true;
        if (m_painter.HasWindowOverlays()) {
            QPainter painter(&canvas);
            m_painter.DrawWindowOverlays(painter, size);
            // What is drawn on the window only is not read back for a capture.
            m_canvas.MarkDrawnOver();
        }
        m_movingArea = MovingArea();
        m_under = QImage();
        if (!m_movingArea.isEmpty()) {
            m_under = canvas.copy(m_movingArea);
            QPainter painter(&canvas);
            m_pMoving->Draw(painter, CPlotGeometry(size.width(), size.height()));
            m_canvas.MarkDrawnOver();
        }
        m_bUnderKnown = true;
        return true;
    }
    m_canvas.Forget();
    m_bInStore = false;
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
    if (m_pMoving != nullptr) {
        // What is under it: the picture with the other overlays of the window.
        m_movingArea = MovingArea();
        m_under = m_movingArea.isEmpty() ? QImage() : Under(m_movingArea);
        if (!m_under.isNull()) {
            m_pMoving->Draw(painter, CPlotGeometry(size.width(), size.height()));
        }
    }
    m_bUnderKnown = m_movingArea.isEmpty() || !m_under.isNull();
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
