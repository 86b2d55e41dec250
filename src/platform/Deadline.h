#pragma once

#include "BasicTypes.h"

#include <cstdint>

// The end of a time-out in milliseconds on the monotonic clock, for waits that may be woken
// early (EINTR, an unrelated event) and must go on waiting only for what is left.
class CDeadline {
public:
    explicit CDeadline(DWORD dwTimeoutMs) noexcept;

    static std::int64_t NowNs() noexcept;
    // Milliseconds from now until nEndNs, rounded up so that a wait never ends just early.
    static int MsUntil(std::int64_t nEndNs) noexcept;

    bool IsInfinite() const noexcept { return m_bInfinite; }
    bool Expired() const noexcept;
    std::int64_t EndNs() const noexcept { return m_nEndNs; }
    // What is left, for poll() and epoll_wait(): -1 without limit.
    int PollTimeout() const noexcept;

private:
    std::int64_t m_nEndNs = 0;
    bool m_bInfinite = false;
};
