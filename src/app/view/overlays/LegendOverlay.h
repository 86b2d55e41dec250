#pragma once

#include "view/PlotOverlay.h"

#include <QRect>
#include <QSize>
#include <QString>

#include <functional>
#include <vector>

class CCommandMap;
class CPlotPainter;
class CStatusSink;

// Plot > Legend: a box in a corner of the plot with a row for each shown channel in use: its
// colour and point shape, its name (or "ch N") and its latest value ("-" for a gap or none).
// Off by default; it shows itself the first time in a run that channels get names from the
// board or from an opened file, unless the user chose Legend in that run. Plot > Legend
// Position moves it to the next corner clockwise, so that it never hides data for good. It
// belongs to the picture: F9, the clipboard copy and printing show it.
class CLegendOverlay : public CPlotOverlay {
public:
    enum ECorner { kTopRight, kBottomRight, kBottomLeft, kTopLeft, kCornerCount };

    // The legend is an overlay of painter while shown; fnRepaint repaints the plot.
    CLegendOverlay(CPlotPainter& painter, CStatusSink& status, std::function<void()> fnRepaint);
    ~CLegendOverlay() override;
    CLegendOverlay(const CLegendOverlay&) = delete;
    CLegendOverlay& operator=(const CLegendOverlay&) = delete;

    void RegisterCommands(CCommandMap& commands);

    bool PartOfPicture() const override { return true; }
    void Draw(QPainter& painter, const CPlotGeometry& geometry) override;

    bool Shown() const { return m_bShown; }
    int Corner() const { return m_nCorner; }
    // As the settings have it; a corner out of range is the top right.
    void Restore(bool bShown, int nCorner);
    void OnLegend();
    void OnLegendPosition();
    // Channels may have got names: the first time in this run, the legend shows itself.
    void OnNamesMaybeArrived();

    // What the box lists, channel by channel.
    struct SRow {
        int m_nChannel = 0;
        QString m_strName;
        QString m_strValue;
    };
    static std::vector<SRow> Rows();
    // Where a box of the given size goes: inside the plot's edges, in the corner.
    static QRect Place(const CPlotGeometry& geometry, QSize size, int nCorner);

private:
    void Show(bool bShown);

    CPlotPainter& m_painter;
    CStatusSink& m_status;
    std::function<void()> m_fnRepaint;
    bool m_bShown = false;
    int m_nCorner = kTopRight;
    // Names have shown it once, or the user chose: names leave it alone from then on.
    bool m_bNamesShowedIt = false;
    bool m_bUserChose = false;
};
