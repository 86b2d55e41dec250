// The paint, the scroll bar and wheel, and printing of the view.
#include "view/KovraPlotterView.h"

#include "AxisSettings.h"
#include "PaintReplay.h"
#include "PlotData.h"
#include "PlotScroll.h"
#include "TonePlayer.h"
#include "TraceBuilder.h"
#include "dialogs/UserDialogs.h"
#include "shell/MainFrame.h"
#include "view/DrawContext.h"
#include "view/FramePacer.h"
#include "view/PlotScrollBar.h"

#include <QPageLayout>
#include <QPaintEvent>
#include <QPainter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QResizeEvent>
#include <QScreen>
#include <QScrollBar>
#include <QWheelEvent>

#include <algorithm>

int g_nLastTrackPos = 0;

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

} // namespace

QPrinter& CKovraPlotterView::Printer() {
    static QPrinter printer(QPrinter::HighResolution);
    return printer;
}

void CKovraPlotterView::paintEvent(QPaintEvent* pEvent) {
    const QSize size = viewport()->size();
    // A capture shows what is on screen: the last paint's picture, drawn again.
    if (m_bCapturing && m_picture.size() == size) {
        QPainter(viewport()).drawImage(0, 0, m_picture);
        return;
    }
    m_pPacer->OnPaintStarted();
    bool bWhole = false;
    try {
        // The whole view drawn straight where the window keeps it, where it can be.
        QImage canvas;
        if ((QRegion(viewport()->rect()) - pEvent->region()).isEmpty()) {
            canvas = m_canvas.Begin(*viewport());
        }
        if (!canvas.isNull()) {
            OnDraw(canvas);
            m_picture = QImage();
            bWhole = true;
        } else {
            m_canvas.Forget();
            if (m_picture.size() != size) {
                // Null when there is no memory for it.
                m_picture = QImage(size, QImage::Format_RGB32);
            }
            OnDraw(m_picture);
            if (m_picture.isNull()) {
                QPainter(viewport()).fillRect(viewport()->rect(), Qt::white);
            } else {
                QPainter(viewport()).drawImage(0, 0, m_picture);
            }
            bWhole = !m_picture.isNull() || size.isEmpty();
        }
    } catch (const std::bad_alloc&) {
        m_canvas.Forget();
        QPainter(viewport()).fillRect(viewport()->rect(), Qt::white);
    }
    ++m_nPaints;
    m_pPacer->OnPainted();
    if (bWhole) {
        m_memoryShortage.PaintSucceeded();
    } else if (m_memoryShortage.PaintFailed()) {
        SetStatusText("%s", CMemoryShortage::kPaintFailedText);
    }
}

std::array<CReplayChannel, 10> CKovraPlotterView::SummarisedChannels() {
    std::array<CReplayChannel, 10> channels;
    for (int c = 0; c < CPlotData::kChannelCount; ++c) {
        const auto k = static_cast<std::size_t>(c);
        m_vSummaries[k].Update(g_pPlotData->GetSeries(c));
        channels[k] = {g_pPlotData->GetSampleCount(c), g_pPlotData->IsHidden(c),
                       &g_pPlotData->GetSeries(c), &m_vSummaries[k]};
    }
    return channels;
}

void CKovraPlotterView::CatchUpSkippedPaints(bool bIncludingLast) {
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
    CPaintDecisions decisions{m_fPointsPerDiv,
                              m_nScrollBack,
                              m_bDoublePpdAtMax,
                              m_bAutoScale,
                              m_bKeepCollectingWhenScrolled,
                              CYScale{m_fYMax, m_fYMin, m_fAutoMax, m_fAutoMin}};
    ReplaySkippedPaints(m_setLog, channels, bIncludingLast, decisions);
    m_setLog.Clear();
    m_fPointsPerDiv = decisions.m_fPointsPerDiv;
    m_fYMax = decisions.m_scale.m_fYMax;
    m_fYMin = decisions.m_scale.m_fYMin;
    m_fAutoMax = decisions.m_scale.m_fAutoMax;
    m_fAutoMin = decisions.m_scale.m_fAutoMin;
}

QImage CKovraPlotterView::RenderPicture() {
    try {
        QImage picture(viewport()->size(), QImage::Format_RGB32);
        OnDraw(picture);
        return picture;
    } catch (const std::bad_alloc&) {
        return {};
    }
}

