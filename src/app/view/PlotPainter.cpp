#include "view/PlotPainter.h"

#include "paint/DrawContext.h"
#include "session/AcquisitionSession.h"
#include "view/PlotOverlay.h"

#include "AxisSettings.h"
#include "PlotData.h"
#include "PlotScroll.h"
#include "TonePlayer.h"
#include "TraceBuilder.h"

#include <QPainter>

#include <algorithm>

namespace {

// Indexed by a channel's colour index: BLACK, BLUE, CYAN, GREEN, MAGENTA, RED, YELLOW.
constexpr QRgb kChannelColours[] = {qRgb(0, 0, 0),    qRgb(0, 0, 255),   qRgb(0, 255, 255),
                                    qRgb(0, 255, 0),  qRgb(255, 0, 255), qRgb(255, 0, 0),
                                    qRgb(255, 255, 0)};
constexpr int kColourCount = 7;
const QColor kGridGrey(200, 200, 200);

constexpr DWORD kHighAlarmHz = 3000;
constexpr DWORD kLowAlarmHz = 400;
// Long enough to be heard; a millisecond is only a click on today's sound hardware.
constexpr DWORD kAlarmToneMs = 40;

// Stands in for the tone output while a picture is drawn only to be looked at.
class CSilentTones : public CToneOutput {
public:
    CSilentTones() : m_pPrevious(&ToneOutput()) { SetToneOutput(this); }
    ~CSilentTones() override { SetToneOutput(m_pPrevious); }
    CSilentTones(const CSilentTones&) = delete;
    CSilentTones& operator=(const CSilentTones&) = delete;
    void Beep(DWORD, DWORD) override {}

private:
    CToneOutput* m_pPrevious;
};

} // namespace

CPlotPainter::CPlotPainter(std::function<void()> fnDecided) : m_fnDecided(std::move(fnDecided)) {}

std::array<CReplayChannel, 10> CPlotPainter::SummarisedChannels() {
    std::array<CReplayChannel, 10> channels;
    for (int c = 0; c < CPlotData::kChannelCount; ++c) {
        const auto k = static_cast<std::size_t>(c);
        m_vSummaries[k].Update(g_pPlotData->GetSeries(c));
        channels[k] = {g_pPlotData->GetSampleCount(c),  g_pPlotData->IsHidden(c),
                       &g_pPlotData->GetSeries(c),      &m_vSummaries[k],
                       g_pPlotData->GetSoundEnabled(c), g_pPlotData->GetBeepLimitMin(c),
                       g_pPlotData->GetBeepLimitMax(c)};
    }
    return channels;
}

void CPlotPainter::CatchUpSkippedPaints(bool bIncludingLast) {
    if (g_pPlotData == nullptr || m_setLog.Empty()) {
        m_setLog.Clear();
        return;
    }
    std::array<CReplayChannel, 10> channels;
    try {
        channels = SummarisedChannels();
    } catch (const std::bad_alloc&) {
        // No memory for the summaries: what the skipped paints would have decided is let go,
        // and the next paint decides afresh.
        m_setLog.Clear();
        return;
    }
    CPaintDecisions decisions{m_settings.m_fPointsPerDiv,
                              m_settings.m_nScrollBack,
                              m_settings.m_bDoublePpdAtMax,
                              m_settings.m_bAutoScale,
                              m_settings.m_bKeepCollectingWhenScrolled,
                              m_settings.Scale()};
    const SReplayAlarms alarms = ReplaySkippedPaints(m_setLog, channels, bIncludingLast, decisions);
    m_setLog.Clear();
    // Each skipped paint would have beeped; once for them all is enough to be heard.
    if (alarms.m_bHigh) {
        ToneOutput().Beep(kHighAlarmHz, kAlarmToneMs);
    }
    if (alarms.m_bLow) {
        ToneOutput().Beep(kLowAlarmHz, kAlarmToneMs);
    }
    m_settings.m_fPointsPerDiv = decisions.m_fPointsPerDiv;
    m_settings.SetScale(decisions.m_scale);
}

