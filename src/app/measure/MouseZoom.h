#pragma once

#include "view/PlotOverlay.h"

#include "PlotZoom.h"

#include <QPoint>

#include <functional>
#include <optional>

class CCommandMap;
class CPlotPainter;
class CStatusSink;
class QWidget;

// Zoom with the mouse: a rectangle dragged with the left button becomes the X range (through
// ppd and the scroll-back) and the Y range (a fixed Y Max and Y Min); Plot > Zoom Back
// returns to the ranges before, step by step.
class CMouseZoom : public CPlotOverlay {
public:
    // fnRepaint repaints the plot; fnWindowMoved tells that the window was put somewhere by
    // hand (as a scroll does); fnStopCollecting stops collection, as scrolling back does.
    CMouseZoom(QWidget& viewport, CPlotPainter& painter, CStatusSink& status,
               std::function<void()> fnRepaint, std::function<void()> fnWindowMoved,
               std::function<void()> fnStopCollecting);

    void RegisterCommands(CCommandMap& commands);

    void OnPress(QPoint pos);
    void OnMove(QPoint pos);
    void OnRelease(QPoint pos);
    // Escape: a drag under way is dropped.
    void Cancel();
    void OnZoomBack();
    bool CanGoBack() const { return m_history.CanGoBack(); }

    bool Visible() const override;
    void Draw(QPainter& painter, const CPlotGeometry& geometry) override;

private:
    SPlotRanges CurrentRanges() const;
    void Apply(const SPlotRanges& ranges);

    QWidget& m_viewport;
    CPlotPainter& m_painter;
    CStatusSink& m_status;
    std::function<void()> m_fnRepaint;
    std::function<void()> m_fnWindowMoved;
    std::function<void()> m_fnStopCollecting;
    CZoomHistory m_history;
    // Where the drag under way started and where it is now.
    std::optional<QPoint> m_pressed;
    QPoint m_current;
};
