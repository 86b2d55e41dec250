#include "Deadline.h"

#include <climits>
#include <ctime>

CDeadline::CDeadline(DWORD dwTimeoutMs) noexcept : m_bInfinite(dwTimeoutMs == INFINITE) {
    if (!m_bInfinite) {
        m_nEndNs = NowNs() + static_cast<std::int64_t>(dwTimeoutMs) * 1000000;
    }
}

std::int64_t CDeadline::NowNs() noexcept {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

int CDeadline::MsUntil(std::int64_t nEndNs) noexcept {
    const std::int64_t nLeft = nEndNs - NowNs();
    if (nLeft <= 0) {
        return 0;
    }
    const std::int64_t nMs = (nLeft + 999999) / 1000000;
    return nMs > INT_MAX ? INT_MAX : static_cast<int>(nMs);
}

bool CDeadline::Expired() const noexcept {
    return !m_bInfinite && NowNs() >= m_nEndNs;
}

int CDeadline::PollTimeout() const noexcept {
    return m_bInfinite ? -1 : MsUntil(m_nEndNs);
}
