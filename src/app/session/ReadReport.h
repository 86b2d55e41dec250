#pragma once

#include "SetSink.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

// What the status bar says about what the reader could not use: a set wider than the ten
// channels, once per connection, and a line that is no set, at most once a second (the
// latest one then). Fed with the store's counts after each read; the clock is handed in.
class CReadReport {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr Clock::duration kSkipInterval = std::chrono::seconds(1);

    // A port was opened: a set too wide is told again.
    void OnPortOpened() { m_bWideSetTold = false; }
    // The store's counts start again from nothing.
    void OnStoreCleared();
    // The text to show now, or "" when nothing is due. What is due but not told yet (a
    // skipped line within the second) is told by a later call.
    std::string Update(const SReadCounts& counts, Clock::time_point tNow);

private:
    std::uint64_t m_nDroppedSeen = 0;
    std::uint64_t m_nSkippedSeen = 0;
    bool m_bWideSetTold = false;
    std::optional<Clock::time_point> m_tSkipTold;
};
