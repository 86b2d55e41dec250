#pragma once

#include "SampleSeries.h"

#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

// The extremes of some samples: the smallest and largest that are not NaN (infinities
// included), and which kinds of odd value were among them. A NaN is a gap: no value.
struct CValueRange {
    static constexpr std::uint8_t kNaN = 1;
    static constexpr std::uint8_t kInfinite = 2;

    float m_fMin = std::numeric_limits<float>::infinity();
    float m_fMax = -std::numeric_limits<float>::infinity();
    std::uint8_t m_nFlags = 0;

    bool HasNumbers() const { return m_fMin <= m_fMax; }
    bool HasNaN() const { return (m_nFlags & kNaN) != 0; }
    bool HasInfinite() const { return (m_nFlags & kInfinite) != 0; }
    void Merge(const CValueRange& other) {
        m_fMin = other.m_fMin < m_fMin ? other.m_fMin : m_fMin;
        m_fMax = other.m_fMax > m_fMax ? other.m_fMax : m_fMax;
        m_nFlags |= other.m_nFlags;
    }
};

// The extremes of a series a block of samples at a time, on two levels, so that the
// extremes of any stretch of samples cost a few hundred steps however long it is. Built
// lazily: Update summarises what was appended since the last call.
class CSeriesSummary {
public:
    static constexpr std::size_t kShift1 = 7;  // 128 samples per first-level block
    static constexpr std::size_t kShift2 = 14; // 128 first-level blocks per second-level one

    // Brings the summary up to the series; a series cleared since starts it over.
    void Update(const CSampleSeries& series);

    // Extremes of the samples [first, last) of the series last given to Update. With
    // bFiniteOnly, infinities are left out as well (m_nFlags still tells of them).
    CValueRange Range(const CSampleSeries& series, std::size_t first, std::size_t last,
                      bool bFiniteOnly = false) const;

    // The first index in [first, last) of a finite sample above fHi or below fLo; last when
    // there is none.
    std::size_t FindBeyond(const CSampleSeries& series, std::size_t first, std::size_t last,
                           float fLo, float fHi) const;
    // The first index in [first, last) of a gap (NaN); last when there is none.
    std::size_t FindGap(const CSampleSeries& series, std::size_t first, std::size_t last) const;

    std::size_t Covered() const { return m_nCovered; }

private:
    static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

    void RangeOfLevel(const CSampleSeries& series, int nLevel, std::size_t first, std::size_t last,
                      bool bFiniteOnly, CValueRange& range) const;
    // The first sample in [first, last) for which bMatch(v) holds, looking only into blocks
    // for which bMayHold(range) does; last when there is none.
    template <class MayHold, class Match>
    std::size_t Find(const CSampleSeries& series, std::size_t first, std::size_t last,
                     MayHold bMayHold, Match bMatch) const;
    template <class MayHold, class Match>
    std::size_t FindInLevel(const CSampleSeries& series, int nLevel, std::size_t first,
                            std::size_t last, MayHold bMayHold, Match bMatch) const;

    std::vector<CValueRange> m_vLevel1;
    std::vector<CValueRange> m_vLevel2;
    std::size_t m_nCovered = 0;
    std::uint64_t m_nGeneration = 0;
};

// Extremes of plain samples, for stretches too short to summarise.
CValueRange ScanRange(const Sample* pValues, std::size_t nCount, bool bFiniteOnly);
