#include "ManualEvent.h"

#include "Deadline.h"
#include "PlatformError.h"

#include <cerrno>
#include <cstdint>
#include <new>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

int CManualEvent::Create(std::unique_ptr<CManualEvent>* ppEvent) noexcept {
    ppEvent->reset();
    const int hFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (hFd < 0) {
        return LastError();
    }
    auto* pEvent = new (std::nothrow) CManualEvent(hFd);
    if (pEvent == nullptr) {
        close(hFd);
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    ppEvent->reset(pEvent);
    return ERROR_SUCCESS;
}

CManualEvent::~CManualEvent() {
    if (CEventDriver* pDriver = m_pDriver.exchange(nullptr)) {
        pDriver->Forget(*this);
    }
    close(m_hFd);
}

int CManualEvent::SignalFd() noexcept {
    if (m_bFdSignalled) {
        return ERROR_SUCCESS;
    }
    const std::uint64_t nOne = 1;
    if (write(m_hFd, &nOne, sizeof nOne) != static_cast<ssize_t>(sizeof nOne)) {
        return LastError();
    }
    m_bFdSignalled = true;
    return ERROR_SUCCESS;
}

int CManualEvent::Set() noexcept {
    std::lock_guard lock(m_mutex);
    m_bSet = true;
    return m_nSleepers > 0 || m_bFdShared ? SignalFd() : ERROR_SUCCESS;
}

int CManualEvent::Reset() noexcept {
    std::lock_guard lock(m_mutex);
    m_bSet = false;
    if (m_bFdSignalled) {
        std::uint64_t nCount = 0;
        if (read(m_hFd, &nCount, sizeof nCount) < 0 && errno != EAGAIN) {
            return LastError();
        }
        m_bFdSignalled = false;
    }
    return ERROR_SUCCESS;
}

bool CManualEvent::IsSet() const noexcept {
    std::lock_guard lock(m_mutex);
    return m_bSet;
}

int CManualEvent::GetFd() noexcept {
    std::lock_guard lock(m_mutex);
    m_bFdShared = true;
    if (m_bSet) {
        SignalFd();
    }
    return m_hFd;
}

DWORD CManualEvent::Wait(DWORD dwTimeoutMs, int* pnError) noexcept {
    if (IsSet()) {
        return WAIT_OBJECT_0;
    }
    if (CEventDriver* pDriver = m_pDriver.load()) {
        return pDriver->Drive(*this, dwTimeoutMs, pnError);
    }
    return WaitSet(dwTimeoutMs, pnError);
}

DWORD CManualEvent::WaitSet(DWORD dwTimeoutMs, int* pnError) noexcept {
    const CDeadline deadline(dwTimeoutMs);
    std::unique_lock lock(m_mutex);
    // A Set from now on writes the eventfd, so the poll below cannot miss it.
    ++m_nSleepers;
    DWORD dwResult = WAIT_TIMEOUT;
    while (!m_bSet) {
        const int nTimeout = deadline.PollTimeout();
        if (nTimeout == 0) {
            break;
        }
        lock.unlock();
        pollfd pfd{m_hFd, POLLIN, 0};
        const int nReady = poll(&pfd, 1, nTimeout);
        const int nErrno = errno;
        lock.lock();
        if (nReady < 0 && nErrno != EINTR) {
            if (pnError != nullptr) {
                *pnError = ErrorFromErrno(nErrno);
            }
            dwResult = WAIT_FAILED;
            break;
        }
    }
    if (m_bSet) {
        dwResult = WAIT_OBJECT_0;
    }
    --m_nSleepers;
    return dwResult;
}

void CManualEvent::AttachDriver(CEventDriver* pDriver) noexcept {
    m_pDriver.store(pDriver);
}

void CManualEvent::DetachDriver(CEventDriver* pDriver) noexcept {
    CEventDriver* pExpected = pDriver;
    m_pDriver.compare_exchange_strong(pExpected, nullptr);
}
