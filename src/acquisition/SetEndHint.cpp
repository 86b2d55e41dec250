#include "SetEndHint.h"

namespace {

bool IsNameStart(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}

bool IsNameByte(unsigned char c) {
    return IsNameStart(c) || (c >= '0' && c <= '9');
}

bool StartsNumber(unsigned char c) {
    return (c >= '0' && c <= '9') || c == '-' || c == '+' || c == '.';
}

} // namespace

void CSetEndHint::Reset() {
    m_tStretchStart.reset();
    m_bShown = false;
    m_bLineEnds = false;
    m_bLabels = false;
    m_nLabelState = 0;
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

bool CSetEndHint::OnBytesInterpreted(Clock::time_point tNow, bool bSetCompleted, const char* pBytes,
                                     std::size_t nBytes) {
    if (!bSetCompleted && !m_bShown) {
        Look(pBytes, nBytes);
    }
    return OnBytesInterpreted(tNow, bSetCompleted);
}

void CSetEndHint::Look(const char* pBytes, std::size_t nBytes) {
    for (std::size_t i = 0; i < nBytes; ++i) {
        const auto c = static_cast<unsigned char>(pBytes[i]);
        m_bLineEnds = m_bLineEnds || c == '\n' || c == '\r';
        switch (m_nLabelState) {
        case 1:
            m_nLabelState = c == ':' || c == '=' ? 2 : IsNameByte(c) ? 1 : 0;
            break;
        case 2:
            m_bLabels = m_bLabels || StartsNumber(c);
            m_nLabelState = c == ' ' ? 2 : IsNameStart(c) ? 1 : 0;
            break;
        default:
            m_nLabelState = IsNameStart(c) ? 1 : 0;
            break;
        }
    }
}

const char* CSetEndHint::Text(EBoardFormat eFormat) const {
    if (eFormat == EBoardFormat::kLines) {
        return m_bLineEnds ? "Receiving lines, but none has held a set: each line needs "
                             "numbers, gaps or name:value fields"
                           : PlainText(eFormat);
    }
    if (m_bLabels) {
        return "Receiving data, but no set has ended: the board prints name:value fields "
               "without '#' (Port Setup can read one set per line)";
    }
    if (m_bLineEnds) {
        return "Receiving data, but no set has ended: the board ends its lines without '#' "
               "(Port Setup can read one set per line)";
    }
    return PlainText(eFormat);
}

const char* CSetEndHint::PlainText(EBoardFormat eFormat) {
    return eFormat == EBoardFormat::kLines
               ? "Receiving data, but no set has ended: no '#' and no line end has arrived"
               : "Receiving data, but no set has ended: sets end with '#' (Port Setup can read "
                 "one set per line)";
}
