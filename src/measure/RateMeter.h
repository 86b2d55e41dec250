#pragma once

#include <array>
#include <chrono>
#include <cstdint>

// Sets and bytes per second over the last second, for the line's figures. Counts are kept
// in 100 slots of 10 ms, so the memory is fixed however fast data come, and "the last
// second" is the current slot and the 99 before it. The clock is handed in.
class CRateMeter {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr Clock::duration kSlot = std::chrono::milliseconds(10);
    static constexpr std::size_t kSlots = 100;

    struct SRates {
        std::uint64_t m_nSets = 0;
        std::uint64_t m_nBytes = 0;
        friend bool operator==(const SRates&, const SRates&) = default;
    };

    // nSets sets and nBytes bytes arrived at tNow.
    void Add(Clock::time_point tNow, std::uint64_t nSets, std::uint64_t nBytes);
    // What arrived in the second up to tNow: sets and bytes per second.
    SRates PerSecond(Clock::time_point tNow) const;
    void Reset();

private:
    struct SSlot {
        std::int64_t m_nNumber = -1; // which 10 ms since the clock's epoch; -1 unused
        SRates m_rates;
    };

    static std::int64_t SlotNumber(Clock::time_point t);

    std::array<SSlot, kSlots> m_vSlots{};
};
