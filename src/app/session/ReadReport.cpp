#include "session/ReadReport.h"

#include "SetInterpreter.h"

void CReadReport::OnStoreCleared() {
    m_nDroppedSeen = 0;
    m_nSkippedSeen = 0;
}

std::string CReadReport::Update(const SReadCounts& counts, Clock::time_point tNow) {
    const bool bDropped = counts.m_nValuesDropped > m_nDroppedSeen;
    m_nDroppedSeen = counts.m_nValuesDropped;
    // Values dropped on a clash of labels are no set too wide.
    if (bDropped && !m_bWideSetTold && counts.m_nLargestSet > CSetInterpreter::kMaxValuesPerSet) {
        m_bWideSetTold = true;
        return "A set held " + std::to_string(counts.m_nLargestSet) + " values: only " +
               std::to_string(CSetInterpreter::kMaxValuesPerSet) + " channels are kept";
    }
    if (counts.m_nLinesSkipped > m_nSkippedSeen &&
        (!m_tSkipTold || tNow - *m_tSkipTold >= kSkipInterval)) {
        m_nSkippedSeen = counts.m_nLinesSkipped;
        m_tSkipTold = tNow;
        return "skipped a line that is not a set: " + counts.m_strLastSkippedLine;
    }
    return {};
}
