#include "SendHistory.h"

void CSendHistory::Add(const std::string& strLine) {
    if (!strLine.empty() && (m_vLines.empty() || m_vLines.back() != strLine)) {
        m_vLines.push_back(strLine);
        if (m_vLines.size() > kMaxLines) {
            m_vLines.erase(m_vLines.begin());
        }
    }
    m_nShown = m_vLines.size();
}

std::string CSendHistory::Up(const std::string& strTyped) {
    if (m_vLines.empty()) {
        return strTyped;
    }
    if (m_nShown == m_vLines.size()) {
        m_strTyped = strTyped;
    }
    if (m_nShown > 0) {
        --m_nShown;
    }
    return m_vLines[m_nShown];
}

std::string CSendHistory::Down(const std::string& strTyped) {
    if (m_nShown >= m_vLines.size()) {
        return strTyped;
    }
    if (++m_nShown == m_vLines.size()) {
        return m_strTyped;
    }
    return m_vLines[m_nShown];
}

void CSendHistory::SetLines(const std::vector<std::string>& vLines) {
    m_vLines.clear();
    for (const std::string& strLine : vLines) {
        if (!strLine.empty()) {
            m_vLines.push_back(strLine);
        }
    }
    if (m_vLines.size() > kMaxLines) {
        m_vLines.erase(m_vLines.begin(), m_vLines.end() - kMaxLines);
    }
    m_nShown = m_vLines.size();
}
