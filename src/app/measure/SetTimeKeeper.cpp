#include "measure/SetTimeKeeper.h"

#include "commands/CommandIds.h"
#include "commands/CommandMap.h"
#include "session/AcquisitionSession.h"
#include "view/PlotPainter.h"

#include "PlotData.h"

CSetTimeKeeper::CSetTimeKeeper(CPlotPainter& painter, std::function<void()> fnRepaint)
    : m_fnRepaint(std::move(fnRepaint)) {
    painter.SetXLabelTexts(
        [this](float fPointsPerDiv, int nStart) -> std::optional<std::array<std::string, 11>> {
            const CSetTimes* pTimes = m_bXAxisInSeconds ? Times() : nullptr;
            if (pTimes == nullptr) {
                return std::nullopt;
            }
            return TimeAxisLabels(*pTimes, fPointsPerDiv, nStart);
        });
}

void CSetTimeKeeper::RegisterCommands(CCommandMap& commands) {
    commands.Add(
        ID_PLOT_XAXISSECONDS, [this] { SetXAxisInSeconds(!m_bXAxisInSeconds); },
        [this](CCmdUI& cmdUI) {
            cmdUI.Enable();
            cmdUI.SetCheck(m_bXAxisInSeconds);
        });
}

void CSetTimeKeeper::SetXAxisInSeconds(bool bOn) {
    m_bXAxisInSeconds = bOn;
    m_fnRepaint();
}

void CSetTimeKeeper::OnSetsCompleted() {
    if (g_pPlotData == nullptr) {
        return;
    }
    const CSampleSeries& first = g_pPlotData->GetSeries(0);
    if (first.Generation() != m_nGeneration || first.size() < m_times.SetCount()) {
        // Emptied since: the sets there now are new.
        m_times.Reset();
        m_nGeneration = first.Generation();
        m_bUntimed = false;
    }
    if (!m_bUntimed && first.size() > m_times.SetCount()) {
        m_times.OnSets(CSetTimes::Clock::now(), first.size() - m_times.SetCount());
    }
}

void CSetTimeKeeper::OnLoaded() {
    m_times.Reset();
    m_nGeneration = g_pPlotData != nullptr ? g_pPlotData->GetSeries(0).Generation() : 0;
    m_bUntimed = true;
}

void CSetTimeKeeper::AdoptRecordingTimes(const std::vector<std::uint32_t>& vRowMs) {
    OnLoaded();
    m_times.AdoptRowTimes(vRowMs);
    m_bUntimed = false;
}

const CSetTimes* CSetTimeKeeper::Times() const {
    if (g_pPlotData == nullptr || m_times.SetCount() == 0 ||
        g_pPlotData->GetSeries(0).Generation() != m_nGeneration) {
        return nullptr;
    }
    return &m_times;
}