void CPlotPainter::OnSetsCompleted(int nNewSamples) {
    if (m_settings.m_bKeepCollectingWhenScrolled) {
        m_settings.m_nScrollBack =
            FollowScrollBack(m_settings.m_nScrollBack, nNewSamples,
                             MaxScrollBack(FirstChannelCount(), m_settings.m_fPointsPerDiv));
    }
    // A window that is not painted (hidden, minimised) still decides as it goes.
    constexpr std::size_t kMaxLoggedRuns = 4096;
    if (m_setLog.Runs().size() > kMaxLoggedRuns) {
        const int nLastSize = m_setLog.Runs().back().m_nSize;
        CatchUpSkippedPaints(false);
        m_setLog.Add(nLastSize);
    }
}

void CPlotPainter::ResetAutoRange() {
    m_settings.m_fAutoMin = 0.0f;
    m_settings.m_fAutoMax = 0.0f;
}

void CPlotPainter::Draw(QImage& picture, EDrawOrder eOrder) {
    // No memory for the picture (or nothing to show): nothing to draw into.
    if (picture.isNull()) {
        return;
    }
    CatchUpSkippedPaints(false);
    const CPlotGeometry geometry(picture.width(), picture.height());
    {
        CDrawContext dc(picture);
        dc.FillRect(picture.rect(), Qt::white);
        DrawGrid(dc, geometry);
        if (g_pPlotData == nullptr) {
            return;
        }
        // First every decision, channel by channel in order: each may double ppd or move the
        // automatic range for the channels after it, and sounds the alarm.
        CDrawContext::LeaveToolkitCode();
        std::size_t nLayers = 0;
        for (int c = 0; c < g_pPlotData->m_nLastSetCount; ++c) {
            if (g_pPlotData->IsHidden(c)) {
                continue;
            }
            if (m_vLayers.size() <= nLayers) {
                m_vLayers.emplace_back();
            }
            DecideLayer(c, geometry, eOrder, m_vLayers[nLayers++]);
        }
        // After every drawn channel, as its ppd may have changed; none drawn leaves the bar.
        if (nLayers > 0 && m_fnDecided) {
            m_fnDecided();
        }
        DrawLayers(dc, geometry, std::span(m_vLayers.data(), nLayers), eOrder);
    }
    if (std::any_of(m_vOverlays.begin(), m_vOverlays.end(), [](const CPlotOverlay* pOverlay) {
            return pOverlay->PartOfPicture() && pOverlay->Visible();
        })) {
        QPainter painter(&picture);
        DrawOverlays(painter, geometry, true);
    }
}

void CPlotPainter::DecideLayer(int c, const CPlotGeometry& geometry, EDrawOrder eOrder,
                               SChannelLayer& layer) {
    SPlotSettings& s = m_settings;
    const CPlotWindow window = ComputeVisibleWindow(
        g_pPlotData->GetSampleCount(c), s.m_fPointsPerDiv, s.m_nScrollBack, s.m_bDoublePpdAtMax);
    s.m_fPointsPerDiv = window.m_fPointsPerDiv;
    layer.m_fPointsPerDiv = s.m_fPointsPerDiv;
    layer.m_nStart = window.m_nStart;
    for (int j = 0; j <= CPlotGeometry::kDivisions; ++j) {
        layer.m_nXLabels[static_cast<std::size_t>(j)] =
            XLabelNumber(j, s.m_fPointsPerDiv, window.m_nStart);
    }
    const int nColour = g_pPlotData->GetColor(c);
    const bool bHasColour = nColour >= 0 && nColour < kColourCount;
    layer.m_nPointType = g_pPlotData->GetPointType(c);
    layer.m_bLines = bHasColour && g_pPlotData->GetInterpolate(c);
    CYScale scale = s.Scale();
    const CSampleSeries& series = g_pPlotData->GetSeries(c);
    CSeriesSummary& summary = m_vSummaries[static_cast<std::size_t>(c)];
    float fLast = 0.0f;
    // A dense window of lines is drawn from a few pixels per column: the same picture.
    const bool bReduce = eOrder == EDrawOrder::kLayered &&
                         CanReduceTrace(layer.m_nPointType, layer.m_bLines) &&
                         window.m_nEnd - window.m_nStart > 4 * geometry.GetClientWidth();
    if (bReduce) {
        summary.Update(series);
    }
    if (!bReduce || !ComputeReducedTracePixels(series, summary, window.m_nStart, window.m_nEnd,
                                               geometry, s.m_fPointsPerDiv, s.m_bAutoScale, scale,
                                               layer.m_vPixels, fLast)) {
        fLast = ComputeTracePixels(series, window.m_nStart, window.m_nEnd, geometry,
                                   s.m_fPointsPerDiv, s.m_bAutoScale, scale, layer.m_vPixels);
    }
    s.SetScale(scale);
    layer.m_nColour = bHasColour ? kChannelColours[nColour] : 0;
    layer.m_bMinMax = bHasColour && g_pPlotData->GetMarkMinMax(c);
    const CYMapper mapper(geometry, s.m_fYMax, s.m_fYMin);
    layer.m_nMinY = mapper.ValueToY(g_pPlotData->GetMin(c));
    layer.m_nMaxY = mapper.ValueToY(g_pPlotData->GetMax(c));
    if (g_pPlotData->GetSoundEnabled(c)) {
        if (fLast > g_pPlotData->GetBeepLimitMax(c)) {
            ToneOutput().Beep(kHighAlarmHz, kAlarmToneMs);
        }
        if (fLast < g_pPlotData->GetBeepLimitMin(c)) {
            ToneOutput().Beep(kLowAlarmHz, kAlarmToneMs);
        }
    }
}

