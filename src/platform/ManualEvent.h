#pragma once

#include "BasicTypes.h"

#include <atomic>
#include <memory>
#include <mutex>

class CManualEvent;

// Something that completes pending operations for whoever waits on their event (see
// SerialDevice.h). While such an operation is pending, its event knows its driver.
class CEventDriver {
public:
    // Waits at most dwTimeoutMs for the operation pending on the event to complete, doing the
    // work that completes it. WAIT_OBJECT_0 once the event is set, WAIT_TIMEOUT, or WAIT_FAILED
    // with the code in *pnError.
    virtual DWORD Drive(CManualEvent& event, DWORD dwTimeoutMs, int* pnError) noexcept = 0;
    // The event is going away: drop whatever is pending on it.
    virtual void Forget(CManualEvent& event) noexcept = 0;

protected:
    ~CEventDriver() = default;
};

// A manual-reset event on an eventfd: it stays set until reset, and every waiter sees it.
class CManualEvent {
public:
    // Creates a non-signalled event; a result code.
    static int Create(std::unique_ptr<CManualEvent>* ppEvent) noexcept;
    ~CManualEvent();
    CManualEvent(const CManualEvent&) = delete;
    CManualEvent& operator=(const CManualEvent&) = delete;

    int Set() noexcept;
    int Reset() noexcept;
    bool IsSet() const noexcept;

    // Waits until the event is set, at most dwTimeoutMs (INFINITE: without limit). When an
    // operation is pending on it, the wait is what completes that operation.
    DWORD Wait(DWORD dwTimeoutMs, int* pnError = nullptr) noexcept;
    // Waits for a Set only, driving nothing.
    DWORD WaitSet(DWORD dwTimeoutMs, int* pnError = nullptr) noexcept;

    void AttachDriver(CEventDriver* pDriver) noexcept;
    void DetachDriver(CEventDriver* pDriver) noexcept;

    // For a poll() of one's own: the descriptor is readable exactly while the event is set.
    int GetFd() noexcept;

private:
    explicit CManualEvent(int hFd) noexcept : m_hFd(hFd) {}
    int SignalFd() noexcept;

    int m_hFd = -1;
    mutable std::mutex m_mutex;
    bool m_bSet = false;
    // The eventfd is only kept in step while somebody may poll it: most events are set and
    // reset by one thread that never sleeps on them (a read that completes at once), and
    // those pay no system call.
    bool m_bFdSignalled = false;
    bool m_bFdShared = false;
    int m_nSleepers = 0;
    std::atomic<CEventDriver*> m_pDriver{nullptr};
};
