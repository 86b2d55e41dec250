#pragma once

#include "BasicTypes.h"

#include <cstdint>
#include <memory>
#include <pthread.h>

// A thread that starts at once and is joined, never detached: whoever owns a CThread knows the
// routine has returned once Wait reports it, so the routine's data can then be released.
class CThread {
public:
    using Routine = DWORD (*)(void* pArg);

    // Starts pfnRoutine(pArg) with the default stack size; a result code.
    static int Start(Routine pfnRoutine, void* pArg, std::unique_ptr<CThread>* ppThread) noexcept;
    // Joins the thread if nobody did.
    ~CThread();
    CThread(const CThread&) = delete;
    CThread& operator=(const CThread&) = delete;

    // WAIT_OBJECT_0 once the routine has returned, WAIT_TIMEOUT, or WAIT_FAILED (the thread
    // waiting for itself).
    DWORD Wait(DWORD dwTimeoutMs) noexcept;
    DWORD GetExitCode() const noexcept { return m_dwExitCode; }
    // CPU time the thread has used so far, in nanoseconds; a result code.
    int GetCpuTimeNs(std::uint64_t* pnNs) const noexcept;

private:
    CThread(Routine pfnRoutine, void* pArg) noexcept : m_pfnRoutine(pfnRoutine), m_pArg(pArg) {}
    static void* Trampoline(void* pThis) noexcept;

    Routine m_pfnRoutine;
    void* m_pArg;
    pthread_t m_hThread{};
    bool m_bJoined = false;
    DWORD m_dwExitCode = 0;
};
