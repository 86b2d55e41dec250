#include "SerialBase.h"

#include "PortNames.h"

#include <cstring>
#include <string>

CSerialBase::~CSerialBase() {
    if (m_hPort) {
        CSerialBase::Close();
    }
}

int CSerialBase::Open(const char* szPort, DWORD dwInQueue, DWORD dwOutQueue, bool bOverlapped) {
    m_nLastError = ERROR_SUCCESS;
    if (m_hPort) {
        return Result(ERROR_ALREADY_INITIALIZED);
    }
    std::string strPath;
    if (const int n = ResolvePortName(szPort, &strPath); n != ERROR_SUCCESS) {
        return Result(n);
    }
    if (const int n = CSerialDevice::Open(strPath.c_str(), &m_hPort); n != ERROR_SUCCESS) {
        return Result(n);
    }
    m_strDevicePath = std::move(strPath);
    if (bOverlapped) {
        if (const int n = CManualEvent::Create(&m_hIoEvent); n != ERROR_SUCCESS) {
            m_hPort.reset();
            m_strDevicePath.clear();
            return Result(n);
        }
    }
    if (dwInQueue != 0 || dwOutQueue != 0) {
        if (const int n = m_hPort->SetQueueSizes(dwInQueue, dwOutQueue); n != ERROR_SUCCESS) {
            Close();
            return Result(n);
        }
    }
    SetWatchMask(EV_RXCHAR | EV_BREAK | EV_ERR);
    const int nResult = SetReadMode(0);
    COMMCONFIG config;
    DWORD nSize = sizeof(config);
    if (CSerialDevice::GetDefaultConfig(szPort, &config, &nSize) == ERROR_SUCCESS) {
        m_hPort->SetConfig(config, nSize);
    }
    return Result(nResult);
}

int CSerialBase::Close() {
    m_nLastError = ERROR_SUCCESS;
    if (!m_hPort) {
        return ERROR_SUCCESS;
    }
    m_hIoEvent.reset();
    m_hPort.reset();
    m_strDevicePath.clear();
    return ERROR_SUCCESS;
}

int CSerialBase::ReadState(DCB* pDcb) {
    m_nLastError = ERROR_SUCCESS;
    if (!m_hPort) {
        return Result(ERROR_INVALID_HANDLE);
    }
    return Result(m_hPort->GetState(pDcb));
}

int CSerialBase::Configure(DWORD dwBaudRate, BYTE nDataBits, BYTE nParity, BYTE nStopBits) {
    DCB dcb;
    if (const int n = ReadState(&dcb); n != ERROR_SUCCESS) {
        return n;
    }
    dcb.DCBlength = sizeof(DCB);
    dcb.BaudRate = dwBaudRate;
    dcb.ByteSize = nDataBits;
    dcb.Parity = nParity;
    dcb.StopBits = nStopBits;
    dcb.fParity = nParity != NOPARITY;
    return Result(m_hPort->SetState(dcb));
}

int CSerialBase::SetEventCharacter(char cEvent, bool bAddToMask) {
    m_nLastError = ERROR_SUCCESS;
    if (!m_hPort) {
        return Result(ERROR_INVALID_HANDLE);
    }
    if (bAddToMask) {
        if (const int n = SetWatchMask(GetWatchMask() | EV_RXFLAG); n != ERROR_SUCCESS) {
            return n;
        }
    }
    DCB dcb;
    if (const int n = ReadState(&dcb); n != ERROR_SUCCESS) {
        return n;
    }
    dcb.EvtChar = cEvent;
    return Result(m_hPort->SetState(dcb));
}

int CSerialBase::SetWatchMask(DWORD dwMask) {
    m_nLastError = ERROR_SUCCESS;
    if (!m_hPort) {
        return Result(ERROR_INVALID_HANDLE);
    }
    if (const int n = m_hPort->SetMask(dwMask); n != ERROR_SUCCESS) {
        return Result(n);
    }
    m_dwWatchMask = dwMask;
    return ERROR_SUCCESS;
}

int CSerialBase::WaitForEvent(OVERLAPPED* pOverlapped, DWORD dwTimeoutMs) {
    return Transfer(kTransferWait, nullptr, 0, nullptr, pOverlapped, dwTimeoutMs);
}

