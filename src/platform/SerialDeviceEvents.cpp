// The event wait of the port: what completes it (new arrivals, the counters' errors and
// breaks, a hang-up, a new watch mask) as the platform's overlapped waits expect.
#include "SerialDevice.h"

#include "Deadline.h"

#include <cerrno>
#include <sys/epoll.h>
#include <sys/ioctl.h>

int CSerialDevice::WaitEvent(DWORD* pdwEvents, OVERLAPPED* pOverlapped) noexcept {
    std::unique_lock lock(m_mutex);
    if (pOverlapped != nullptr &&
        (pOverlapped->hEvent == nullptr || m_vOperations[kWait].bActive)) {
        return ERROR_INVALID_PARAMETER;
    }
    if (pOverlapped != nullptr) {
        pOverlapped->hEvent->Reset();
        pOverlapped->Internal = static_cast<std::uintptr_t>(ERROR_IO_PENDING);
        pOverlapped->InternalHigh = 0;
    }
    DWORD dwEvents = 0;
    bool bDone = false;
    if (m_bGone) {
        dwEvents = EV_KOVRA_DEVICE_GONE;
        bDone = true;
    } else {
        // What happened since the last completion completes this wait at once.
        epoll_event events[kMaxEpollEvents];
        const int nReady = epoll_wait(m_hEpoll, events, kMaxEpollEvents, 0);
        if (nReady > 0) {
            bool bWoke = false;
            dwEvents = CollectEvents(events, nReady, &bWoke);
            bDone = dwEvents != 0 || bWoke;
        }
    }
    if (!bDone) {
        COperation op;
        op.pdwEvents = pdwEvents;
        if (pOverlapped != nullptr) {
            Record(kWait, op, pOverlapped);
            return ERROR_IO_PENDING;
        }
        const CDeadline forever(INFINITE);
        int nStatus = ERROR_SUCCESS;
        int nError = ERROR_SUCCESS;
        if (Advance(kWait, op, false, forever, lock, &nStatus, &dwEvents, &nError) == kFailed) {
            return nError;
        }
    }
    *pdwEvents = dwEvents;
    if (pOverlapped != nullptr) {
        pOverlapped->Internal = ERROR_SUCCESS;
        pOverlapped->hEvent->Set();
    }
    return ERROR_SUCCESS;
}

DWORD CSerialDevice::CollectEvents(const void* pEvents, int nEvents, bool* pbWoke) noexcept {
    const auto* pList = static_cast<const epoll_event*>(pEvents);
    DWORD dwRaw = 0;
    bool bPort = false;
    for (int i = 0; i < nEvents; ++i) {
        if (pList[i].data.fd == m_hWake) {
            std::uint64_t nCount = 0;
            [[maybe_unused]] const ssize_t n = read(m_hWake, &nCount, sizeof nCount);
            *pbWoke = true;
            continue;
        }
        bPort = true;
        if ((pList[i].events & (EPOLLHUP | EPOLLERR)) != 0) {
            m_bGone = true;
        }
        if ((pList[i].events & (EPOLLIN | EPOLLHUP | EPOLLERR)) != 0 && TakeArrivals()) {
            dwRaw |= EV_RXCHAR;
        }
    }
    if (bPort && m_bHasCounters) {
        CLineCounters now;
        if (ReadLineCounters(m_hFd, &now) == 0) {
            dwRaw |= LineEventsBetween(m_countersForEvents, now);
            m_countersForEvents = now;
        }
    }
    DWORD dwEvents = dwRaw & m_dwMask.load();
    if (m_bGone) {
        dwEvents |= EV_KOVRA_DEVICE_GONE;
    }
    return dwEvents;
}

bool CSerialDevice::TakeArrivals() noexcept {
    if (m_nReadersWaiting == 0) {
        std::size_t nAdded = 0;
        switch (m_input.FillFrom(m_hFd, &nAdded)) {
        case CInputBuffer::kHungUp:
            m_bGone = true;
            [[fallthrough]];
        case CInputBuffer::kEmptied:
            m_nKnownInput = 0;
            return nAdded > 0;
        case CInputBuffer::kFull:
        case CInputBuffer::kFailed:
            if (nAdded > 0) {
                HasNewInput(); // what is left in the port is not new next time
                return true;
            }
            break;
        }
    }
    return HasNewInput();
}

// A tty wakes its readers for more than arrivals (a termios change, for one), and an
// edge-triggered epoll then reports the bytes still unread as if they were new. Only a queue
// that grew since the last look, allowing for what was read meanwhile, holds new characters.
bool CSerialDevice::HasNewInput() noexcept {
    int nQueued = 0;
    if (ioctl(m_hFd, FIONREAD, &nQueued) != 0) {
        return true;
    }
    const bool bNew = nQueued > m_nKnownInput;
    m_nKnownInput = nQueued;
    return bNew;
}
