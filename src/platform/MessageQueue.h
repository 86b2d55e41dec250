#pragma once

#include "NotifyTarget.h"

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>

struct CMessage {
    UINT nMessage = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
};

// A notification target for a thread without a window: posted messages wait here, in order,
// until that thread takes them.
class CMessageQueue final : public CNotifyTarget {
public:
    void Post(UINT nMessage, WPARAM wParam, LPARAM lParam) noexcept override;

    // Takes the oldest message, waiting at most dwTimeoutMs for one; false when none came.
    bool Get(CMessage* pMessage, DWORD dwTimeoutMs) noexcept;
    std::size_t GetCount() const noexcept;

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_arrived;
    std::deque<CMessage> m_vMessages;
};
