#pragma once

#include "view/PlotOverlay.h"

#include <QPoint>
#include <QString>
#include <QTimer>

#include <optional>

class CPlotPainter;
class CPlotScreen;
class CSetTimeKeeper;
class CStatusSink;
class QWidget;

// The values under the mouse: while the pointer is over the plot, the status bar shows the
// sample under it and each shown channel's value there, and a thin line marks that sample on
// the window (never in a capture). The line moves alone: nothing else is painted again.
class CHoverReadout : public CMovingOverlay {
public:
    // viewport is what the plot is drawn in; the screen moves the line; status takes the text.
    CHoverReadout(QWidget& viewport, CPlotPainter& painter, CPlotScreen& screen,
                  CStatusSink& status, const CSetTimeKeeper& times);

    void OnMouseMove(QPoint pos);
    // The pointer left the plot: the status bar says again what it said before.
    void OnLeave();
    // The sample under the pointer, if it is over one.
    std::optional<int> Sample() const;

    QRect Area(const CPlotGeometry& geometry) const override;
    void Draw(QPainter& painter, const CPlotGeometry& geometry) override;

private:
    void ShowReadout();

    QWidget& m_viewport;
    CPlotPainter& m_painter;
    CPlotScreen& m_screen;
    CStatusSink& m_status;
    const CSetTimeKeeper& m_times;
    // The pointer's x while it is over the view.
    std::optional<int> m_nPointerX;
    // The sample the status bar shows, and the text.
    std::optional<int> m_nShownSample;
    QString m_strShown;
    // Brings the text to a line that moved under a still pointer (new data, a zoom).
    QTimer m_refresh;
};
