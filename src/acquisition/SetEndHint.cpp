#include "SetEndHint.h"

void CSetEndHint::Reset() {
    m_tStretchStart.reset();
    m_bShown = false;
}

bool CSetEndHint::OnBytesInterpreted(Clock::time_point tNow, bool bSetCompleted) {
    if (bSetCompleted) {
        Reset();
        return false;
    }
    if (!m_tStretchStart) {
        m_tStretchStart = tNow;
    }
    if (m_bShown || tNow - *m_tStretchStart < kPatience) {
        return false;
    }
    m_bShown = true;
    return true;
}

const char* CSetEndHint::Text(bool bEndSetsAtLineEnd) {
    return bEndSetsAtLineEnd ? "Receiving data, but no set has ended: no '#' and no line end "
                               "after a number has arrived"
                             : "Receiving data, but no set has ended: sets end with '#' (Port "
                               "Setup can end them at line ends)";
}
