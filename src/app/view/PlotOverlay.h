#pragma once

#include <QRect>

class CPlotGeometry;
class QPainter;

// Something drawn over the plot after its grid, labels and traces: a legend, cursor lines, a
// trigger level. Overlays are drawn on the window; captures, printing and the exports take
// only those that say they belong to the picture.
class CPlotOverlay {
public:
    virtual ~CPlotOverlay() = default;

    // Whether F9, the clipboard copy and printing show it too (a legend does, the line under
    // the mouse does not).
    virtual bool PartOfPicture() const { return false; }
    // Whether it draws anything now: one that does not leaves the paint as it would be
    // without it.
    virtual bool Visible() const { return true; }
    // Draws over the finished plot of the given geometry.
    virtual void Draw(QPainter& painter, const CPlotGeometry& geometry) = 0;
};

// An overlay of the window that moves often and alone (the line under the mouse). The screen
// draws it after every other overlay and moves it by repainting only the pixels it leaves and
// those it enters, over what it kept of the plot there.
class CMovingOverlay : public CPlotOverlay {
public:
    // The pixels it covers over a plot of the given geometry; empty while it is not shown.
    // Draw paints within them only.
    virtual QRect Area(const CPlotGeometry& geometry) const = 0;
};
