#pragma once

#include "PaintReplay.h"
#include "PlotGeometry.h"
#include "PlotSettings.h"
#include "SeriesSummary.h"
#include "SetSizeLog.h"

#include <QImage>
#include <QString>

#include <algorithm>
#include <array>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

class CDrawContext;
class CPlotOverlay;
class QPainter;

// The picture of the plot and what each paint decides: the window of samples, points per
// division doubling, automatic scaling and the alarm, then the grid, labels, traces and
// min/max lines, then the overlays that belong to the picture. Paints may be skipped (they
// are paced to the display); what the skipped ones would have decided is caught up before
// anything they depend on changes.
class CPlotPainter {
public:
    // How the paint puts its layers on the picture: the fast way, or every layer in order and
    // every sample one by one, the reference the fast way is held to.
    enum class EDrawOrder { kLayered, kOneByOne };

    // fnDecided runs after a paint's decisions for the channels it drew (ppd may have changed).
    explicit CPlotPainter(std::function<void()> fnDecided);

    SPlotSettings& Settings() { return m_settings; }
    const SPlotSettings& Settings() const { return m_settings; }
    // The store tells it every completed set, so that skipped paints can be caught up.
    CSetSizeLog& SetLog() { return m_setLog; }

    // The whole plot into the picture, with the overlays that belong to it.
    void Draw(QImage& picture, EDrawOrder eOrder = EDrawOrder::kLayered);
    // The same picture, leaving every setting, the set log and the sound alone.
    void DrawLookOnly(QImage& picture);
    // Whether some overlays are drawn on the window only, and drawing them over a picture of
    // the given size.
    bool HasWindowOverlays() const;
    void DrawWindowOverlays(QPainter& painter, QSize size);
    // Overlays are drawn in the order added; the painter does not own them.
    void AddOverlay(CPlotOverlay* pOverlay) { m_vOverlays.push_back(pOverlay); }
    void RemoveOverlay(CPlotOverlay* pOverlay) { std::erase(m_vOverlays, pOverlay); }
    // The 11 X labels of a window of the given ppd and first sample, in place of its sample
    // numbers; nothing leaves the numbers.
    using XLabelTexts =
        std::function<std::optional<std::array<std::string, 11>>(float fPointsPerDiv, int nStart)>;
    void SetXLabelTexts(XLabelTexts fnTexts) { m_fnXLabels = std::move(fnTexts); }

    // Applies what the paints skipped since the last one would have decided (see
    // ReplaySkippedPaints); bIncludingLast before the state they depend on changes.
    void CatchUpSkippedPaints(bool bIncludingLast);
    // The channels with their summaries brought up to date.
    std::array<CReplayChannel, 10> SummarisedChannels();
    // Sets arrived and the first channel has nNewSamples more: the window follows them when
    // collecting while scrolled back.
    void OnSetsCompleted(int nNewSamples);
    // The store was emptied: automatic scaling starts afresh.
    void ResetAutoRange();

    // The colour of a channel's colour index; false for an index that names none (whose
    // channel draws no lines).
    static bool ChannelColour(int nColor, QRgb* pColour);

    // "N values in M channels", as the plot shows it.
    QString CaptionText() const;
    int FirstChannelCount() const;

private:
    // What the paint decided for one shown channel.
    struct SChannelLayer {
        std::vector<CPixel> m_vPixels;
        std::array<int, CPlotGeometry::kDivisions + 1> m_nXLabels{};
        float m_fPointsPerDiv = 0.0f;
        int m_nStart = 0;
        int m_nPointType = 0;
        bool m_bLines = false;
        QRgb m_nColour = 0;
        bool m_bMinMax = false;
        int m_nMinY = 0;
        int m_nMaxY = 0;
    };
    // Decides the layer of channel c and sounds its alarm.
    void DecideLayer(int c, const CPlotGeometry& geometry, EDrawOrder eOrder, SChannelLayer& layer);
    void DrawGrid(CDrawContext& dc, const CPlotGeometry& geometry);
    void DrawXLabels(CDrawContext& dc, const CPlotGeometry& geometry, const SChannelLayer& layer);
    void DrawLayers(CDrawContext& dc, const CPlotGeometry& geometry,
                    std::span<const SChannelLayer> layers, EDrawOrder eOrder);
    void DrawOverlays(QPainter& painter, const CPlotGeometry& geometry, bool bPicture);

    std::function<void()> m_fnDecided;
    SPlotSettings m_settings;
    CSetSizeLog m_setLog;
    std::array<CSeriesSummary, 10> m_vSummaries;
    std::vector<SChannelLayer> m_vLayers;
    std::vector<CPlotOverlay*> m_vOverlays;
    XLabelTexts m_fnXLabels;
};
