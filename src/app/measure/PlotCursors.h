#pragma once

#include "view/PlotOverlay.h"

#include "CursorPair.h"

#include <QPoint>

#include <functional>
#include <string>

class CPlotPainter;
class CSetTimeKeeper;
class CStatusSink;
class QWidget;

// Cursors A and B: Ctrl+click puts A on the sample under the pointer, Shift+click B, Escape
// removes both. They are lines on the window labelled A and B that stay on their samples
// while the plot scrolls; the status bar shows their values and differences.
class CPlotCursors : public CPlotOverlay {
public:
    // fnRepaint repaints the plot.
    CPlotCursors(QWidget& viewport, CPlotPainter& painter, CStatusSink& status,
                 const CSetTimeKeeper& times, std::function<void()> fnRepaint);

    // A left click at pos with these modifiers; false when it is not a cursor's click.
    bool OnClick(QPoint pos, Qt::KeyboardModifiers modifiers);
    // Escape.
    void Clear();
    // The store was emptied or replaced.
    void OnStoreChanged();

    const CCursorPair& Pair() const { return m_pair; }
    // "A #100  B #250  Δ 150 ...", empty with no cursor set.
    std::string ReadoutText() const;

    bool Visible() const override { return m_pair.A() || m_pair.B(); }
    void Draw(QPainter& painter, const CPlotGeometry& geometry) override;

private:
    QWidget& m_viewport;
    CPlotPainter& m_painter;
    CStatusSink& m_status;
    const CSetTimeKeeper& m_times;
    std::function<void()> m_fnRepaint;
    CCursorPair m_pair;
};
