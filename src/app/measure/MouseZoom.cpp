#include "measure/MouseZoom.h"

#include "commands/CommandIds.h"
#include "commands/CommandMap.h"
#include "dialogs/StatusSink.h"
#include "view/PlotPainter.h"

#include <QPainter>
#include <QWidget>

CMouseZoom::CMouseZoom(QWidget& viewport, CPlotPainter& painter, CStatusSink& status,
                       std::function<void()> fnRepaint, std::function<void()> fnWindowMoved,
                       std::function<void()> fnStopCollecting)
    : m_viewport(viewport), m_painter(painter), m_status(status), m_fnRepaint(std::move(fnRepaint)),
      m_fnWindowMoved(std::move(fnWindowMoved)), m_fnStopCollecting(std::move(fnStopCollecting)) {}

void CMouseZoom::RegisterCommands(CCommandMap& commands) {
    commands.Add(
        ID_PLOT_ZOOMBACK, [this] { OnZoomBack(); },
        [this](CCmdUI& cmdUI) { cmdUI.Enable(CanGoBack()); });
}

SPlotRanges CMouseZoom::CurrentRanges() const {
    const SPlotSettings& s = m_painter.Settings();
    return {s.m_fPointsPerDiv, s.m_nScrollBack, s.m_fYMax,
            s.m_fYMin,         s.m_bAutoScale,  s.m_bDoublePpdAtMax};
}

void CMouseZoom::Apply(const SPlotRanges& ranges) {
    m_painter.CatchUpSkippedPaints(true);
    SPlotSettings& s = m_painter.Settings();
    s.m_fPointsPerDiv = ranges.m_fPointsPerDiv;
    s.m_nScrollBack = ranges.m_nScrollBack;
    s.m_fYMax = ranges.m_fYMax;
    s.m_fYMin = ranges.m_fYMin;
    s.m_bAutoScale = ranges.m_bAutoScale;
    s.m_bDoublePpdAtMax = ranges.m_bDoublePpdAtMax;
    m_fnWindowMoved();
    // A window back in the history holds still only while nothing new comes in.
    if (s.m_nScrollBack > 0 && !s.m_bKeepCollectingWhenScrolled) {
        m_fnStopCollecting();
    }
    m_fnRepaint();
}

void CMouseZoom::OnPress(QPoint pos) {
    m_pressed = pos;
    m_current = pos;
}

void CMouseZoom::OnMove(QPoint pos) {
    if (m_pressed) {
        m_current = pos;
        m_fnRepaint();
    }
}

void CMouseZoom::Cancel() {
    if (m_pressed) {
        m_pressed.reset();
        m_fnRepaint();
    }
}

void CMouseZoom::OnRelease(QPoint pos) {
    if (!m_pressed) {
        return;
    }
    const QPoint pressed = *m_pressed;
    m_pressed.reset();
    m_fnRepaint();
    const SPlotRanges before = CurrentRanges();
    const int nFirstCount = m_painter.FirstChannelCount();
    const SZoom zoom = ZoomToRect(CPlotGeometry(m_viewport.width(), m_viewport.height()), before,
                                  nFirstCount, {pressed.x(), pressed.y()}, {pos.x(), pos.y()});
    switch (zoom.m_eResult) {
    case EZoomResult::kZoomed:
        m_history.Push(before, nFirstCount);
        Apply(zoom.m_ranges);
        m_status.SetStatusText("Zoomed; Zoom Back (Ctrl+-) returns");
        break;
    case EZoomResult::kNoSamples:
        m_status.SetStatusText("No samples in the dragged area");
        break;
    case EZoomResult::kTooSmall:
        break;
    }
}

void CMouseZoom::OnZoomBack() {
    if (const auto ranges = m_history.Back(m_painter.FirstChannelCount())) {
        Apply(*ranges);
    }
}

bool CMouseZoom::Visible() const {
    return m_pressed && (m_current - *m_pressed).manhattanLength() > 0;
}

void CMouseZoom::Draw(QPainter& painter, const CPlotGeometry& /*geometry*/) {
    painter.setPen(QPen(Qt::black, 0, Qt::DashLine));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRect(*m_pressed, m_current).normalized());
}