int CSerialBase::SetFlowControl(int nKind) {
    DCB dcb;
    if (const int n = ReadState(&dcb); n != ERROR_SUCCESS) {
        return n;
    }
    switch (nKind) {
    case 0:
        dcb.fOutxCtsFlow = false;
        dcb.fOutxDsrFlow = false;
        dcb.fDtrControl = DTR_CONTROL_DISABLE;
        dcb.fRtsControl = RTS_CONTROL_DISABLE;
        dcb.fOutX = false;
        dcb.fInX = false;
        break;
    case 1:
        dcb.fOutxCtsFlow = true;
        dcb.fOutxDsrFlow = true;
        dcb.fDtrControl = DTR_CONTROL_HANDSHAKE;
        dcb.fRtsControl = RTS_CONTROL_HANDSHAKE;
        dcb.fOutX = false;
        dcb.fInX = false;
        break;
    case 2:
        dcb.fOutxCtsFlow = false;
        dcb.fOutxDsrFlow = false;
        dcb.fDtrControl = DTR_CONTROL_DISABLE;
        dcb.fRtsControl = RTS_CONTROL_DISABLE;
        dcb.fOutX = true;
        dcb.fInX = true;
        break;
    default:
        return Result(E_INVALIDARG);
    }
    return Result(m_hPort->SetState(dcb));
}

int CSerialBase::SetReadMode(int nMode) {
    m_nLastError = ERROR_SUCCESS;
    if (!m_hPort) {
        return Result(ERROR_INVALID_HANDLE);
    }
    COMMTIMEOUTS timeouts;
    if (const int n = m_hPort->GetTimeouts(&timeouts); n != ERROR_SUCCESS) {
        return Result(n);
    }
    switch (nMode) {
    case 0:
        timeouts.ReadIntervalTimeout = MAXDWORD;
        timeouts.ReadTotalTimeoutMultiplier = 0;
        timeouts.ReadTotalTimeoutConstant = 0;
        break;
    case 1:
        timeouts.ReadIntervalTimeout = 0;
        timeouts.ReadTotalTimeoutMultiplier = 0;
        timeouts.ReadTotalTimeoutConstant = 0;
        break;
    default:
        return Result(E_INVALIDARG);
    }
    return Result(m_hPort->SetTimeouts(timeouts));
}

int CSerialBase::GetBaudRate() {
    DCB dcb;
    return ReadState(&dcb) == ERROR_SUCCESS ? static_cast<int>(dcb.BaudRate) : -1;
}

int CSerialBase::GetDataBits() {
    DCB dcb;
    return ReadState(&dcb) == ERROR_SUCCESS ? dcb.ByteSize : -1;
}

int CSerialBase::GetParity() {
    DCB dcb;
    if (ReadState(&dcb) != ERROR_SUCCESS) {
        return -1;
    }
    return dcb.fParity ? dcb.Parity : NOPARITY;
}

int CSerialBase::GetStopBits() {
    DCB dcb;
    return ReadState(&dcb) == ERROR_SUCCESS ? dcb.StopBits : -1;
}

int CSerialBase::GetFlowControl() {
    DCB dcb;
    if (ReadState(&dcb) != ERROR_SUCCESS) {
        return -1;
    }
    if (dcb.fDtrControl == DTR_CONTROL_HANDSHAKE && dcb.fRtsControl == RTS_CONTROL_HANDSHAKE) {
        return 1;
    }
    return dcb.fOutX && dcb.fInX ? 2 : 0;
}

DWORD CSerialBase::GetWatchMask() {
    m_nLastError = ERROR_SUCCESS;
    if (!m_hPort) {
        Result(ERROR_INVALID_HANDLE);
        return 0;
    }
    return m_dwWatchMask;
}

char CSerialBase::GetEventCharacter() {
    DCB dcb;
    return ReadState(&dcb) == ERROR_SUCCESS ? dcb.EvtChar : '\0';
}

int CSerialBase::Write(const char* szText, DWORD* pnWritten, OVERLAPPED* pOverlapped,
                       DWORD dwTimeoutMs) {
    const DWORD nLength = szText != nullptr ? static_cast<DWORD>(std::strlen(szText)) : 0;
    return Write(static_cast<const void*>(szText), nLength, pnWritten, pOverlapped, dwTimeoutMs);
}

