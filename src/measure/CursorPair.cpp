#include "CursorPair.h"

#include <algorithm>
#include <cstdint>
#include <limits>

void CCursorPair::ForgetBeyond(int nSampleCount) {
    if (m_nA && *m_nA >= nSampleCount) {
        m_nA.reset();
    }
    if (m_nB && *m_nB >= nSampleCount) {
        m_nB.reset();
    }
}

std::optional<int> CCursorPair::DeltaSamples() const {
    if (!BothSet()) {
        return std::nullopt;
    }
    return *m_nB - *m_nA;
}

std::optional<CCursorPair::SRange> CCursorPair::Range() const {
    if (!BothSet()) {
        return std::nullopt;
    }
    return SRange{std::min(*m_nA, *m_nB), std::max(*m_nA, *m_nB) + 1};
}

float SampleOrGap(const CSampleSeries& series, int n) {
    if (n < 0 || static_cast<std::size_t>(n) >= series.size()) {
        return std::numeric_limits<float>::quiet_NaN();
    }
    return series[static_cast<std::size_t>(n)];
}
