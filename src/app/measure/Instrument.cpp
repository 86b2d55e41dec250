#include "measure/Instrument.h"

#include "commands/CommandMap.h"
#include "measure/HoverReadout.h"
#include "measure/MouseZoom.h"
#include "measure/PlotCursors.h"
#include "measure/SetTimeKeeper.h"
#include "measure/StatisticsControl.h"
#include "measure/TriggerControl.h"
#include "view/PlotPainter.h"
#include "view/PlotScreen.h"

#include <QAbstractScrollArea>

CInstrument::CInstrument(QAbstractScrollArea& view, CPlotPainter& painter, CPlotScreen& screen,
                         CStatusSink& status, CAcquisitionSession& session,
                         std::function<void()> fnStopCollecting)
    : m_painter(painter), m_screen(screen),
      m_pTimes(std::make_unique<CSetTimeKeeper>(painter, [&screen] { screen.Repaint(); })),
      m_pHover(
          std::make_unique<CHoverReadout>(*view.viewport(), painter, screen, status, *m_pTimes)),
      m_pCursors(std::make_unique<CPlotCursors>(*view.viewport(), painter, status, *m_pTimes,
                                                [&screen] { screen.Repaint(); })),
      m_pZoom(std::make_unique<CMouseZoom>(
          *view.viewport(), painter, status, [&screen] { screen.Repaint(); },
          [this] { m_pTrigger->LeaveView(); }, std::move(fnStopCollecting))),
      m_pTrigger(std::make_unique<CTriggerControl>(view, painter, [&screen] { screen.Repaint(); })),
      m_pStatistics(
          std::make_unique<CStatisticsControl>(painter, session, *m_pCursors, *m_pTimes)) {
    painter.AddOverlay(m_pTrigger.get());
    painter.AddOverlay(m_pCursors.get());
    painter.AddOverlay(m_pZoom.get());
    screen.SetMovingOverlay(m_pHover.get());
    // The values under the mouse follow it without a button pressed.
    view.viewport()->setMouseTracking(true);
}

CInstrument::~CInstrument() {
    m_screen.SetMovingOverlay(nullptr);
    m_painter.RemoveOverlay(m_pTrigger.get());
    m_painter.RemoveOverlay(m_pCursors.get());
    m_painter.RemoveOverlay(m_pZoom.get());
}

void CInstrument::RegisterCommands(CCommandMap& commands) {
    m_pTimes->RegisterCommands(commands);
    m_pZoom->RegisterCommands(commands);
    m_pTrigger->RegisterCommands(commands);
    m_pStatistics->RegisterCommands(commands);
}

void CInstrument::OnSetsCompleted(int nNewSets) {
    m_pTimes->OnSetsCompleted();
    m_pTrigger->OnSetsCompleted();
    m_pStatistics->OnSetsCompleted(nNewSets);
}

void CInstrument::OnStoreCleared() {
    m_pCursors->OnStoreChanged();
    m_pTrigger->OnStoreChanged();
}

void CInstrument::OnLoaded(const std::vector<std::uint32_t>& vTimesMs) {
    if (vTimesMs.empty()) {
        m_pTimes->OnLoaded();
    } else {
        m_pTimes->AdoptRecordingTimes(vTimesMs);
    }
    m_pCursors->OnStoreChanged();
    m_pTrigger->OnStoreChanged();
}

void CInstrument::OnScrolled() {
    m_pTrigger->LeaveView();
}

void CInstrument::OnKey(int nKey) {
    switch (nKey) {
    case Qt::Key_F5:
    case Qt::Key_End:
        m_pTrigger->ResumeView();
        break;
    case Qt::Key_Escape:
        m_pZoom->Cancel();
        m_pCursors->Clear();
        break;
    default:
        break;
    }
}

void CInstrument::OnPress(QPoint at, Qt::KeyboardModifiers modifiers) {
    if (!m_pCursors->OnClick(at, modifiers)) {
        m_pZoom->OnPress(at);
    }
}

void CInstrument::OnMove(QPoint at) {
    m_pZoom->OnMove(at);
    m_pHover->OnMouseMove(at);
}

void CInstrument::OnRelease(QPoint at) {
    m_pZoom->OnRelease(at);
}

void CInstrument::OnLeave() {
    m_pHover->OnLeave();
}
