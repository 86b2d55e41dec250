#include "SampleStats.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr std::size_t kRun = 256;
constexpr std::size_t kLanes = 4;

float NoValue() {
    return std::numeric_limits<float>::quiet_NaN();
}

// One run of at most kRun samples.
SSampleStats RunStats(const Sample* pValues, std::size_t nCount) {
    SSampleStats stats;
    if (nCount == 0) {
        return stats;
    }
    stats.m_nSamples = nCount;
    stats.m_fLast = pValues[nCount - 1];
    std::size_t k = 0;
    while (k < nCount && !std::isfinite(pValues[k])) {
        ++k;
    }
    // Any finite value of the run bounds the cancellation: its squared distance from the
    // mean is part of the sum of squares.
    const double shift = k < nCount ? pValues[k] : 0.0;
    double sum[kLanes] = {};
    double squares[kLanes] = {};
    std::uint32_t finite[kLanes] = {};
    std::uint32_t values[kLanes] = {};
    float fMin[kLanes];
    float fMax[kLanes];
    std::fill(fMin, fMin + kLanes, stats.m_fMin);
    std::fill(fMax, fMax + kLanes, stats.m_fMax);
    auto take = [&](std::size_t lane, float v) {
        // Comparisons are false for NaN: gaps drop out without a branch.
        fMin[lane] = v < fMin[lane] ? v : fMin[lane];
        fMax[lane] = v > fMax[lane] ? v : fMax[lane];
        const bool bFinite = std::fabs(v) <= std::numeric_limits<float>::max();
        const double d = bFinite ? static_cast<double>(v) - shift : 0.0;
        sum[lane] += d;
        squares[lane] += d * d;
        finite[lane] += bFinite;
        values[lane] += v == v;
    };
    // Independent lanes, so that the additions need not wait for each other.
    std::size_t j = 0;
    for (; j + kLanes <= nCount; j += kLanes) {
        for (std::size_t lane = 0; lane < kLanes; ++lane) {
            take(lane, pValues[j + lane]);
        }
    }
    for (; j < nCount; ++j) {
        take(j % kLanes, pValues[j]);
    }
    double s = 0.0;
    double q = 0.0;
    std::uint64_t nFinite = 0;
    for (std::size_t lane = 0; lane < kLanes; ++lane) {
        s += sum[lane];
        q += squares[lane];
        nFinite += finite[lane];
        stats.m_nCount += values[lane];
        stats.m_fMin = std::min(stats.m_fMin, fMin[lane]);
        stats.m_fMax = std::max(stats.m_fMax, fMax[lane]);
    }
    stats.m_nInfinite = stats.m_nCount - nFinite;
    if (nFinite > 0) {
        const double n = static_cast<double>(nFinite);
        stats.m_dMean = shift + s / n;
        stats.m_dSquares = std::max(0.0, q - s * s / n);
    }
    return stats;
}

} // namespace

double SSampleStats::Mean() const {
    return FiniteCount() > 0 ? m_dMean : std::numeric_limits<double>::quiet_NaN();
}

double SSampleStats::StdDev() const {
    return FiniteCount() > 0 ? std::sqrt(m_dSquares / static_cast<double>(FiniteCount()))
                             : std::numeric_limits<double>::quiet_NaN();
}

float SSampleStats::Min() const {
    return m_nCount > 0 ? m_fMin : NoValue();
}

float SSampleStats::Max() const {
    return m_nCount > 0 ? m_fMax : NoValue();
}

void SSampleStats::Append(const SSampleStats& later) {
    const std::uint64_t nA = FiniteCount();
    const std::uint64_t nB = later.FiniteCount();
    if (nB > 0) {
        if (nA == 0) {
            m_dMean = later.m_dMean;
            m_dSquares = later.m_dSquares;
        } else {
            const double a = static_cast<double>(nA);
            const double b = static_cast<double>(nB);
            const double delta = later.m_dMean - m_dMean;
            m_dMean += delta * (b / (a + b));
            m_dSquares += later.m_dSquares + delta * delta * (a * b / (a + b));
        }
    }
    if (later.m_nSamples > 0) {
        m_fLast = later.m_fLast;
    }
    m_nSamples += later.m_nSamples;
    m_nCount += later.m_nCount;
    m_nInfinite += later.m_nInfinite;
    m_fMin = std::min(m_fMin, later.m_fMin);
    m_fMax = std::max(m_fMax, later.m_fMax);
}

SSampleStats ComputeStats(const Sample* pValues, std::size_t nCount) {
    SSampleStats stats;
    for (std::size_t at = 0; at < nCount; at += kRun) {
        stats.Append(RunStats(pValues + at, std::min(kRun, nCount - at)));
    }
    return stats;
}

SSampleStats ComputeStats(const CSampleSeries& series, std::size_t first, std::size_t last) {
    SSampleStats stats;
    last = std::min(last, series.size());
    if (first < last) {
        series.ForEachRun(first, last, [&](const Sample* pRun, std::size_t nCount) {
            stats.Append(ComputeStats(pRun, nCount));
        });
    }
    return stats;
}

void CRunningStats::Update(const CSampleSeries& series) {
    if (series.Generation() != m_nGeneration || series.size() < m_nCovered) {
        m_stats = SSampleStats{};
        m_nCovered = 0;
        m_nGeneration = series.Generation();
    }
    if (m_nCovered < series.size()) {
        m_stats.Append(ComputeStats(series, m_nCovered, series.size()));
        m_nCovered = series.size();
    }
}
