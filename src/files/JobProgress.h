#pragma once

#include <atomic>
#include <cstdint>

// How far a job running on another thread has come, and its owner's request to stop it.
// Both sides only read and write these counters: nothing here waits.
class CJobProgress {
public:
    void SetTotal(std::uint64_t nTotal) { m_nTotal.store(nTotal, std::memory_order_relaxed); }
    void Add(std::uint64_t nDone) { m_nDone.fetch_add(nDone, std::memory_order_relaxed); }
    // 0 to 1; 0 while the total is not known.
    double Fraction() const {
        const std::uint64_t nTotal = m_nTotal.load(std::memory_order_relaxed);
        const std::uint64_t nDone = m_nDone.load(std::memory_order_relaxed);
        return nTotal == 0 ? 0.0
                           : static_cast<double>(nDone < nTotal ? nDone : nTotal) /
                                 static_cast<double>(nTotal);
    }

    void Cancel() { m_bCancel.store(true, std::memory_order_relaxed); }
    bool Cancelled() const { return m_bCancel.load(std::memory_order_relaxed); }

private:
    std::atomic<std::uint64_t> m_nDone{0};
    std::atomic<std::uint64_t> m_nTotal{0};
    std::atomic<bool> m_bCancel{false};
};