void CKovraPlotterView::OnDraw(QImage& picture, EDrawOrder eOrder) {
    // No memory for the picture (or nothing to show): nothing to draw into.
    if (picture.isNull()) {
        return;
    }
    CatchUpSkippedPaints(false);
    CDrawContext dc(picture);
    dc.FillRect(picture.rect(), Qt::white);
    const CPlotGeometry geometry(picture.width(), picture.height());
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
        SChannelLayer& layer = m_vLayers[nLayers++];
        const CPlotWindow window = ComputeVisibleWindow(
            g_pPlotData->GetSampleCount(c), m_fPointsPerDiv, m_nScrollBack, m_bDoublePpdAtMax);
        m_fPointsPerDiv = window.m_fPointsPerDiv;
        for (int j = 0; j <= CPlotGeometry::kDivisions; ++j) {
            layer.m_nXLabels[static_cast<std::size_t>(j)] =
                XLabelNumber(j, m_fPointsPerDiv, window.m_nStart);
        }
        const int nColour = g_pPlotData->GetColor(c);
        const bool bHasColour = nColour >= 0 && nColour < kColourCount;
        layer.m_nPointType = g_pPlotData->GetPointType(c);
        layer.m_bLines = bHasColour && g_pPlotData->GetInterpolate(c);
        CYScale scale{m_fYMax, m_fYMin, m_fAutoMax, m_fAutoMin};
        const CSampleSeries& series = g_pPlotData->GetSeries(c);
        float fLast = 0.0f;
        // A dense window of lines is drawn from a few pixels per column: the same picture.
        const bool bReduce = eOrder == EDrawOrder::kLayered &&
                             CanReduceTrace(layer.m_nPointType, layer.m_bLines) &&
                             window.m_nEnd - window.m_nStart > 4 * geometry.GetClientWidth();
        if (bReduce) {
            m_vSummaries[static_cast<std::size_t>(c)].Update(series);
        }
        if (!bReduce ||
            !ComputeReducedTracePixels(series, m_vSummaries[static_cast<std::size_t>(c)],
                                       window.m_nStart, window.m_nEnd, geometry, m_fPointsPerDiv,
                                       m_bAutoScale, scale, layer.m_vPixels, fLast)) {
            fLast = ComputeTracePixels(series, window.m_nStart, window.m_nEnd, geometry,
                                       m_fPointsPerDiv, m_bAutoScale, scale, layer.m_vPixels);
        }
        m_fYMax = scale.m_fYMax;
        m_fYMin = scale.m_fYMin;
        m_fAutoMax = scale.m_fAutoMax;
        m_fAutoMin = scale.m_fAutoMin;
        layer.m_nColour = bHasColour ? kChannelColours[nColour] : 0;
        layer.m_bMinMax = bHasColour && g_pPlotData->GetMarkMinMax(c);
        const CYMapper mapper(geometry, m_fYMax, m_fYMin);
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
    // After every drawn channel, as its ppd may have changed; none drawn leaves the bar.
    if (nLayers > 0) {
        UpdateScrollBar();
    }
    DrawLayers(dc, geometry, std::span(m_vLayers.data(), nLayers), eOrder);
}

void CKovraPlotterView::DrawXLabels(CDrawContext& dc, const CPlotGeometry& geometry,
                                    const SChannelLayer& layer) {
    for (int j = 0; j <= CPlotGeometry::kDivisions; ++j) {
        dc.Text(geometry.GetGridX(j), geometry.GetXLabelTop(),
                QString::number(layer.m_nXLabels[static_cast<std::size_t>(j)]));
    }
}

