#include "view/PlotNavigator.h"

#include "view/PlotPainter.h"
#include "view/PlotScrollBar.h"

#include "PlotScroll.h"

#include <QAbstractScrollArea>

int g_nLastTrackPos = 0;

CPlotNavigator::CPlotNavigator(QAbstractScrollArea& view, CPlotPainter& painter,
                               std::function<void()> fnStopCollecting,
                               std::function<void()> fnRepaint)
    : m_painter(painter), m_pScrollBar(new CPlotScrollBar),
      m_fnStopCollecting(std::move(fnStopCollecting)), m_fnRepaint(std::move(fnRepaint)) {
    view.setHorizontalScrollBar(m_pScrollBar);
    m_actionConnection = QObject::connect(m_pScrollBar, &QScrollBar::actionTriggered, m_pScrollBar,
                                          [this](int nAction) { OnHScroll(nAction); });
    m_releaseConnection = QObject::connect(m_pScrollBar, &QScrollBar::sliderReleased, m_pScrollBar,
                                           [this] { UpdateScrollBar(); });
}

CPlotNavigator::~CPlotNavigator() {
    QObject::disconnect(m_actionConnection);
    QObject::disconnect(m_releaseConnection);
}

void CPlotNavigator::UpdateScrollBar() {
    const SPlotSettings& settings = m_painter.Settings();
    m_pScrollBar->Show(ComputeScrollBar(m_painter.FirstChannelCount(), settings.m_fPointsPerDiv,
                                        settings.m_nScrollBack));
}

void CPlotNavigator::ApplyScroll(const CScrollResult& result) {
    m_painter.CatchUpSkippedPaints(true);
    SPlotSettings& settings = m_painter.Settings();
    settings.m_nScrollBack = result.m_nScrollBack;
    if (m_fnScrolled) {
        m_fnScrolled();
    }
    if (result.m_bStopCollecting && !settings.m_bKeepCollectingWhenScrolled) {
        m_fnStopCollecting();
    }
    m_fnRepaint();
}

void CPlotNavigator::ScrollBy(ScrollAction eAction) {
    const SPlotSettings& settings = m_painter.Settings();
    ApplyScroll(
        ApplyScrollAction(eAction, settings.m_nScrollBack,
                          MaxScrollBack(m_painter.FirstChannelCount(), settings.m_fPointsPerDiv)));
}

void CPlotNavigator::OnWheel(int nDelta) {
    ScrollBy(WheelScrollAction(nDelta));
}

void CPlotNavigator::OnHScroll(int nAction) {
    switch (nAction) {
    case QAbstractSlider::SliderSingleStepSub:
        ScrollBy(ScrollAction::OneOlder);
        break;
    case QAbstractSlider::SliderSingleStepAdd:
        ScrollBy(ScrollAction::OneNewer);
        break;
    case QAbstractSlider::SliderMove: {
        const SPlotSettings& settings = m_painter.Settings();
        ApplyScroll(ApplyThumbTrack(
            m_pScrollBar->sliderPosition(), g_nLastTrackPos, settings.m_nScrollBack,
            MaxScrollBack(m_painter.FirstChannelCount(), settings.m_fPointsPerDiv)));
        break;
    }
    default:
        // Trough clicks and the like move nothing; the bar goes back to where it belongs.
        m_fnRepaint();
        break;
    }
    UpdateScrollBar();
}
