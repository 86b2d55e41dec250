#include "SetTimes.h"

#include "PlotGeometry.h"

#include <algorithm>
#include <charconv>
#include <cmath>

void CSetTimes::Push(std::uint32_t nWord) {
    if (m_nWords == m_vBlocks.size() * kBlockSize) {
        m_vBlocks.push_back(std::make_unique<std::uint32_t[]>(kBlockSize));
    }
    Word(m_nWords++) = nWord;
}

void CSetTimes::Append(std::uint32_t nMs, std::size_t nSets) {
    nMs = std::min(nMs, kMaxMs);
    if (m_nSets > 0) {
        nMs = std::max(nMs, m_nLastMs);
    }
    // The checkpoints count sets in 32 bits; the store holds fewer anyway.
    nSets = std::min<std::size_t>(nSets, UINT32_MAX - m_nSets);
    while (nSets > 0) {
        const bool bSameMs = m_nSets > 0 && nMs == m_nLastMs;
        if (bSameMs && m_nLastPairWord != kNoPair) {
            std::uint32_t& nHeader = Word(m_nLastPairWord);
            const std::size_t nAdd =
                std::min<std::size_t>(nSets, kMaxPairSets - (nHeader & kMaxPairSets));
            nHeader += static_cast<std::uint32_t>(nAdd);
            m_nSets += nAdd;
            nSets -= nAdd;
            if (nSets == 0) {
                break;
            }
        }
        const std::size_t nTrailing = bSameMs ? m_nTrailingSingles : 0;
        if (nTrailing + nSets >= kMinPairSets) {
            // The singles at this millisecond join the new pair.
            m_nWords -= nTrailing;
            const std::size_t nFirstSet = m_nSets - nTrailing;
            const std::size_t nCount = std::min<std::size_t>(nTrailing + nSets, kMaxPairSets);
            if (m_vCheckpoints.empty() ||
                m_vCheckpoints.back().m_nWord / kStretch != m_nWords / kStretch) {
                m_vCheckpoints.push_back(
                    {static_cast<std::uint32_t>(m_nWords), static_cast<std::uint32_t>(nFirstSet)});
            }
            m_nLastPairWord = m_nWords;
            Push(kPairFlag | static_cast<std::uint32_t>(nCount));
            Push(nMs);
            m_nSets = nFirstSet + nCount;
            nSets -= nCount - nTrailing;
            m_nTrailingSingles = 0;
        } else {
            for (std::size_t k = 0; k < nSets; ++k) {
                Push(nMs);
            }
            m_nSets += nSets;
            m_nTrailingSingles = nTrailing + nSets;
            m_nLastPairWord = kNoPair;
            nSets = 0;
        }
        m_nLastMs = nMs;
    }
}

void CSetTimes::OnSets(Clock::time_point tNow, std::size_t nSets) {
    if (nSets == 0) {
        return;
    }
    if (!m_tFirst) {
        m_tFirst = tNow - std::chrono::milliseconds(m_nSets > 0 ? m_nLastMs : 0);
    }
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(tNow - *m_tFirst).count();
    Append(static_cast<std::uint32_t>(std::clamp<std::int64_t>(ms, 0, kMaxMs)), nSets);
}

void CSetTimes::AdoptRowTimes(const std::vector<std::uint32_t>& vRowMs) {
    Reset();
    if (vRowMs.empty()) {
        return;
    }
    const std::uint32_t nFirst = vRowMs.front();
    // Runs of equal times go in at once.
    for (std::size_t k = 0; k < vRowMs.size();) {
        std::size_t j = k + 1;
        while (j < vRowMs.size() && vRowMs[j] == vRowMs[k]) {
            ++j;
        }
        Append(vRowMs[k] >= nFirst ? vRowMs[k] - nFirst : 0, j - k);
        k = j;
    }
}

void CSetTimes::Reset() {
    m_vBlocks.clear();
    m_nWords = 0;
    m_vCheckpoints.clear();
    m_nSets = 0;
    m_tFirst.reset();
    m_nLastMs = 0;
    m_nLastPairWord = kNoPair;
    m_nTrailingSingles = 0;
}

