#include "SerialListener.h"

CSerialListener::~CSerialListener() {
    if (m_hListenerThread) {
        CSerialListener::Close();
    }
}

int CSerialListener::Open(const char* szPort, DWORD dwInQueue, DWORD dwOutQueue,
                          bool bStartListening) {
    if (const int n = CSerialBase::Open(szPort, dwInQueue, dwOutQueue, true); n != ERROR_SUCCESS) {
        return n;
    }
    if (const int n = CManualEvent::Create(&m_hListenerEvent); n != ERROR_SUCCESS) {
        CSerialBase::Close();
        return Result(n);
    }
    if (bStartListening) {
        if (const int n = StartListening(); n != ERROR_SUCCESS) {
            return n;
        }
    }
    return ERROR_SUCCESS;
}

int CSerialListener::Close() {
    StopListening(INFINITE);
    m_hListenerEvent.reset();
    return CSerialBase::Close();
}

int CSerialListener::StartListening() {
    m_nLastError = ERROR_SUCCESS;
    if (!m_hPort || !m_hListenerEvent) {
        return Result(ERROR_INVALID_HANDLE);
    }
    if (!m_hListenerThread) {
        if (const int n = CThread::Start(&CSerialListener::ThreadRoutine, this, &m_hListenerThread);
            n != ERROR_SUCCESS) {
            return Result(n);
        }
    }
    return Result(ERROR_SUCCESS);
}

int CSerialListener::StopListening(DWORD dwTimeoutMs) {
    m_nLastError = ERROR_SUCCESS;
    if (!m_hListenerThread) {
        return ERROR_SUCCESS;
    }
    // The flag goes first: the wait that the mask change completes finds it set. The change
    // completes a wait started after it too (SerialDevice.h), so no stop request is lost.
    m_bStopListening = true;
    SetWatchMask(GetWatchMask());
    if (m_hListenerThread->Wait(dwTimeoutMs) != WAIT_OBJECT_0) {
        // Releasing what the thread still uses would be fatal: keep it recorded.
        return Result(ERROR_TIMEOUT);
    }
    m_bStopListening = false;
    m_hListenerThread.reset();
    return Result(ERROR_SUCCESS);
}

DWORD CSerialListener::ThreadRoutine(void* pThis) {
    return static_cast<CSerialListener*>(pThis)->ListenLoop();
}

DWORD CSerialListener::ListenLoop() {
    m_hListenerEvent->Reset();
    OVERLAPPED record;
    record.hEvent = m_hListenerEvent.get();
    if (const int n = WaitForEvent(&record, INFINITE); n != ERROR_SUCCESS) {
        return static_cast<DWORD>(n);
    }
    for (;;) {
        int nError = ERROR_SUCCESS;
        if (m_hListenerEvent->Wait(INFINITE, &nError) != WAIT_OBJECT_0) {
            m_hPort->CancelIo();
            return static_cast<DWORD>(Result(nError));
        }
        if (m_bStopListening) {
            return ERROR_SUCCESS;
        }
        // Line errors go out with the events that announce them: a wake with nothing to report
        // (a mask change) leaves them counted for the next notification.
        const DWORD dwEvents = TakeEvents();
        if (dwEvents != 0) {
            DWORD dwErrors = 0;
            ClearLineErrors(&dwErrors);
            OnSerialEvent(dwEvents, dwErrors);
        }
        if ((dwEvents & EV_KOVRA_DEVICE_GONE) != 0) {
            // Every further wait would complete at once with the same news.
            return ERROR_GEN_FAILURE;
        }
        if (m_bStopListening) {
            return ERROR_SUCCESS;
        }
        m_hListenerEvent->Reset();
        record = OVERLAPPED{};
        record.hEvent = m_hListenerEvent.get();
        if (const int n = WaitForEvent(&record, INFINITE); n != ERROR_SUCCESS) {
            return static_cast<DWORD>(n);
        }
    }
}