void CPlotPainter::DrawLookOnly(QImage& picture) {
    const SPlotSettings settings = m_settings;
    const CSetSizeLog log = m_setLog;
    const CSilentTones silence;
    Draw(picture);
    m_setLog = log;
    m_settings = settings;
    if (m_fnDecided) {
        m_fnDecided();
    }
}

bool CPlotPainter::HasWindowOverlays() const {
    return std::any_of(m_vOverlays.begin(), m_vOverlays.end(), [](const CPlotOverlay* pOverlay) {
        return !pOverlay->PartOfPicture() && pOverlay->Visible();
    });
}

void CPlotPainter::DrawWindowOverlays(QPainter& painter, QSize size) {
    DrawOverlays(painter, CPlotGeometry(size.width(), size.height()), false);
}

void CPlotPainter::DrawOverlays(QPainter& painter, const CPlotGeometry& geometry, bool bPicture) {
    for (CPlotOverlay* pOverlay : m_vOverlays) {
        if (pOverlay->PartOfPicture() == bPicture && pOverlay->Visible()) {
            pOverlay->Draw(painter, geometry);
        }
    }
}

void CPlotPainter::DrawXLabels(CDrawContext& dc, const CPlotGeometry& geometry,
                               const SChannelLayer& layer) {
    if (m_fnXLabels) {
        if (const auto texts = m_fnXLabels(layer.m_fPointsPerDiv, layer.m_nStart)) {
            for (int j = 0; j <= CPlotGeometry::kDivisions; ++j) {
                dc.Text(geometry.GetGridX(j), geometry.GetXLabelTop(),
                        QString::fromStdString((*texts)[static_cast<std::size_t>(j)]));
            }
            return;
        }
    }
    for (int j = 0; j <= CPlotGeometry::kDivisions; ++j) {
        dc.Text(geometry.GetGridX(j), geometry.GetXLabelTop(),
                QString::number(layer.m_nXLabels[static_cast<std::size_t>(j)]));
    }
}

