#include "session/MemoryShortage.h"

#include "PlotData.h"

bool CMemoryShortage::StoreBecameFull(const CPlotData& data) {
    if (!data.IsMemoryFull() || m_bFullTold) {
        return false;
    }
    m_bFullTold = true;
    return true;
}

bool CMemoryShortage::Resume(CPlotData& data) {
    if (!data.ResumeAfterFull()) {
        return false;
    }
    m_bFullTold = false;
    return true;
}

bool CMemoryShortage::PaintFailed() {
    const bool bTell = !m_bPaintFailureTold;
    m_bPaintFailureTold = true;
    return bTell;
}
