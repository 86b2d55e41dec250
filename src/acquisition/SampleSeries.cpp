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
    // samples arrive.
    void* pMapped = mmap(nullptr, kBlockBytes, PROT_READ | PROT_WRITE,
                         MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE, -1, 0);
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
    m_nCapacity += kBlockSize;
    return true;
}

void CSampleSeries::clear() {
    m_vBlocks.clear();
    m_vBlocks.shrink_to_fit();
    m_pTail = nullptr;
    m_nSize = 0;
    m_nCapacity = 0;
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