int CSerialBase::Write(const void* pData, DWORD nSize, DWORD* pnWritten, OVERLAPPED* pOverlapped,
                       DWORD dwTimeoutMs) {
    DWORD nLocal = 0;
    if (pnWritten == nullptr) {
        pnWritten = &nLocal;
    }
    const int nResult = Transfer(kTransferWrite, const_cast<void*>(pData), nSize, pnWritten,
                                 pOverlapped, dwTimeoutMs);
    m_nBytesWritten += *pnWritten;
    return nResult;
}

int CSerialBase::Read(void* pBuffer, DWORD nSize, DWORD* pnRead, OVERLAPPED* pOverlapped,
                      DWORD dwTimeoutMs) {
    return Transfer(kTransferRead, pBuffer, nSize, pnRead, pOverlapped, dwTimeoutMs);
}

int CSerialBase::Transfer(ETransfer eKind, void* pBuffer, DWORD nSize, DWORD* pnDone,
                          OVERLAPPED* pOverlapped, DWORD dwTimeoutMs) {
    m_nLastError = ERROR_SUCCESS;
    DWORD nLocal = 0;
    if (pnDone == nullptr) {
        pnDone = &nLocal;
    }
    *pnDone = 0;
    if (!m_hPort) {
        return Result(ERROR_INVALID_HANDLE);
    }
    if (!m_hIoEvent && (pOverlapped != nullptr || dwTimeoutMs != INFINITE)) {
        return Result(ERROR_INVALID_FUNCTION);
    }
    OVERLAPPED internal;
    internal.hEvent = m_hIoEvent.get();
    OVERLAPPED* pRecord = nullptr;
    if (m_hIoEvent) {
        pRecord = pOverlapped != nullptr ? pOverlapped : &internal;
    }

    int n = ERROR_SUCCESS;
    switch (eKind) {
    case kTransferRead:
        n = m_hPort->Read(pBuffer, nSize, pnDone, pRecord);
        break;
    case kTransferWrite:
        n = m_hPort->Write(pBuffer, nSize, pnDone, pRecord);
        break;
    case kTransferWait:
        n = m_hPort->WaitEvent(&m_dwEvents, pRecord);
        break;
    }
    if (n == ERROR_SUCCESS) {
        if (pRecord != nullptr) {
            pRecord->hEvent->Set();
        }
        return Result(ERROR_SUCCESS);
    }
    if (n != ERROR_IO_PENDING) {
        return Result(n);
    }
    if (pRecord == pOverlapped) {
        return Result(ERROR_SUCCESS);
    }

    int nError = ERROR_SUCCESS;
    const DWORD dwWait = m_hIoEvent->Wait(dwTimeoutMs, &nError);
    if (dwWait == WAIT_OBJECT_0) {
        if (eKind == kTransferWait) {
            return Result(ERROR_SUCCESS);
        }
        return Result(m_hPort->GetOverlappedResult(&internal, pnDone, false));
    }
    // The internal record lives on this stack: nothing may stay pending on it.
    m_hPort->CancelIo();
    if (dwWait == WAIT_TIMEOUT) {
        // Bytes that did arrive are reported, not lost.
        if (eKind != kTransferWait) {
            m_hPort->GetOverlappedResult(&internal, pnDone, false);
        }
        return Result(ERROR_TIMEOUT);
    }
    return Result(nError);
}

DWORD CSerialBase::TakeEvents() {
    const DWORD dwEvents = m_dwEvents & (m_dwWatchMask | EV_KOVRA_DEVICE_GONE);
    m_dwEvents = 0;
    return dwEvents;
}

bool CSerialBase::IsDeviceGone() {
    return m_hPort && m_hPort->IsGone();
}

int CSerialBase::ClearLineErrors(DWORD* pdwErrors) {
    *pdwErrors = 0;
    if (!m_hPort) {
        return Result(ERROR_INVALID_HANDLE);
    }
    const int n = m_hPort->ClearError(pdwErrors);
    if (n != ERROR_SUCCESS) {
        Result(n);
    }
    return n;
}
