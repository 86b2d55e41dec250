#include "measure/StatisticsControl.h"

#include "commands/CommandIds.h"
#include "commands/CommandMap.h"
#include "measure/MeasuredChannels.h"
#include "measure/PlotCursors.h"
#include "measure/SetTimeKeeper.h"
#include "session/AcquisitionSession.h"
#include "view/PlotPainter.h"

#include "PlotData.h"

CStatisticsControl::CStatisticsControl(CPlotPainter& painter, const CAcquisitionSession& session,
                                       const CPlotCursors& cursors, const CSetTimeKeeper& times)
    : m_painter(painter), m_session(session), m_cursors(cursors), m_times(times),
      m_pPanel(new CStatisticsPanel) {
    m_pPanel->hide();
    m_timer.setInterval(kRefreshMs);
    QObject::connect(&m_timer, &QTimer::timeout, [this] { Refresh(); });
    // Every read counts, also one that completes no set.
    QObject::connect(&session, &CAcquisitionSession::BytesRead, &m_timer,
                     [this](std::uint64_t nBytes) {
                         if (m_bShown) {
                             m_rates.Add(CRateMeter::Clock::now(), 0, nBytes);
                         }
                     });
}

CStatisticsControl::~CStatisticsControl() {
    if (m_pPanel != nullptr && m_pPanel->parent() == nullptr) {
        delete m_pPanel;
    }
}

void CStatisticsControl::RegisterCommands(CCommandMap& commands) {
    commands.Add(
        ID_VIEW_STATISTICS, [this] { SetShown(!m_bShown); },
        [this](CCmdUI& cmdUI) {
            cmdUI.Enable();
            cmdUI.SetCheck(m_bShown);
        });
}

void CStatisticsControl::SetShown(bool bShown) {
    m_bShown = bShown;
    if (bShown) {
        // The rates count from now.
        m_rates.Reset();
        Refresh();
        m_timer.start();
    } else {
        m_timer.stop();
    }
    if (m_pPanel != nullptr) {
        m_pPanel->setVisible(bShown);
    }
}

void CStatisticsControl::OnSetsCompleted(int nNewSets) {
    if (m_bShown && nNewSets > 0) {
        m_rates.Add(CRateMeter::Clock::now(), static_cast<std::uint64_t>(nNewSets), 0);
    }
}

SLineFigures CStatisticsControl::LineFigures() const {
    SLineFigures line;
    const CRateMeter::SRates rates = m_rates.PerSecond(CRateMeter::Clock::now());
    line.m_nSetsPerSecond = rates.m_nSets;
    line.m_nBytesPerSecond = rates.m_nBytes;
    if (!m_session.m_bConnected) {
        if (const CSetTimes* pTimes = m_times.Times()) {
            line.m_fAverageSetsPerSecond = pTimes->AverageSetsPerSecond();
        }
    }
    if (g_pPlotData != nullptr) {
        const SReadCounts counts = g_pPlotData->GetReadCounts();
        line.m_nValuesDropped = counts.m_nValuesDropped;
        line.m_nLinesSkipped = counts.m_nLinesSkipped;
    }
    line.m_nLineErrors = m_session.LineErrors();
    return line;
}

void CStatisticsControl::Refresh() {
    if (m_pPanel == nullptr || g_pPlotData == nullptr) {
        return;
    }
    SStatisticsFigures figures;
    const auto range = m_cursors.Pair().Range();
    figures.m_bBetweenCursors = range.has_value();
    const SPlotSettings& settings = m_painter.Settings();
    for (int c = 0; c < g_pPlotData->m_nLastSetCount; ++c) {
        const CSampleSeries& series = g_pPlotData->GetSeries(c);
        CRunningStats& running = m_vRunning[static_cast<std::size_t>(c)];
        running.Update(series);
        std::size_t nFirst = 0;
        std::size_t nLast = 0;
        if (range) {
            nFirst = static_cast<std::size_t>(range->m_nFirst);
            nLast = static_cast<std::size_t>(range->m_nLast);
        } else {
            const CPlotWindow window = ChannelWindow(settings, c);
            nFirst = static_cast<std::size_t>(std::max(0, window.m_nStart));
            nLast = static_cast<std::size_t>(std::max(window.m_nStart, window.m_nEnd));
        }
        const std::string strLabel = ChannelLabelOf(c);
        figures.m_vInView.push_back(StatsRow(strLabel, ComputeStats(series, nFirst, nLast)));
        figures.m_vAll.push_back(StatsRow(strLabel, running.All()));
    }
    figures.m_strCursors = m_cursors.ReadoutText();
    figures.m_vLine = LineFigureRows(LineFigures());
    m_pPanel->Show(figures);
}
