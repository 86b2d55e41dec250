#include "PlotChannel.h"

void CPlotChannel::Clear() {
    m_vSamples.clear();
    m_fMin = 0.0f;
    m_fMax = 0.0f;
    m_fBeepLimitMin = 0.0f;
    m_fBeepLimitMax = 0.0f;
    m_bMarkMinMax = false;
    m_bSoundEnabled = false;
}
