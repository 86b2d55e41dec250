#include "SerialDevice.h"

#include "Deadline.h"
#include "PlatformError.h"

#include <cerrno>
#include <poll.h>
#include <sys/epoll.h>
#include <unistd.h>

namespace {

constexpr std::int64_t kNsPerMs = 1000000;

} // namespace

int CSerialDevice::Read(void* pBuffer, DWORD nCount, DWORD* pnRead,
                        OVERLAPPED* pOverlapped) noexcept {
    return StartTransfer(kRead, static_cast<unsigned char*>(pBuffer), nCount, pnRead, pOverlapped);
}

int CSerialDevice::Write(const void* pData, DWORD nCount, DWORD* pnWritten,
                         OVERLAPPED* pOverlapped) noexcept {
    // The buffer is only ever read from on the write path.
    auto* pBytes = static_cast<unsigned char*>(const_cast<void*>(pData));
    return StartTransfer(kWrite, pBytes, nCount, pnWritten, pOverlapped);
}

int CSerialDevice::StartTransfer(EOperation eKind, unsigned char* pData, DWORD nCount,
                                 DWORD* pnDone, OVERLAPPED* pOverlapped) noexcept {
    DWORD nLocal = 0;
    if (pnDone == nullptr) {
        pnDone = &nLocal;
    }
    *pnDone = 0;
    std::unique_lock lock(m_mutex);
    if (pOverlapped != nullptr &&
        (pOverlapped->hEvent == nullptr || m_vOperations[eKind].bActive)) {
        return ERROR_INVALID_PARAMETER;
    }
    COperation op;
    op.pData = pData;
    op.nCount = nCount;
    SetupTransfer(eKind, op);
    if (pOverlapped != nullptr) {
        pOverlapped->hEvent->Reset();
        pOverlapped->Internal = static_cast<std::uintptr_t>(ERROR_IO_PENDING);
        pOverlapped->InternalHigh = 0;
    }
    int nStatus = Pump(eKind, op);
    if (nStatus == ERROR_SUCCESS && !Finished(eKind, op, CDeadline::NowNs())) {
        if (pOverlapped != nullptr) {
            Record(eKind, op, pOverlapped);
            return ERROR_IO_PENDING;
        }
        const CDeadline forever(INFINITE);
        int nError = ERROR_SUCCESS;
        DWORD dwUnused = 0;
        if (Advance(eKind, op, false, forever, lock, &nStatus, &dwUnused, &nError) == kFailed) {
            nStatus = nError;
        }
    }
    *pnDone = op.nDone;
    if (pOverlapped != nullptr) {
        pOverlapped->Internal = static_cast<std::uintptr_t>(nStatus);
        pOverlapped->InternalHigh = op.nDone;
        if (nStatus == ERROR_SUCCESS) {
            pOverlapped->hEvent->Set();
        }
    }
    return nStatus;
}

void CSerialDevice::SetupTransfer(EOperation eKind, COperation& op) const noexcept {
    const std::int64_t nNow = CDeadline::NowNs();
    op.nLastByteNs = nNow;
    const COMMTIMEOUTS& t = m_timeouts;
    if (eKind == kWrite) {
        if (t.WriteTotalTimeoutMultiplier != 0 || t.WriteTotalTimeoutConstant != 0) {
            op.nTotalEndNs =
                nNow + (static_cast<std::int64_t>(t.WriteTotalTimeoutMultiplier) * op.nCount +
                        t.WriteTotalTimeoutConstant) *
                           kNsPerMs;
        }
        return;
    }
    const DWORD I = t.ReadIntervalTimeout;
    const DWORD M = t.ReadTotalTimeoutMultiplier;
    const DWORD C = t.ReadTotalTimeoutConstant;
    if (I == MAXDWORD && M == 0 && C == 0) {
        op.bReturnAtOnce = true;
    } else if (I == MAXDWORD && M == MAXDWORD && C != 0 && C != MAXDWORD) {
        op.bFirstByte = true;
        op.nTotalEndNs = nNow + static_cast<std::int64_t>(C) * kNsPerMs;
    } else {
        if (M != 0 || C != 0) {
            op.nTotalEndNs =
                nNow + (static_cast<std::int64_t>(M) * op.nCount + static_cast<std::int64_t>(C)) *
                           kNsPerMs;
        }
        if (I != 0 && I != MAXDWORD) {
            op.nIntervalNs = static_cast<std::int64_t>(I) * kNsPerMs;
        }
    }
}

