#pragma once

#include "files/PictureCommands.h"
#include "paint/DirectCanvas.h"
#include "session/MemoryShortage.h"

#include <QImage>

class CDirectCanvas;
class CFramePacer;
class CPlotPainter;
class CStatusSink;
class QAbstractScrollArea;
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
    const CDirectCanvas& Canvas() const { return m_canvas; }
    CFramePacer& Pacer() const { return *m_pPacer; }

private:
    // Draws the view's whole plot; false when it could not be had.
    bool PaintWhole(const QRegion& region);

    QAbstractScrollArea& m_view;
    CPlotPainter& m_painter;
    CStatusSink& m_status;
    // The last paint's picture, unless it went straight to the window (m_canvas).
    QImage m_picture;
    CDirectCanvas m_canvas;
    CFramePacer* m_pPacer;
    int m_nPaints = 0;
    bool m_bCapturing = false;
    CMemoryShortage m_memoryShortage;
};