// Each channel in order draws its X labels, its trace, then its min/max lines. Unless a
// trace (in a client area too low for both) or a min/max line reaches the labels, the labels
// go first and the rest is drawn last channel first, each pixel once: with many channels of
// dense data most of the earlier channels lie under the later ones.
void CKovraPlotterView::DrawLayers(CDrawContext& dc, const CPlotGeometry& geometry,
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

void CKovraPlotterView::DrawGrid(CDrawContext& dc, const CPlotGeometry& geometry) {
    dc.StraightLine(geometry.GetLeft(), geometry.GetTop(), geometry.GetLeft(), geometry.GetBottom(),
                    Qt::black);
    for (int i = 0; i <= CPlotGeometry::kDivisions; ++i) {
        dc.Text(2, geometry.GetYLabelTop(i),
                QString::fromStdString(YLimitDialogText(YLabelValue(i, m_fYMax, m_fYMin))));
        dc.StraightLine(geometry.GetLeft(), geometry.GetGridY(i), geometry.GetRight(),
                        geometry.GetGridY(i), kGridGrey);
    }
    for (int j = 0; j <= CPlotGeometry::kDivisions; ++j) {
        dc.StraightLine(geometry.GetGridX(j), geometry.GetBottom(), geometry.GetGridX(j),
                        geometry.GetTop(), kGridGrey);
    }
    dc.Text(geometry.GetCaptionLeft(), CPlotGeometry::GetCaptionTop(), CaptionText());
}

QString CKovraPlotterView::CaptionText() const {
    const int nTotal = g_pPlotData != nullptr ? g_pPlotData->GetTotalSampleCount() : 0;
    const int nChannels = g_pPlotData != nullptr ? g_pPlotData->m_nLastSetCount : 0;
    return QStringLiteral("%1 values in %2 channels").arg(nTotal).arg(nChannels);
}

int CKovraPlotterView::FirstChannelCount() const {
    return g_pPlotData != nullptr ? g_pPlotData->GetSampleCount(0) : 0;
}

void CKovraPlotterView::UpdateScrollBar() {
    m_pScrollBar->Show(ComputeScrollBar(FirstChannelCount(), m_fPointsPerDiv, m_nScrollBack));
}

void CKovraPlotterView::ApplyScroll(const CScrollResult& result) {
    CatchUpSkippedPaints(true);
    m_nScrollBack = result.m_nScrollBack;
    if (result.m_bStopCollecting && !m_bKeepCollectingWhenScrolled) {
        m_bCollecting = false;
        emit CommandStateChanged();
    }
    Repaint();
}

void CKovraPlotterView::ScrollBy(ScrollAction eAction) {
    ApplyScroll(ApplyScrollAction(eAction, m_nScrollBack,
                                  MaxScrollBack(FirstChannelCount(), m_fPointsPerDiv)));
}

void CKovraPlotterView::OnHScroll(int nAction) {
    switch (nAction) {
    case QAbstractSlider::SliderSingleStepSub:
        ScrollBy(ScrollAction::OneOlder);
        break;
    case QAbstractSlider::SliderSingleStepAdd:
        ScrollBy(ScrollAction::OneNewer);
        break;
    case QAbstractSlider::SliderMove:
        ApplyScroll(ApplyThumbTrack(horizontalScrollBar()->sliderPosition(), g_nLastTrackPos,
                                    m_nScrollBack,
                                    MaxScrollBack(FirstChannelCount(), m_fPointsPerDiv)));
        break;
    default:
        // Trough clicks and the like move nothing; the bar goes back to where it belongs.
        Repaint();
        break;
    }
    UpdateScrollBar();
}

bool CKovraPlotterView::eventFilter(QObject* pWatched, QEvent* pEvent) {
    if (pWatched == horizontalScrollBar() && pEvent->type() == QEvent::Wheel) {
        wheelEvent(static_cast<QWheelEvent*>(pEvent));
        return true;
    }
    return QAbstractScrollArea::eventFilter(pWatched, pEvent);
}

void CKovraPlotterView::wheelEvent(QWheelEvent* pEvent) {
    const QPoint delta = pEvent->angleDelta();
    ScrollBy(WheelScrollAction(delta.y() != 0 ? delta.y() : delta.x()));
    pEvent->accept();
}

void CKovraPlotterView::showEvent(QShowEvent* pEvent) {
    if (QScreen* pScreen = screen()) {
        m_pPacer->SetRefreshRate(pScreen->refreshRate());
    }
    QAbstractScrollArea::showEvent(pEvent);
}

void CKovraPlotterView::resizeEvent(QResizeEvent* pEvent) {
    if (!window()->isMinimized()) {
        UpdateScrollBar();
    }
    QAbstractScrollArea::resizeEvent(pEvent);
}

void CKovraPlotterView::scrollContentsBy(int /*dx*/, int /*dy*/) {
    // The paint draws the window of samples itself; nothing is moved.
}

void CKovraPlotterView::PrintPicture(QPrinter& printer) {
    const QImage picture = RenderPicture();
    if (picture.isNull()) {
        SetStatusText("%s", CMemoryShortage::kPaintFailedText);
        return;
    }
    PrintImage(printer, picture);
}

void CKovraPlotterView::PrintImage(QPrinter& printer, const QImage& picture) {
    QPainter painter(&printer);
    // The screen picture, as large as the printable page allows, its proportions kept.
    const QRect page = painter.viewport();
    const QSize size = picture.size().scaled(page.size(), Qt::KeepAspectRatio);
    painter.drawImage(QRect(page.topLeft(), size), picture);
}

void CKovraPlotterView::OnFilePrint() {
    QPrintDialog dialog(&Printer(), this);
    if (UserDialogs().Run(dialog) == QDialog::Accepted) {
        PrintPicture(Printer());
    }
}

void CKovraPlotterView::OnFilePrintPreview() {
    QPrintPreviewDialog dialog(&Printer(), this);
    // The preview asks again at every change of zoom or page: one paint serves them all.
    const QImage picture = RenderPicture();
    if (picture.isNull()) {
        SetStatusText("%s", CMemoryShortage::kPaintFailedText);
        return;
    }
    connect(&dialog, &QPrintPreviewDialog::paintRequested, this,
            [&picture](QPrinter* pPrinter) { PrintImage(*pPrinter, picture); });
    UserDialogs().Run(dialog);
}
