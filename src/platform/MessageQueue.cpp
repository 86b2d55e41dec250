#include "MessageQueue.h"

#include <chrono>

void CMessageQueue::Post(UINT nMessage, WPARAM wParam, LPARAM lParam) noexcept {
    try {
        std::lock_guard lock(m_mutex);
        m_vMessages.push_back({nMessage, wParam, lParam});
    } catch (...) {
        // Out of memory: the message is dropped, as a full window queue drops it.
        return;
    }
    m_arrived.notify_one();
}

bool CMessageQueue::Get(CMessage* pMessage, DWORD dwTimeoutMs) noexcept {
    std::unique_lock lock(m_mutex);
    const auto hasMessage = [this] { return !m_vMessages.empty(); };
    if (dwTimeoutMs == INFINITE) {
        m_arrived.wait(lock, hasMessage);
    } else if (!m_arrived.wait_for(lock, std::chrono::milliseconds(dwTimeoutMs), hasMessage)) {
        return false;
    }
    *pMessage = m_vMessages.front();
    m_vMessages.pop_front();
    return true;
}

std::size_t CMessageQueue::GetCount() const noexcept {
    std::lock_guard lock(m_mutex);
    return m_vMessages.size();
}
