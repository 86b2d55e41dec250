#include "SampleSeries.h"

#include <atomic>
#include <new>
#include <sys/mman.h>

namespace {

void ReleaseBlock(Sample* pBlock) noexcept {
    munmap(pBlock, CSampleSeries::kBlockBytes);
}

} // namespace

void CSampleSeries::Append(Sample v) {
    if (!MakeRoom()) {
        throw std::bad_alloc();
    }
    AppendInRoom(v);
}

bool CSampleSeries::MakeRoom() noexcept {
    if (HasRoom()) {
        return true;
    }
    // Mapped for itself, so that the last release (a clear, or the last snapshot letting go)
    // gives the memory back to the system at once (the memory rules go by what the system
    // sees) rather than leave it in the allocator. Its pages take physical memory only as
    // samples come near them.
    void* pMapped =
        mmap(nullptr, kBlockBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (pMapped == MAP_FAILED) {
        return false;
    }
    try {
        // Should the bookkeeping fail, the block is released again.
        m_vBlocks.emplace_back(static_cast<Sample*>(pMapped), ReleaseBlock);
    } catch (const std::bad_alloc&) {
        return false;
    }
    m_pTail = m_vBlocks.back().get();
    m_nPrefaulted = m_nCapacity;
    m_nCapacity += kBlockSize;
    Prefault();
    return true;
}

void CSampleSeries::Prefault() noexcept {
    if (m_nPrefaulted >= m_nCapacity) {
        // The block is done: nothing to ask for until the next one.
        m_nPrefaulted = m_nCapacity + kPrefaultSamples;
        return;
    }
    const std::size_t nOffset = m_nPrefaulted & kBlockMask;
    const std::size_t nCount = std::min(kPrefaultSamples, kBlockSize - nOffset);
    // Where the system cannot, the pages come one fault at a time as before.
    madvise(m_pTail + nOffset, nCount * sizeof(Sample), MADV_POPULATE_WRITE);
    m_nPrefaulted += nCount;
}

void CSampleSeries::clear() {
    m_vBlocks.clear();
    m_vBlocks.shrink_to_fit();
    m_pTail = nullptr;
    m_nSize = 0;
    m_nCapacity = 0;
    m_nPrefaulted = 0;
    m_nGeneration = NewGeneration();
}

std::uint64_t CSampleSeries::NewGeneration() {
    static std::atomic<std::uint64_t> s_nNext{1};
    return s_nNext.fetch_add(1, std::memory_order_relaxed);
}

std::size_t CSampleSeries::CapacityBytes() const {
    return m_vBlocks.size() * kBlockBytes + m_vBlocks.capacity() * sizeof(m_vBlocks[0]);
}

CSeriesSnapshot CSampleSeries::Snapshot() const {
    CSeriesSnapshot snapshot;
    snapshot.m_vBlocks.assign(m_vBlocks.begin(), m_vBlocks.end());
    snapshot.m_nSize = m_nSize;
    return snapshot;
}