std::optional<std::uint32_t> CSetTimes::Milliseconds(std::size_t n) const {
    if (n >= m_nSets) {
        return std::nullopt;
    }
    const auto it = std::upper_bound(
        m_vCheckpoints.begin(), m_vCheckpoints.end(), n,
        [](std::size_t set, const SCheckpoint& checkpoint) { return set < checkpoint.m_nSet; });
    // Before the first checkpoint every entry is a single set.
    if (it == m_vCheckpoints.begin()) {
        return Word(n);
    }
    const SCheckpoint& checkpoint = *std::prev(it);
    std::size_t w = checkpoint.m_nWord;
    std::size_t s = checkpoint.m_nSet;
    // Pairs lie only in the checkpoint's own stretch until the next checkpoint, which is
    // beyond n.
    const std::size_t nStretchEnd = (w / kStretch + 1) * kStretch;
    while (w < nStretchEnd && w < m_nWords) {
        const std::uint32_t nWord = Word(w);
        if ((nWord & kPairFlag) != 0) {
            const std::size_t nCount = nWord & kMaxPairSets;
            if (n < s + nCount) {
                return Word(w + 1);
            }
            s += nCount;
            w += 2;
        } else {
            if (n == s) {
                return nWord;
            }
            ++s;
            ++w;
        }
    }
    return Word(w + (n - s));
}

std::optional<double> CSetTimes::Seconds(std::size_t n) const {
    const auto ms = Milliseconds(n);
    if (!ms) {
        return std::nullopt;
    }
    return *ms / 1000.0;
}

std::optional<double> CSetTimes::AverageSetsPerSecond() const {
    if (m_nSets < 2 || m_nLastMs == 0) {
        return std::nullopt;
    }
    // The first set is at 0 and times never go back.
    return static_cast<double>(m_nSets - 1) / (m_nLastMs / 1000.0);
}

std::size_t CSetTimes::PayloadBytes() const {
    return m_nWords * sizeof(std::uint32_t) + m_vCheckpoints.size() * sizeof(SCheckpoint);
}

std::size_t CSetTimes::CapacityBytes() const {
    return m_vBlocks.size() * kBlockSize * sizeof(std::uint32_t) +
           m_vBlocks.capacity() * sizeof(m_vBlocks[0]) +
           m_vCheckpoints.capacity() * sizeof(SCheckpoint);
}

std::array<std::string, 11> TimeAxisLabels(const CSetTimes& times, float fPointsPerDiv,
                                           int nStart) {
    constexpr int kLabels = CPlotGeometry::kDivisions + 1;
    std::array<std::optional<double>, kLabels> seconds;
    int nFirstKnown = -1;
    int nLastKnown = -1;
    for (int j = 0; j < kLabels; ++j) {
        const int nSample = XLabelNumber(j, fPointsPerDiv, nStart);
        if (nSample >= 0) {
            seconds[static_cast<std::size_t>(j)] = times.Seconds(static_cast<std::size_t>(nSample));
        }
        if (seconds[static_cast<std::size_t>(j)]) {
            nFirstKnown = nFirstKnown < 0 ? j : nFirstKnown;
            nLastKnown = j;
        }
    }
    int nDecimals = 3;
    if (nLastKnown > nFirstKnown) {
        const double step = (*seconds[static_cast<std::size_t>(nLastKnown)] -
                             *seconds[static_cast<std::size_t>(nFirstKnown)]) /
                            (nLastKnown - nFirstKnown);
        if (step > 0.0) {
            nDecimals = std::clamp(static_cast<int>(std::ceil(-std::log10(step))), 0, 3);
        }
    }
    std::array<std::string, kLabels> labels;
    for (std::size_t j = 0; j < labels.size(); ++j) {
        if (seconds[j]) {
            char buffer[32];
            const auto result = std::to_chars(buffer, buffer + sizeof buffer, *seconds[j],
                                              std::chars_format::fixed, nDecimals);
            labels[j].assign(buffer, result.ptr);
        }
    }
    return labels;
}
