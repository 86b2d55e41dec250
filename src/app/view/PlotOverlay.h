#pragma once

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
    // Draws over the finished plot of the given geometry.
    virtual void Draw(QPainter& painter, const CPlotGeometry& geometry) = 0;
};
