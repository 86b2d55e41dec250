#pragma once

#include <QPoint>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class CAcquisitionSession;
class CCommandMap;
class CHoverReadout;
class CMouseZoom;
class CPlotCursors;
class CPlotPainter;
class CPlotScreen;
class CSetTimeKeeper;
class CStatisticsControl;
class CStatusSink;
class CTriggerControl;
class QAbstractScrollArea;

// The plot as a measuring instrument: the values under the mouse, cursors A and B, zoom with
// the mouse, the trigger, the statistics and the sets' times. The view hands it the mouse and
// the keys it knows; every part is off or invisible until the user asks for it.
class CInstrument {
public:
    // view parents the dialogs and gives the mouse; fnStopCollecting stops collection as
    // scrolling back does.
    CInstrument(QAbstractScrollArea& view, CPlotPainter& painter, CPlotScreen& screen,
                CStatusSink& status, CAcquisitionSession& session,
                std::function<void()> fnStopCollecting);
    ~CInstrument();
    CInstrument(const CInstrument&) = delete;
    CInstrument& operator=(const CInstrument&) = delete;

    void RegisterCommands(CCommandMap& commands);

    // nNewSets: the sets that the read completed.
    void OnSetsCompleted(int nNewSets);
    // The store was emptied or took an opened file's values (with its rows' times, if any).
    void OnStoreCleared();
    void OnLoaded(const std::vector<std::uint32_t>& vTimesMs);
    // The user scrolled: the trigger's window is left.
    void OnScrolled();
    // F5 and End bring the trigger's window back; Escape drops the cursors and a drag.
    void OnKey(int nKey);

    void OnPress(QPoint at, Qt::KeyboardModifiers modifiers);
    void OnMove(QPoint at);
    void OnRelease(QPoint at);
    void OnLeave();

    CSetTimeKeeper& Times() const { return *m_pTimes; }
    CHoverReadout& Hover() const { return *m_pHover; }
    CPlotCursors& Cursors() const { return *m_pCursors; }
    CMouseZoom& Zoom() const { return *m_pZoom; }
    CTriggerControl& Trigger() const { return *m_pTrigger; }
    CStatisticsControl& Statistics() const { return *m_pStatistics; }

private:
    CPlotPainter& m_painter;
    CPlotScreen& m_screen;
    std::unique_ptr<CSetTimeKeeper> m_pTimes;
    std::unique_ptr<CHoverReadout> m_pHover;
    std::unique_ptr<CPlotCursors> m_pCursors;
    std::unique_ptr<CMouseZoom> m_pZoom;
    std::unique_ptr<CTriggerControl> m_pTrigger;
    std::unique_ptr<CStatisticsControl> m_pStatistics;
};
