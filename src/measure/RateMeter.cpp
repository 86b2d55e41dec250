#include "RateMeter.h"

std::int64_t CRateMeter::SlotNumber(Clock::time_point t) {
    const auto since = t.time_since_epoch();
    // Floor, also for a clock before its epoch (a test's fake one may be).
    std::int64_t n = since / kSlot;
    if (since < Clock::duration::zero() && since % kSlot != Clock::duration::zero()) {
        --n;
    }
    return n;
}

void CRateMeter::Add(Clock::time_point tNow, std::uint64_t nSets, std::uint64_t nBytes) {
    const std::int64_t n = SlotNumber(tNow);
    constexpr auto slots = static_cast<std::int64_t>(kSlots);
    SSlot& slot = m_vSlots[static_cast<std::size_t>(((n % slots) + slots) % slots)];
    if (slot.m_nNumber != n) {
        // An older slot's counts have left the second, or it is a time that the second
        // has already left behind (ignored below).
        if (slot.m_nNumber > n) {
            return;
        }
        slot = SSlot{n, {}};
    }
    slot.m_rates.m_nSets += nSets;
    slot.m_rates.m_nBytes += nBytes;
}

CRateMeter::SRates CRateMeter::PerSecond(Clock::time_point tNow) const {
    const std::int64_t n = SlotNumber(tNow);
    SRates rates;
    for (const SSlot& slot : m_vSlots) {
        if (slot.m_nNumber > n - static_cast<std::int64_t>(kSlots) && slot.m_nNumber <= n) {
            rates.m_nSets += slot.m_rates.m_nSets;
            rates.m_nBytes += slot.m_rates.m_nBytes;
        }
    }
    return rates;
}

void CRateMeter::Reset() {
    m_vSlots.fill(SSlot{});
}
