#pragma once

#include "SampleSeries.h"

#include <cstddef>
#include <cstdint>
#include <limits>

// Last, minimum, maximum, mean, standard deviation and count of some samples.
//
// A gap (NaN) is no value: it counts nowhere, and only "last" can be one. An infinity (a
// number beyond the float range) is a value: it counts, and is the minimum or maximum it
// is, but mean and deviation are of the finite values only, or one overflow would hide
// them for the rest of the run.
//
// The deviation is the population one (divided by the count, not count - 1): the RMS of
// the signal about its mean, defined for a single value too.
struct SSampleStats {
    std::uint64_t m_nSamples = 0;  // samples looked at, gaps included
    std::uint64_t m_nCount = 0;    // values that are not gaps
    std::uint64_t m_nInfinite = 0; // of them, infinite ones
    double m_dMean = 0.0;          // of the finite values
    double m_dSquares = 0.0;       // sum of squared deviations from m_dMean
    float m_fMin = std::numeric_limits<float>::infinity();
    float m_fMax = -std::numeric_limits<float>::infinity();
    float m_fLast = std::numeric_limits<float>::quiet_NaN(); // the last sample, gap or not

    std::uint64_t FiniteCount() const { return m_nCount - m_nInfinite; }
    // NaN when there is no finite value.
    double Mean() const;
    double StdDev() const;
    // NaN when there is no value.
    float Min() const;
    float Max() const;

    // Takes in the statistics of samples that follow these (Chan's pairwise update, which
    // stays exact to a few units in the last place however the samples are split).
    void Append(const SSampleStats& later);
};

// The statistics of nCount samples in one pass. Each run of up to 256 samples is summed
// about one of its own values, so its squares cannot cancel by more than 256 units in the
// last place of a double, then the runs are joined by SSampleStats::Append.
SSampleStats ComputeStats(const Sample* pValues, std::size_t nCount);

// The statistics of the samples [first, last) of a series (clipped to it), in one pass.
SSampleStats ComputeStats(const CSampleSeries& series, std::size_t first, std::size_t last);

// The statistics of every sample of a series, kept up to date at the cost of the samples
// appended since the last Update, however long the series is.
class CRunningStats {
public:
    // Takes in what was appended since the last call; a series cleared since starts over.
    void Update(const CSampleSeries& series);
    const SSampleStats& All() const { return m_stats; }
    std::size_t Covered() const { return m_nCovered; }

private:
    SSampleStats m_stats;
    std::size_t m_nCovered = 0;
    std::uint64_t m_nGeneration = 0;
};
