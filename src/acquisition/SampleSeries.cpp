#include "SampleSeries.h"

#include <atomic>

void CSampleSeries::AddBlock() {
    // Not value-initialised: a block's pages are touched only as samples arrive.
    m_vBlocks.push_back(std::make_shared_for_overwrite<Sample[]>(kBlockSize));
    m_pTail = m_vBlocks.back().get();
}

void CSampleSeries::clear() {
    m_vBlocks.clear();
    m_vBlocks.shrink_to_fit();
    m_pTail = nullptr;
    m_nSize = 0;
    m_nGeneration = NewGeneration();
}

std::uint64_t CSampleSeries::NewGeneration() {
    static std::atomic<std::uint64_t> s_nNext{1};
    return s_nNext.fetch_add(1, std::memory_order_relaxed);
}

std::size_t CSampleSeries::CapacityBytes() const {
    return m_vBlocks.size() * kBlockSize * sizeof(Sample) +
           m_vBlocks.capacity() * sizeof(m_vBlocks[0]);
}

CSeriesSnapshot CSampleSeries::Snapshot() const {
    CSeriesSnapshot snapshot;
    snapshot.m_vBlocks.assign(m_vBlocks.begin(), m_vBlocks.end());
    snapshot.m_nSize = m_nSize;
    return snapshot;
}
