#include "SeriesSummary.h"

#include <cmath>

namespace {

constexpr std::size_t kBlock1 = std::size_t{1} << CSeriesSummary::kShift1;
constexpr std::size_t kPerBlock2 = std::size_t{1}
                                   << (CSeriesSummary::kShift2 - CSeriesSummary::kShift1);

// Both shifts divide the series' own blocks, so a summary block never straddles two of them.
static_assert(CSeriesSummary::kShift2 <= CSampleSeries::kBlockShift);

bool IsInfinite(float v) {
    return std::fabs(v) == std::numeric_limits<float>::infinity();
}

} // namespace

CValueRange ScanRange(const Sample* pValues, std::size_t nCount, bool bFiniteOnly) {
    CValueRange range;
    // Plain comparisons skip NaN without a branch and let the loop be vectorised.
    float fMin = range.m_fMin;
    float fMax = range.m_fMax;
    bool bNaN = false;
    bool bInfinite = false;
    for (std::size_t k = 0; k < nCount; ++k) {
        const float v = pValues[k];
        fMin = v < fMin ? v : fMin;
        fMax = v > fMax ? v : fMax;
        bNaN |= v != v;
    }
    if (IsInfinite(fMin) || IsInfinite(fMax)) {
        bInfinite = true;
        if (bFiniteOnly) {
            fMin = range.m_fMin;
            fMax = range.m_fMax;
            for (std::size_t k = 0; k < nCount; ++k) {
                const float v = pValues[k];
                if (std::isfinite(v)) {
                    fMin = v < fMin ? v : fMin;
                    fMax = v > fMax ? v : fMax;
                }
            }
        }
    }
    range.m_fMin = fMin;
    range.m_fMax = fMax;
    range.m_nFlags = static_cast<std::uint8_t>((bNaN ? CValueRange::kNaN : 0) |
                                               (bInfinite ? CValueRange::kInfinite : 0));
    return range;
}

void CSeriesSummary::Update(const CSampleSeries& series) {
    if (series.Generation() != m_nGeneration || series.size() < m_nCovered) {
        m_vLevel1.clear();
        m_vLevel2.clear();
        m_nCovered = 0;
        m_nGeneration = series.Generation();
    }
    const std::size_t size = series.size();
    if (size == m_nCovered) {
        return;
    }
    // The last block of each level may have been partly summarised: it is done again.
    std::size_t first1 = m_nCovered >> kShift1;
    m_vLevel1.resize((size + kBlock1 - 1) >> kShift1);
    for (std::size_t b = first1; b < m_vLevel1.size(); ++b) {
        const std::size_t begin = b << kShift1;
        const std::size_t count = std::min(kBlock1, size - begin);
        series.ForEachRun(begin, begin + count, [&](const Sample* run, std::size_t n) {
            m_vLevel1[b] = ScanRange(run, n, false);
        });
    }
    const std::size_t first2 = first1 / kPerBlock2;
    m_vLevel2.resize((m_vLevel1.size() + kPerBlock2 - 1) / kPerBlock2);
    for (std::size_t b = first2; b < m_vLevel2.size(); ++b) {
        CValueRange range;
        const std::size_t end = std::min(m_vLevel1.size(), (b + 1) * kPerBlock2);
        for (std::size_t k = b * kPerBlock2; k < end; ++k) {
            range.Merge(m_vLevel1[k]);
        }
        m_vLevel2[b] = range;
    }
    m_nCovered = size;
}

// Level 0 is the samples themselves; [first, last) counts in units of that level.
void CSeriesSummary::RangeOfLevel(const CSampleSeries& series, int nLevel, std::size_t first,
                                  std::size_t last, bool bFiniteOnly, CValueRange& range) const {
    if (first >= last) {
        return;
    }
    if (nLevel == 0) {
        series.ForEachRun(first, last, [&](const Sample* run, std::size_t n) {
            range.Merge(ScanRange(run, n, bFiniteOnly));
        });
        return;
    }
    const std::vector<CValueRange>& level = nLevel == 1 ? m_vLevel1 : m_vLevel2;
    const std::size_t shift = nLevel == 1 ? kShift1 : kShift2 - kShift1;
    for (std::size_t b = first; b < last; ++b) {
        const CValueRange& block = level[b];
        if (bFiniteOnly && block.HasInfinite()) {
            // Only the samples tell the largest finite one.
            RangeOfLevel(series, nLevel - 1, b << shift, (b + 1) << shift, true, range);
            continue;
        }
        range.Merge(block);
    }
}

