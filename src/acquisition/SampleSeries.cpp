#include "SampleSeries.h"

#include <new>

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
    // Not value-initialised: a block's pages are touched only as samples arrive.
    std::unique_ptr<Sample[]> pBlock(new (std::nothrow) Sample[kBlockSize]);
    if (pBlock == nullptr) {
        return false;
    }
    try {
        m_vBlocks.push_back(std::move(pBlock));
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
}

std::size_t CSampleSeries::CapacityBytes() const {
    return m_vBlocks.size() * kBlockBytes + m_vBlocks.capacity() * sizeof(m_vBlocks[0]);
}
