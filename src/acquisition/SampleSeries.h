#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

using Sample = float;

// Append-only series of samples stored in fixed-size blocks. Growing never moves or copies
// stored samples (a plain vector would copy gigabytes on a long recording and keep up to
// the same again as slack); indexing stays constant time.
class CSampleSeries {
public:
    static constexpr std::size_t kBlockShift = 16;
    static constexpr std::size_t kBlockSize = std::size_t{1} << kBlockShift;
    static constexpr std::size_t kBlockMask = kBlockSize - 1;

    void Append(Sample v) {
        if ((m_nSize & kBlockMask) == 0) {
            AddBlock();
        }
        m_pTail[m_nSize & kBlockMask] = v;
        ++m_nSize;
    }

    Sample operator[](std::size_t j) const { return m_vBlocks[j >> kBlockShift][j & kBlockMask]; }
    std::size_t size() const { return m_nSize; }
    bool empty() const { return m_nSize == 0; }
    void clear();

    // Calls f(const Sample* run, std::size_t count) for contiguous runs covering [first, last).
    template <class F>
    void ForEachRun(std::size_t first, std::size_t last, F&& f) const {
        while (first < last) {
            const std::size_t offset = first & kBlockMask;
            const std::size_t count = std::min(kBlockSize - offset, last - first);
            f(m_vBlocks[first >> kBlockShift].get() + offset, count);
            first += count;
        }
    }

    // Bytes held by the blocks and the block table, for memory reports.
    std::size_t CapacityBytes() const;

    // Different for every series and after every clear: a summary of the samples is still
    // valid while it is the same.
    std::uint64_t Generation() const { return m_nGeneration; }

private:
    void AddBlock();
    static std::uint64_t NewGeneration();

    std::vector<std::unique_ptr<Sample[]>> m_vBlocks;
    Sample* m_pTail = nullptr;
    std::size_t m_nSize = 0;
    std::uint64_t m_nGeneration = NewGeneration();
};