CValueRange CSeriesSummary::Range(const CSampleSeries& series, std::size_t first, std::size_t last,
                                  bool bFiniteOnly) const {
    CValueRange range;
    last = std::min(last, m_nCovered);
    if (first >= last) {
        return range;
    }
    // Head samples, head blocks, whole second-level blocks, tail blocks, tail samples.
    const std::size_t b1First = (first + kBlock1 - 1) >> kShift1;
    const std::size_t b1Last = last >> kShift1;
    if (b1First >= b1Last) {
        RangeOfLevel(series, 0, first, last, bFiniteOnly, range);
        return range;
    }
    RangeOfLevel(series, 0, first, b1First << kShift1, bFiniteOnly, range);
    const std::size_t b2First = (b1First + kPerBlock2 - 1) / kPerBlock2;
    const std::size_t b2Last = b1Last / kPerBlock2;
    if (b2First >= b2Last) {
        RangeOfLevel(series, 1, b1First, b1Last, bFiniteOnly, range);
    } else {
        RangeOfLevel(series, 1, b1First, b2First * kPerBlock2, bFiniteOnly, range);
        RangeOfLevel(series, 2, b2First, b2Last, bFiniteOnly, range);
        RangeOfLevel(series, 1, b2Last * kPerBlock2, b1Last, bFiniteOnly, range);
    }
    RangeOfLevel(series, 0, b1Last << kShift1, last, bFiniteOnly, range);
    return range;
}

// [first, last) in units of the level; the sample index found, or kNone.
template <class MayHold, class Match>
std::size_t CSeriesSummary::FindInLevel(const CSampleSeries& series, int nLevel, std::size_t first,
                                        std::size_t last, MayHold bMayHold, Match bMatch) const {
    if (nLevel == 0) {
        for (std::size_t j = first; j < last; ++j) {
            if (bMatch(series[j])) {
                return j;
            }
        }
        return kNone;
    }
    const std::vector<CValueRange>& level = nLevel == 1 ? m_vLevel1 : m_vLevel2;
    const std::size_t shift = nLevel == 1 ? kShift1 : kShift2 - kShift1;
    for (std::size_t b = first; b < last; ++b) {
        if (bMayHold(level[b])) {
            const std::size_t found =
                FindInLevel(series, nLevel - 1, b << shift, (b + 1) << shift, bMayHold, bMatch);
            if (found != kNone) {
                return found;
            }
        }
    }
    return kNone;
}

template <class MayHold, class Match>
std::size_t CSeriesSummary::Find(const CSampleSeries& series, std::size_t first, std::size_t last,
                                 MayHold bMayHold, Match bMatch) const {
    const std::size_t end = std::min(last, m_nCovered);
    if (first >= end) {
        return last;
    }
    const std::size_t b1First = (first + kBlock1 - 1) >> kShift1;
    const std::size_t b1Last = end >> kShift1;
    std::size_t found = kNone;
    if (b1First >= b1Last) {
        found = FindInLevel(series, 0, first, end, bMayHold, bMatch);
        return found != kNone ? found : last;
    }
    const std::size_t b2First = (b1First + kPerBlock2 - 1) / kPerBlock2;
    const std::size_t b2Last = b1Last / kPerBlock2;
    struct SStep {
        int nLevel;
        std::size_t first;
        std::size_t last;
    };
    const SStep steps[] = {{0, first, b1First << kShift1},
                           {1, b1First, b2First < b2Last ? b2First * kPerBlock2 : b1Last},
                           {2, b2First, b2Last},
                           {1, b2First < b2Last ? b2Last * kPerBlock2 : b1Last, b1Last},
                           {0, b1Last << kShift1, end}};
    for (const SStep& step : steps) {
        found = FindInLevel(series, step.nLevel, step.first, step.last, bMayHold, bMatch);
        if (found != kNone) {
            return found;
        }
    }
    return last;
}

std::size_t CSeriesSummary::FindBeyond(const CSampleSeries& series, std::size_t first,
                                       std::size_t last, float fLo, float fHi) const {
    return Find(
        series, first, last,
        // An infinite extreme may hide a finite sample beyond the limits.
        [&](const CValueRange& block) { return block.m_fMax > fHi || block.m_fMin < fLo; },
        [&](float v) { return std::isfinite(v) && (v > fHi || v < fLo); });
}

std::size_t CSeriesSummary::FindGap(const CSampleSeries& series, std::size_t first,
                                    std::size_t last) const {
    return Find(
        series, first, last, [](const CValueRange& block) { return block.HasNaN(); },
        [](float v) { return v != v; });
}
