#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// The sizes of the sets completed since the log was last emptied, in order, as runs of
// equal sizes: a board that always sends the same number of values needs one entry.
class CSetSizeLog {
public:
    struct SRun {
        std::uint8_t m_nSize;
        std::size_t m_nSets;
    };

    void Add(int nSize) {
        const auto size = static_cast<std::uint8_t>(nSize);
        if (m_vRuns.empty() || m_vRuns.back().m_nSize != size) {
            m_vRuns.push_back({size, 0});
        }
        ++m_vRuns.back().m_nSets;
        ++m_nSets;
    }
    void Clear() {
        m_vRuns.clear();
        m_nSets = 0;
    }
    const std::vector<SRun>& Runs() const { return m_vRuns; }
    std::size_t Sets() const { return m_nSets; }
    bool Empty() const { return m_nSets == 0; }

private:
    std::vector<SRun> m_vRuns;
    std::size_t m_nSets = 0;
};
