#pragma once

#include "ManualEvent.h"
#include "SerialDevice.h"
#include "SerialTypes.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

// Result codes of the serial classes, besides 0 and the platform's own (2 file not found,
// 5 access denied, 31 device not functioning, 87 invalid parameter, ...).
inline constexpr int ERROR_INVALID_FUNCTION = 1;       // record or finite time-out, not overlapped
inline constexpr int ERROR_INVALID_HANDLE = 6;         // the port is not open
inline constexpr int ERROR_ALREADY_INITIALIZED = 1247; // Open on an open port
inline constexpr int ERROR_TIMEOUT = 1460;             // an overlapped transfer or wait ran out
inline constexpr int E_INVALIDARG = static_cast<int>(0x80070057u); // a mode outside its values

// One serial port: open by name, line settings, watched events, event waits, reads and writes,
// each plain or overlapped. Every operation keeps its result code in m_nLastError and returns
// it; nothing throws.
//
// A port is used by two threads at most: the owner (Open, Configure, Read, Close) and the
// listener of CSerialListener (WaitForEvent, TakeEvents, the line-error query). Each uses its
// own event, and callers use the returned code, never the stored one.
class CSerialBase {
public:
    CSerialBase() = default;
    virtual ~CSerialBase();
    CSerialBase(const CSerialBase&) = delete;
    CSerialBase& operator=(const CSerialBase&) = delete;

    // szPort is "COM1".."COM4" (see PortNames.h) or a device path.
    virtual int Open(const char* szPort, DWORD dwInQueue, DWORD dwOutQueue, bool bOverlapped);
    virtual int Close();
    // nParity 0 none, 1 odd, 2 even (3 mark, 4 space); nStopBits 0 one, 2 two.
    virtual int Configure(DWORD dwBaudRate, BYTE nDataBits, BYTE nParity, BYTE nStopBits);
    virtual int SetEventCharacter(char cEvent, bool bAddToMask);
    virtual int SetWatchMask(DWORD dwMask);
    virtual int WaitForEvent(OVERLAPPED* pOverlapped, DWORD dwTimeoutMs);
    // 0 none, 1 hardware (RTS/CTS), 2 software (XON/XOFF).
    virtual int SetFlowControl(int nKind);
    // 0: a read returns at once with what has arrived; 1: it waits for the full count.
    virtual int SetReadMode(int nMode);
    virtual int GetBaudRate();
    virtual int GetDataBits();
    virtual int GetParity();
    virtual int GetStopBits();
    virtual int GetFlowControl();
    virtual DWORD GetWatchMask();
    virtual char GetEventCharacter();
    virtual int Write(const char* szText, DWORD* pnWritten, OVERLAPPED* pOverlapped,
                      DWORD dwTimeoutMs);
    virtual int Write(const void* pData, DWORD nSize, DWORD* pnWritten, OVERLAPPED* pOverlapped,
                      DWORD dwTimeoutMs);
    // *pnRead is 0 before anything can fail; on a time-out it holds what did arrive.
    virtual int Read(void* pBuffer, DWORD nSize, DWORD* pnRead, OVERLAPPED* pOverlapped,
                     DWORD dwTimeoutMs);

    // The bits of the last completed event wait that are watched, plus EV_KOVRA_DEVICE_GONE,
    // which cannot be unwatched; clears them.
    DWORD TakeEvents();
    // Whether the open port's device went away (unplugged): its reads fail for that reason,
    // and the listener's last notification says so. False while closed.
    bool IsDeviceGone();
    // The device the open port is: the name given to Open resolved (PortNames.h), a link
    // staying a link; "" while closed.
    const std::string& GetDevicePath() const { return m_strDevicePath; }
    // Bytes that Write handed to the device since this object was made, those of writes that
    // timed out included; a write left to the caller's own record is not counted.
    std::uint64_t GetBytesWritten() const { return m_nBytesWritten; }

protected:
    enum ETransfer { kTransferRead, kTransferWrite, kTransferWait };

    int Transfer(ETransfer eKind, void* pBuffer, DWORD nSize, DWORD* pnDone,
                 OVERLAPPED* pOverlapped, DWORD dwTimeoutMs);
    int Result(int nCode) {
        m_nLastError = nCode;
        return nCode;
    }
    // Reads and clears the port's line-error bits (CE_ values).
    int ClearLineErrors(DWORD* pdwErrors);
    int ReadState(DCB* pDcb);

    std::atomic<int> m_nLastError{0};
    std::unique_ptr<CSerialDevice> m_hPort;
    DWORD m_dwEvents = 0;
    std::atomic<DWORD> m_dwWatchMask{0};
    std::unique_ptr<CManualEvent> m_hIoEvent;
    std::string m_strDevicePath;
    std::atomic<std::uint64_t> m_nBytesWritten{0};
};
