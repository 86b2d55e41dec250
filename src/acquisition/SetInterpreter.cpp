#include "SetInterpreter.h"

#include <algorithm>

bool CSetInterpreter::Feed(const char* text, std::size_t length, CSetSink& sink) {
    if (m_eFormat == EBoardFormat::kLines) {
        m_lines.m_cLimiter = m_cLimiter;
        return m_lines.Feed(text, length, sink);
    }
    m_hash.m_cLimiter = m_cLimiter;
    return m_hash.Feed(text, length, sink);
}

void CSetInterpreter::DiscardPartialSet() {
    m_hash.DiscardPartialSet();
    m_lines.DiscardPartialSet();
}

void CSetInterpreter::SetFormat(EBoardFormat eFormat) {
    if (eFormat != m_eFormat) {
        m_eFormat = eFormat;
        DiscardPartialSet();
    }
}

void CSetInterpreter::ForgetSession() {
    DiscardPartialSet();
    m_lines.ForgetSession();
    m_hash.ResetCounts();
}

SReadCounts CSetInterpreter::Counts() const {
    SReadCounts counts = m_lines.Counts();
    counts.m_nValuesDropped += m_hash.ValuesDropped();
    counts.m_nLargestSet = std::max(counts.m_nLargestSet, m_hash.LargestSet());
    return counts;
}