// Each channel in order draws its X labels, its trace, then its min/max lines. Unless a
// trace (in a client area too low for both) or a min/max line reaches the labels, the labels
// go first and the rest is drawn last channel first, each pixel once: with many channels of
// dense data most of the earlier channels lie under the later ones.
void CPlotPainter::DrawLayers(CDrawContext& dc, const CPlotGeometry& geometry,
                              std::span<const SChannelLayer> layers, EDrawOrder eOrder) {
    constexpr int kMinMaxWidth = 2;
    const int nLabelTop = geometry.GetXLabelTop();
    // A value far outside the range puts its line at INT_MIN or INT_MAX.
    auto reachesLabels = [&](const SChannelLayer& layer) {
        return layer.m_bMinMax && (layer.m_nMinY >= nLabelTop - kMinMaxWidth - 1 ||
                                   layer.m_nMaxY >= nLabelTop - kMinMaxWidth - 1);
    };
    if (eOrder == EDrawOrder::kLayered && geometry.GetLowestTraceRow() < nLabelTop &&
        std::none_of(layers.begin(), layers.end(), reachesLabels)) {
        for (std::size_t i = 0; i < layers.size(); ++i) {
            // The same labels again would only cover these with the same pixels.
            if (i + 1 == layers.size() || layers[i].m_nXLabels != layers[i + 1].m_nXLabels) {
                DrawXLabels(dc, geometry, layers[i]);
            }
        }
        dc.BeginLayers();
        for (auto it = layers.rbegin(); it != layers.rend(); ++it) {
            if (it->m_bMinMax) {
                dc.DashDotLineUnder(geometry.GetLeft(), geometry.GetRight(), it->m_nMaxY,
                                    kMinMaxWidth, QColor(it->m_nColour));
                dc.DashDotLineUnder(geometry.GetLeft(), geometry.GetRight(), it->m_nMinY,
                                    kMinMaxWidth, QColor(it->m_nColour));
            }
            dc.Trace(it->m_vPixels, it->m_nPointType, it->m_bLines, it->m_nColour);
        }
        return;
    }
    for (const SChannelLayer& layer : layers) {
        DrawXLabels(dc, geometry, layer);
        if (eOrder == EDrawOrder::kOneByOne) {
            dc.TraceOneByOne(layer.m_vPixels, layer.m_nPointType, layer.m_bLines, layer.m_nColour);
        } else {
            dc.BeginLayers();
            dc.Trace(layer.m_vPixels, layer.m_nPointType, layer.m_bLines, layer.m_nColour);
        }
        if (layer.m_bMinMax) {
            dc.DashDotLine(geometry.GetLeft(), geometry.GetRight(), layer.m_nMinY, kMinMaxWidth,
                           QColor(layer.m_nColour));
            dc.DashDotLine(geometry.GetLeft(), geometry.GetRight(), layer.m_nMaxY, kMinMaxWidth,
                           QColor(layer.m_nColour));
        }
    }
}

void CPlotPainter::DrawGrid(CDrawContext& dc, const CPlotGeometry& geometry) {
    dc.StraightLine(geometry.GetLeft(), geometry.GetTop(), geometry.GetLeft(), geometry.GetBottom(),
                    Qt::black);
    for (int i = 0; i <= CPlotGeometry::kDivisions; ++i) {
        dc.Text(2, geometry.GetYLabelTop(i),
                QString::fromStdString(
                    YLimitDialogText(YLabelValue(i, m_settings.m_fYMax, m_settings.m_fYMin))));
        dc.StraightLine(geometry.GetLeft(), geometry.GetGridY(i), geometry.GetRight(),
                        geometry.GetGridY(i), kGridGrey);
    }
    for (int j = 0; j <= CPlotGeometry::kDivisions; ++j) {
        dc.StraightLine(geometry.GetGridX(j), geometry.GetBottom(), geometry.GetGridX(j),
                        geometry.GetTop(), kGridGrey);
    }
    dc.Text(geometry.GetCaptionLeft(), CPlotGeometry::GetCaptionTop(), CaptionText());
}

bool CPlotPainter::ChannelColour(int nColor, QRgb* pColour) {
    if (nColor < 0 || nColor >= kColourCount) {
        return false;
    }
    *pColour = kChannelColours[nColor];
    return true;
}

QString CPlotPainter::CaptionText() const {
    const int nTotal = g_pPlotData != nullptr ? g_pPlotData->GetTotalSampleCount() : 0;
    const int nChannels = g_pPlotData != nullptr ? g_pPlotData->m_nLastSetCount : 0;
    return QStringLiteral("%1 values in %2 channels").arg(nTotal).arg(nChannels);
}

int CPlotPainter::FirstChannelCount() const {
    return g_pPlotData != nullptr ? g_pPlotData->GetSampleCount(0) : 0;
}