int CSerialDevice::Pump(EOperation eKind, COperation& op) noexcept {
    // What was taken off the port earlier is older than what is still in it.
    bool bFromBuffer = false;
    if (eKind == kRead && !m_input.IsEmpty()) {
        op.nDone += static_cast<DWORD>(m_input.Take(op.pData + op.nDone, op.nCount - op.nDone));
        op.nLastByteNs = CDeadline::NowNs();
        bFromBuffer = true;
    }
    // A failure after bytes from the buffer is left to the next read, so that those are
    // delivered first.
    const auto fail = [bFromBuffer](int nCode) { return bFromBuffer ? ERROR_SUCCESS : nCode; };
    while (op.nDone < op.nCount) {
        const std::size_t nWant = op.nCount - op.nDone;
        const ssize_t n = eKind == kRead ? read(m_hFd, op.pData + op.nDone, nWant)
                                         : write(m_hFd, op.pData + op.nDone, nWant);
        if (n > 0) {
            op.nDone += static_cast<DWORD>(n);
            op.nLastByteNs = CDeadline::NowNs();
            if (eKind == kRead) {
                m_nKnownInput = m_nKnownInput > n ? m_nKnownInput - static_cast<int>(n) : 0;
            }
            // A tty hands over all it has in one call: after a short transfer the next one
            // would only say EAGAIN.
            if (static_cast<std::size_t>(n) < nWant) {
                break;
            }
            continue;
        }
        if (n == 0) {
            if (eKind == kRead) {
                // With VMIN 1 a non-blocking read gives 0 only when the line has hung up.
                m_bGone = true;
                return fail(ERROR_GEN_FAILURE);
            }
            break;
        }
        if (errno == EINTR) {
            continue;
        }
        if (errno == EAGAIN) {
            break;
        }
        if (errno == EIO) {
            m_bGone = true;
        }
        return eKind == kRead ? fail(LastError()) : LastError();
    }
    return ERROR_SUCCESS;
}

bool CSerialDevice::Finished(EOperation eKind, const COperation& op, std::int64_t nNowNs) noexcept {
    if (op.nDone >= op.nCount) {
        return true;
    }
    const bool bTotalOver = op.nTotalEndNs >= 0 && nNowNs >= op.nTotalEndNs;
    if (eKind == kWrite) {
        return bTotalOver;
    }
    if (op.bReturnAtOnce) {
        return true;
    }
    if (op.bFirstByte) {
        return op.nDone > 0 || bTotalOver;
    }
    if (bTotalOver) {
        return true;
    }
    return op.nIntervalNs >= 0 && op.nDone > 0 && nNowNs >= op.nLastByteNs + op.nIntervalNs;
}

std::int64_t CSerialDevice::NextDeadline(const COperation& op) noexcept {
    std::int64_t nEnd = op.nTotalEndNs;
    if (op.nIntervalNs >= 0 && op.nDone > 0) {
        const std::int64_t nInterval = op.nLastByteNs + op.nIntervalNs;
        if (nEnd < 0 || nInterval < nEnd) {
            nEnd = nInterval;
        }
    }
    return nEnd;
}

void CSerialDevice::Record(EOperation eKind, COperation& op, OVERLAPPED* pOverlapped) noexcept {
    op.bActive = true;
    op.nSerial = ++m_nSerial;
    op.pOverlapped = pOverlapped;
    op.pEvent = pOverlapped->hEvent;
    op.owner = std::this_thread::get_id();
    m_vOperations[eKind] = op;
    op.pEvent->AttachDriver(this);
}

