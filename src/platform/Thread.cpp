#include "Thread.h"

#include "PlatformError.h"

#include <cerrno>
#include <ctime>
#include <new>

int CThread::Start(Routine pfnRoutine, void* pArg, std::unique_ptr<CThread>* ppThread) noexcept {
    ppThread->reset();
    auto* pThread = new (std::nothrow) CThread(pfnRoutine, pArg);
    if (pThread == nullptr) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    const int nErr = pthread_create(&pThread->m_hThread, nullptr, &CThread::Trampoline, pThread);
    if (nErr != 0) {
        delete pThread;
        return ErrorFromErrno(nErr);
    }
    ppThread->reset(pThread);
    return ERROR_SUCCESS;
}

CThread::~CThread() {
    if (Wait(INFINITE) == WAIT_FAILED && !m_bJoined) {
        pthread_detach(m_hThread);
    }
}

void* CThread::Trampoline(void* pThis) noexcept {
    auto* pThread = static_cast<CThread*>(pThis);
    pThread->m_dwExitCode = pThread->m_pfnRoutine(pThread->m_pArg);
    return nullptr;
}

DWORD CThread::Wait(DWORD dwTimeoutMs) noexcept {
    if (m_bJoined) {
        return WAIT_OBJECT_0;
    }
    if (pthread_equal(m_hThread, pthread_self())) {
        return WAIT_FAILED;
    }
    int nErr = 0;
    if (dwTimeoutMs == INFINITE) {
        nErr = pthread_join(m_hThread, nullptr);
    } else {
        timespec until{};
        clock_gettime(CLOCK_REALTIME, &until);
        until.tv_sec += static_cast<time_t>(dwTimeoutMs / 1000);
        until.tv_nsec += static_cast<long>(dwTimeoutMs % 1000) * 1000000L;
        if (until.tv_nsec >= 1000000000L) {
            until.tv_sec += 1;
            until.tv_nsec -= 1000000000L;
        }
        nErr = pthread_timedjoin_np(m_hThread, nullptr, &until);
    }
    if (nErr == ETIMEDOUT || nErr == EBUSY) {
        return WAIT_TIMEOUT;
    }
    if (nErr != 0) {
        return WAIT_FAILED;
    }
    m_bJoined = true;
    return WAIT_OBJECT_0;
}

int CThread::GetCpuTimeNs(std::uint64_t* pnNs) const noexcept {
    *pnNs = 0;
    if (m_bJoined) {
        return ERROR_INVALID_PARAMETER;
    }
    clockid_t clock{};
    const int nErr = pthread_getcpuclockid(m_hThread, &clock);
    if (nErr != 0) {
        return ErrorFromErrno(nErr);
    }
    timespec ts{};
    if (clock_gettime(clock, &ts) != 0) {
        return LastError();
    }
    *pnNs = static_cast<std::uint64_t>(ts.tv_sec) * 1000000000ULL +
            static_cast<std::uint64_t>(ts.tv_nsec);
    return ERROR_SUCCESS;
}
