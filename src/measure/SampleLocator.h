#pragma once

#include "PlotGeometry.h"
#include "PlotScroll.h"

#include <optional>

// Where the samples of one window lie across the plot, exactly as the trace puts them:
// sample m_nStart + p at x = PositionToX(p) with the window's own (perhaps doubled) ppd. The
// mouse line, the cursors and the zoom all go through here, so they land on the trace's
// pixels and never a pixel beside them.
class CSampleLocator {
public:
    CSampleLocator(const CPlotGeometry& geometry, const CPlotWindow& window);

    // The x at which sample n is drawn; nothing when n is not in the window.
    std::optional<int> SampleToX(int n) const;

    // The drawn sample nearest to client x, for a pointer inside the plot's width (left to
    // right edge, both included): the first sample of the nearest column that has samples
    // (a dense window draws several per column), the earlier column when two are as near.
    // Nothing outside the plot's width, for an empty window, or for a plot narrower than
    // its margins.
    std::optional<int> SampleAtX(int x) const;

    // The first window position in [0, nLimit] whose x is at least x (nLimit when none):
    // positions [FirstPositionFrom(a), FirstPositionFrom(b + 1)) are those drawn in the
    // columns a to b.
    int FirstPositionFrom(int x, int nLimit) const;

    // Positions a full window holds: 10 divisions of ppd samples.
    int Capacity() const;

    const CPlotWindow& Window() const { return m_window; }

private:
    int PositionX(int p) const { return m_geometry.PositionToX(p, m_window.m_fPointsPerDiv); }

    CPlotGeometry m_geometry;
    CPlotWindow m_window;
};