void CSerialDevice::Complete(EOperation eKind, int nStatus, DWORD dwEvents) noexcept {
    COperation& op = m_vOperations[eKind];
    op.pOverlapped->Internal = static_cast<std::uintptr_t>(nStatus);
    op.pOverlapped->InternalHigh = eKind == kWait ? 0 : op.nDone;
    if (eKind == kWait && op.pdwEvents != nullptr) {
        *op.pdwEvents = dwEvents;
    }
    op.bActive = false;
    op.pEvent->DetachDriver(this);
    op.pEvent->Set();
}

CSerialDevice::EAdvance CSerialDevice::Advance(EOperation eKind, COperation& op, bool bRecorded,
                                               const CDeadline& wait,
                                               std::unique_lock<std::mutex>& lock, int* pnStatus,
                                               DWORD* pdwEvents, int* pnError) noexcept {
    const std::uint32_t nSerial = op.nSerial;
    const auto isStale = [&] { return bRecorded && (!op.bActive || op.nSerial != nSerial); };
    for (;;) {
        if (eKind == kWait) {
            if (m_bGone) {
                *pdwEvents = EV_KOVRA_DEVICE_GONE;
                *pnStatus = ERROR_SUCCESS;
                return kFinished;
            }
            epoll_event events[kMaxEpollEvents];
            lock.unlock();
            const int nReady = epoll_wait(m_hEpoll, events, kMaxEpollEvents, wait.PollTimeout());
            const int nErrno = errno;
            lock.lock();
            if (isStale()) {
                return kStale;
            }
            if (nReady < 0 && nErrno != EINTR) {
                *pnError = ErrorFromErrno(nErrno);
                return kFailed;
            }
            if (nReady > 0) {
                bool bWoke = false;
                const DWORD dwEvents = CollectEvents(events, nReady, &bWoke);
                if (dwEvents != 0 || bWoke) {
                    *pdwEvents = dwEvents;
                    *pnStatus = ERROR_SUCCESS;
                    return kFinished;
                }
            }
        } else {
            if (eKind == kRead && !m_input.IsEmpty()) {
                // The listener took bytes off the port since this read last looked.
                const int nStatus = Pump(eKind, op);
                if (nStatus != ERROR_SUCCESS || Finished(eKind, op, CDeadline::NowNs())) {
                    *pnStatus = nStatus;
                    return kFinished;
                }
            }
            int nTimeout = wait.PollTimeout();
            if (const std::int64_t nEnd = NextDeadline(op); nEnd >= 0) {
                const int nOwn = CDeadline::MsUntil(nEnd);
                if (nTimeout < 0 || nOwn < nTimeout) {
                    nTimeout = nOwn;
                }
            }
            pollfd pfd{m_hFd, static_cast<short>(eKind == kRead ? POLLIN : POLLOUT), 0};
            const int nWaiting = eKind == kRead ? 1 : 0;
            m_nReadersWaiting += nWaiting;
            lock.unlock();
            const int nReady = poll(&pfd, 1, nTimeout);
            const int nErrno = errno;
            lock.lock();
            m_nReadersWaiting -= nWaiting;
            if (isStale()) {
                return kStale;
            }
            if (nReady < 0 && nErrno != EINTR) {
                *pnError = ErrorFromErrno(nErrno);
                return kFailed;
            }
            const DWORD nBefore = op.nDone;
            int nStatus = nReady > 0 ? Pump(eKind, op) : ERROR_SUCCESS;
            if (nStatus == ERROR_SUCCESS && nReady > 0 && op.nDone == nBefore &&
                (pfd.revents & (POLLERR | POLLHUP | POLLNVAL)) != 0) {
                // A broken line that still lets the call succeed must not make this loop spin.
                m_bGone = true;
                nStatus = ERROR_GEN_FAILURE;
            }
            if (nStatus != ERROR_SUCCESS || Finished(eKind, op, CDeadline::NowNs())) {
                *pnStatus = nStatus;
                return kFinished;
            }
        }
        if (wait.Expired()) {
            return kTimedOut;
        }
    }
}

