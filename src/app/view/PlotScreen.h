#pragma once

#include "files/PictureCommands.h"
#include "paint/DirectCanvas.h"
#include "session/MemoryShortage.h"

#include <QImage>
#include <QRect>

#include <utility>
#include <vector>

class CDirectCanvas;
class CFramePacer;
class CMovingOverlay;
class CPlotPainter;
class CStatusSink;
class QAbstractScrollArea;
class QPainter;
class QRegion;

// What the window shows of the plot: each paint of the view drawn straight into the window's
// store where it can, else into a picture of its own that is then copied there; the paints
// that new data asks for paced to the display's frames; and the picture on screen, which the
// captures take.
class CPlotScreen : public CPictureSource {
public:
    CPlotScreen(QAbstractScrollArea& view, CPlotPainter& painter, CStatusSink& status);
    ~CPlotScreen();
    CPlotScreen(const CPlotScreen&) = delete;
    CPlotScreen& operator=(const CPlotScreen&) = delete;

    // The view's paint event.
    void Paint(const QRegion& region);
    // The whole view painted again soon.
    void Repaint();
    // New data: a paint within the frame (see CFramePacer).
    void RequestPaint();
    // The display the view is shown on refreshes at fHz.
    void SetRefreshRate(double fHz);

    // The overlay that moves alone (see CMovingOverlay); null for none.
    void SetMovingOverlay(CMovingOverlay* pOverlay);
    // It has moved: the pixels it leaves and those it enters are painted again, and nothing
    // else (the whole view when what lies under them is not known).
    void MoveOverlay();

    // A new picture of the plot as large as the view; null when there is no memory for it.
    QImage RenderPicture() override;
    // The picture on screen now, as the last paint left it without what is drawn on the
    // window only (drawn without any side effect when there is none).
    QImage ShownPicture() override;
    // The view as it looks, frame and scroll bar included, its plot as ShownPicture gives it;
    // null when there is no memory for it.
    QImage GrabView() override;

    // Paints of the view so far, and what paces those that new data asks for.
    int PaintCount() const { return m_nPaints; }
    // Paints that only moved the moving overlay.
    int StripPaintCount() const { return m_nStripPaints; }
    const CDirectCanvas& Canvas() const { return m_canvas; }
    CFramePacer& Pacer() const { return *m_pPacer; }

private:
    // Draws the view's whole plot; false when it could not be had.
    bool PaintWhole(const QRegion& region);
    // Moves the moving overlay, when region holds only its strips; false when it does not.
    bool PaintStrips(const QRegion& region);
    // Where the moving overlay is now, within the view.
    QRect MovingArea() const;
    // What lies under area, the moving overlay left out, as the window shows it now.
    QImage Under(QRect area) const;

    QAbstractScrollArea& m_view;
    CPlotPainter& m_painter;
    CStatusSink& m_status;
    // The last paint's picture, unless it went straight to the window (m_canvas).
    QImage m_picture;
    CDirectCanvas m_canvas;
    CFramePacer* m_pPacer;
    int m_nPaints = 0;
    int m_nStripPaints = 0;
    bool m_bCapturing = false;
    // The moving overlay, where the last paint drew it and what is under it there (null
    // when it drew nothing); valid while the last whole paint succeeded.
    CMovingOverlay* m_pMoving = nullptr;
    QRect m_movingArea;
    QImage m_under;
    bool m_bUnderKnown = false;
    // Whether the last whole paint went straight into the window's store.
    bool m_bInStore = false;
    // A move asked for and not painted yet: where it goes, what is under it there, and the
    // areas to put back as they were (where it is now, and where earlier moves went).
    bool m_bMovePending = false;
    QRect m_nextArea;
    QImage m_nextUnder;
    std::vector<std::pair<QRect, QImage>> m_vPutBack;
    CMemoryShortage m_memoryShortage;
};
