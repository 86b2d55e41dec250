#pragma once

#include "SampleSeries.h"

#include <optional>

// Cursors A and B: sample indexes, so they stay on their samples while the plot scrolls
// or new data push the window on.
class CCursorPair {
public:
    void SetA(int n) { m_nA = n; }
    void SetB(int n) { m_nB = n; }
    void Clear() {
        m_nA.reset();
        m_nB.reset();
    }
    // The store was emptied or replaced: a cursor beyond its samples has nothing to stand on.
    void ForgetBeyond(int nSampleCount);

    std::optional<int> A() const { return m_nA; }
    std::optional<int> B() const { return m_nB; }
    bool BothSet() const { return m_nA && m_nB; }
    // B - A, when both are set.
    std::optional<int> DeltaSamples() const;

    // The samples between the cursors, both included, as [first, last): the range the
    // statistics take "between A and B".
    struct SRange {
        int m_nFirst = 0;
        int m_nLast = 0;
    };
    std::optional<SRange> Range() const;

private:
    std::optional<int> m_nA;
    std::optional<int> m_nB;
};

// Sample n of a series, or a gap (NaN) where the series has none: what a readout shows.
float SampleOrGap(const CSampleSeries& series, int n);
