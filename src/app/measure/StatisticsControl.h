#pragma once

#include "measure/StatisticsPanel.h"

#include "MeasureText.h"
#include "RateMeter.h"
#include "SampleStats.h"

#include <QPointer>
#include <QTimer>

#include <array>
#include <cstdint>

class CAcquisitionSession;
class CCommandMap;
class CPlotCursors;
class CPlotPainter;
class CSetTimeKeeper;

// View > Statistics (off by default): the statistics panel, fed at most 4 times a second
// while it is shown. The whole of each channel is kept by running sums, so that a refresh
// costs the samples that arrived since and at most one pass over those in view.
class CStatisticsControl {
public:
    static constexpr int kRefreshMs = 250;

    CStatisticsControl(CPlotPainter& painter, const CAcquisitionSession& session,
                       const CPlotCursors& cursors, const CSetTimeKeeper& times);
    ~CStatisticsControl();
    CStatisticsControl(const CStatisticsControl&) = delete;
    CStatisticsControl& operator=(const CStatisticsControl&) = delete;

    void RegisterCommands(CCommandMap& commands);

    // The panel, for the frame to place beside the plot.
    CStatisticsPanel* Panel() const { return m_pPanel; }
    bool Shown() const { return m_bShown; }
    void SetShown(bool bShown);

    // nNewSets sets arrived: the line's rates count them.
    void OnSetsCompleted(int nNewSets);
    // The panel brought up to date now (what the timer does).
    void Refresh();

private:
    SLineFigures LineFigures() const;

    CPlotPainter& m_painter;
    const CAcquisitionSession& m_session;
    const CPlotCursors& m_cursors;
    const CSetTimeKeeper& m_times;
    // Owned here until the frame places it; the frame's then.
    QPointer<CStatisticsPanel> m_pPanel;
    QTimer m_timer;
    bool m_bShown = false;
    std::array<CRunningStats, 10> m_vRunning;
    CRateMeter m_rates;
};
