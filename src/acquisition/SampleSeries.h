#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

using Sample = float;

// Calls f(const Sample* run, std::size_t count) for contiguous runs covering [first, last) of
// samples kept in blocks of 2^nShift.
template <std::size_t nShift, class Blocks, class F>
void ForEachBlockRun(const Blocks& vBlocks, std::size_t first, std::size_t last, F&& f) {
    constexpr std::size_t kSize = std::size_t{1} << nShift;
    while (first < last) {
        const std::size_t offset = first & (kSize - 1);
        const std::size_t count = std::min(kSize - offset, last - first);
        f(vBlocks[first >> nShift].get() + offset, count);
        first += count;
    }
}

class CSeriesSnapshot;

// Append-only series of samples stored in fixed-size blocks. Growing never moves or copies
// stored samples (a plain vector would copy gigabytes on a long recording and keep up to
// the same again as slack); indexing stays constant time.
class CSampleSeries {
public:
    static constexpr std::size_t kBlockShift = 16;
    static constexpr std::size_t kBlockSize = std::size_t{1} << kBlockShift;
    static constexpr std::size_t kBlockMask = kBlockSize - 1;
    static constexpr std::size_t kBlockBytes = kBlockSize * sizeof(Sample);
    // Values whose pages are asked for at once, ahead of the tail.
    static constexpr std::size_t kPrefaultSamples = 16384;

    // Moved, never copied: two series must not append into one shared block.
    CSampleSeries() = default;
    CSampleSeries(const CSampleSeries&) = delete;
    CSampleSeries& operator=(const CSampleSeries&) = delete;
    CSampleSeries(CSampleSeries&& other) noexcept { *this = std::move(other); }
    CSampleSeries& operator=(CSampleSeries&& other) noexcept {
        m_vBlocks = std::move(other.m_vBlocks);
        other.m_vBlocks.clear();
        m_pTail = std::exchange(other.m_pTail, nullptr);
        m_nSize = std::exchange(other.m_nSize, 0);
        m_nCapacity = std::exchange(other.m_nCapacity, 0);
        m_nPrefaulted = std::exchange(other.m_nPrefaulted, 0);
        m_nGeneration = std::exchange(other.m_nGeneration, NewGeneration());
        return *this;
    }

    // Throws std::bad_alloc when a new block cannot be had.
    void Append(Sample v);

    // Whether the next value fits without a new block.
    bool HasRoom() const { return m_nSize != m_nCapacity; }
    // How many values fit without a new block.
    std::size_t Room() const { return m_nCapacity - m_nSize; }
    // Makes the next value fit, adding a block when the last one is full; false, with nothing
    // changed, when the memory for it cannot be had.
    bool MakeRoom() noexcept;
    // Where the next value goes, and taking the n values written there as appended: only
    // when Room() >= n.
    Sample* Tail() { return m_pTail + (m_nSize & kBlockMask); }
    void AppendWritten(std::size_t n) {
        m_nSize += n;
        PrefaultAhead();
    }
    // Only when HasRoom().
    void AppendInRoom(Sample v) {
        m_pTail[m_nSize & kBlockMask] = v;
        ++m_nSize;
        PrefaultAhead();
    }

    Sample operator[](std::size_t j) const { return m_vBlocks[j >> kBlockShift][j & kBlockMask]; }
    std::size_t size() const { return m_nSize; }
    bool empty() const { return m_nSize == 0; }
    std::size_t BlockCount() const { return m_vBlocks.size(); }
    void clear();

    // Calls f(const Sample* run, std::size_t count) for contiguous runs covering [first, last).
    template <class F>
    void ForEachRun(std::size_t first, std::size_t last, F&& f) const {
        ForEachBlockRun<kBlockShift>(m_vBlocks, first, last, std::forward<F>(f));
    }

    // The samples stored so far, for a reader on another thread (see CSeriesSnapshot). Taken
    // on the thread that appends.
    CSeriesSnapshot Snapshot() const;

    // Bytes held by the blocks and the block table, for memory reports.
    std::size_t CapacityBytes() const;

    // Different for every series and after every clear: a summary of the samples is still
    // valid while it is the same.
    std::uint64_t Generation() const { return m_nGeneration; }

private:
    static std::uint64_t NewGeneration();
    // Has the pages of the next kPrefaultSamples values of the last block made at once, rather
    // than one fault per page as they are written, and while they are still in the cache.
    void PrefaultAhead() {
        if (m_nSize + kPrefaultSamples / 2 > m_nPrefaulted) {
            Prefault();
        }
    }
    void Prefault() noexcept;

    // Shared with snapshots, which may outlive the series' hold on a block (a clear).
    std::vector<std::shared_ptr<Sample[]>> m_vBlocks;
    // The last block; blocks are added only when all are full, so the next value goes there.
    Sample* m_pTail = nullptr;
    std::size_t m_nSize = 0;
    std::size_t m_nCapacity = 0;
    std::size_t m_nPrefaulted = 0;
    std::uint64_t m_nGeneration = NewGeneration();
};

// The samples a series held when the snapshot was taken. The blocks are shared: the series
// only ever writes beyond the snapshot's size, and a block lives on until the series and every
// snapshot have let it go, so a snapshot reads on any thread while the series grows, is
// cleared and fills again.
class CSeriesSnapshot {
public:
    std::size_t size() const { return m_nSize; }

    template <class F>
    void ForEachRun(std::size_t first, std::size_t last, F&& f) const {
        ForEachBlockRun<CSampleSeries::kBlockShift>(m_vBlocks, first, last, std::forward<F>(f));
    }

private:
    friend class CSampleSeries;
    std::vector<std::shared_ptr<const Sample[]>> m_vBlocks;
    std::size_t m_nSize = 0;
};
