#pragma once

#include "PlotGeometry.h"

#include <cstddef>
#include <deque>
#include <optional>

// What a zoom changes and Zoom Back restores: the X range (ppd and scroll-back, which
// place the window on the first channel's samples) and the Y range with the two switches
// that would move them again at the next paint.
struct SPlotRanges {
    float m_fPointsPerDiv = 5.0f;
    int m_nScrollBack = 0;
    float m_fYMax = 2.5f;
    float m_fYMin = -2.5f;
    bool m_bAutoScale = false;
    bool m_bDoublePpdAtMax = false;
    friend bool operator==(const SPlotRanges&, const SPlotRanges&) = default;
};

enum class EZoomResult {
    kZoomed,
    // The rectangle, clipped to the plot rectangle, is less than kMinZoomPixels wide or
    // high: a click, or a hand that shook.
    kTooSmall,
    // No sample position lies inside it (a narrow rectangle between two sparse samples).
    kNoSamples,
};

struct SZoom {
    EZoomResult m_eResult = EZoomResult::kTooSmall;
    SPlotRanges m_ranges; // the new ranges when zoomed, else the current ones
};

constexpr int kMinZoomPixels = 5;

// A rectangle dragged from pressed to released (client pixels, any two corners) turned
// into new ranges. The rectangle is first clipped to the plot rectangle.
//
// X: the window positions drawn inside it (as the trace places them) become the new
// window: ppd = their count / 10, rounded up and at least 1, so that all of them show, and
// the scroll-back that starts the window of the first channel (nFirstCount samples) at the
// first of them, within 0 and the largest scroll-back. Y: the values at the rectangle's
// top and bottom rows become Y Max and Y Min (a reversed range stays reversed); an empty
// or infinite Y range stays as it is. Both switches go off, or the next paint would undo
// the zoom: automatic scaling and "Double ppd at max".
SZoom ZoomToRect(const CPlotGeometry& geometry, const SPlotRanges& current, int nFirstCount,
                 CPixel pressed, CPixel released);

// The ranges before each zoom, for Zoom Back, the newest last. A saved scroll-back of 0
// follows the newest data again; any other is moved on by the samples that arrived since
// (a window that followed its samples goes back to the same samples), within the limits
// that hold then. The oldest entries go beyond kDepth.
class CZoomHistory {
public:
    static constexpr std::size_t kDepth = 64;

    void Push(const SPlotRanges& before, int nFirstCount);
    // The ranges to go back to, taken off the history; nothing when it is empty.
    std::optional<SPlotRanges> Back(int nFirstCount);
    bool CanGoBack() const { return !m_vEntries.empty(); }
    void Clear() { m_vEntries.clear(); }

private:
    struct SEntry {
        SPlotRanges m_ranges;
        int m_nFirstCount = 0;
    };
    std::deque<SEntry> m_vEntries;
};