DWORD CSerialDevice::Drive(CManualEvent& event, DWORD dwTimeoutMs, int* pnError) noexcept {
    const CDeadline wait(dwTimeoutMs);
    const auto waitForSet = [&] {
        const DWORD dwLeft =
            wait.IsInfinite() ? INFINITE : static_cast<DWORD>(CDeadline::MsUntil(wait.EndNs()));
        return event.WaitSet(dwLeft, pnError);
    };
    std::unique_lock lock(m_mutex);
    int nKind = 0;
    while (nKind < kOperationCount &&
           !(m_vOperations[nKind].bActive && m_vOperations[nKind].pEvent == &event)) {
        ++nKind;
    }
    if (nKind == kOperationCount) {
        lock.unlock();
        return waitForSet();
    }
    const auto eKind = static_cast<EOperation>(nKind);
    COperation& op = m_vOperations[eKind];
    int nStatus = ERROR_SUCCESS;
    DWORD dwEvents = 0;
    int nError = ERROR_SUCCESS;
    switch (Advance(eKind, op, true, wait, lock, &nStatus, &dwEvents, &nError)) {
    case kFinished:
        Complete(eKind, nStatus, dwEvents);
        return WAIT_OBJECT_0;
    case kTimedOut:
        return WAIT_TIMEOUT;
    case kFailed:
        if (pnError != nullptr) {
            *pnError = nError;
        }
        return WAIT_FAILED;
    case kStale:
        break;
    }
    // Somebody else completed or cancelled it meanwhile; its event tells.
    lock.unlock();
    return waitForSet();
}

void CSerialDevice::Forget(CManualEvent& event) noexcept {
    std::lock_guard lock(m_mutex);
    for (COperation& op : m_vOperations) {
        if (op.bActive && op.pEvent == &event) {
            op.bActive = false;
        }
    }
}

int CSerialDevice::GetOverlappedResult(OVERLAPPED* pOverlapped, DWORD* pnTransferred,
                                       bool bWait) noexcept {
    DWORD nLocal = 0;
    if (pnTransferred == nullptr) {
        pnTransferred = &nLocal;
    }
    *pnTransferred = 0;
    for (;;) {
        CManualEvent* pEvent = nullptr;
        {
            std::lock_guard lock(m_mutex);
            for (const COperation& op : m_vOperations) {
                if (op.bActive && op.pOverlapped == pOverlapped) {
                    pEvent = op.pEvent;
                }
            }
        }
        if (pEvent == nullptr) {
            *pnTransferred = static_cast<DWORD>(pOverlapped->InternalHigh);
            return static_cast<int>(pOverlapped->Internal);
        }
        if (!bWait) {
            return ERROR_IO_INCOMPLETE;
        }
        int nError = ERROR_SUCCESS;
        if (pEvent->Wait(INFINITE, &nError) == WAIT_FAILED) {
            return nError;
        }
    }
}

int CSerialDevice::CancelIo() noexcept {
    std::lock_guard lock(m_mutex);
    for (int nKind = 0; nKind < kOperationCount; ++nKind) {
        const COperation& op = m_vOperations[nKind];
        if (op.bActive && op.owner == std::this_thread::get_id()) {
            Complete(static_cast<EOperation>(nKind), ERROR_OPERATION_ABORTED, 0);
        }
    }
    return ERROR_SUCCESS;
}

int CSerialDevice::ClearError(DWORD* pdwErrors) noexcept {
    *pdwErrors = 0;
    std::lock_guard lock(m_mutex);
    if (!m_bHasCounters) {
        return ERROR_SUCCESS;
    }
    CLineCounters now;
    if (const int nErrno = ReadLineCounters(m_hFd, &now); nErrno != 0) {
        return ErrorFromErrno(nErrno);
    }
    *pdwErrors = LineErrorsBetween(m_countersForErrors, now);
    m_countersForErrors = now;
    return ERROR_SUCCESS;
}
