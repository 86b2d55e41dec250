#pragma once

#include "BasicTypes.h"

class CManualEvent;

// Port event bits, as reported by an event wait and chosen by the watch mask.
inline constexpr DWORD EV_RXCHAR = 0x0001; // a character was received
inline constexpr DWORD EV_RXFLAG = 0x0002; // the event character was received
inline constexpr DWORD EV_BREAK = 0x0040;  // a break was detected
inline constexpr DWORD EV_ERR = 0x0080;    // a framing, overrun or parity error

// Private bit, never part of a watch mask: the device went away (unplugged, the other end of a
// pseudo-terminal closed). An event wait on such a port completes with it at once, every time.
inline constexpr DWORD EV_KOVRA_DEVICE_GONE = 0x8000;

// Line-error bits, as read and cleared by the line-error query.
inline constexpr DWORD CE_RXOVER = 0x0001;   // the input buffer overflowed
inline constexpr DWORD CE_OVERRUN = 0x0002;  // the hardware lost a character
inline constexpr DWORD CE_RXPARITY = 0x0004; // parity error
inline constexpr DWORD CE_FRAME = 0x0008;    // framing error
inline constexpr DWORD CE_BREAK = 0x0010;    // break

inline constexpr BYTE NOPARITY = 0;
inline constexpr BYTE ODDPARITY = 1;
inline constexpr BYTE EVENPARITY = 2;
inline constexpr BYTE MARKPARITY = 3;
inline constexpr BYTE SPACEPARITY = 4;

inline constexpr BYTE ONESTOPBIT = 0;
inline constexpr BYTE ONE5STOPBITS = 1;
inline constexpr BYTE TWOSTOPBITS = 2;

inline constexpr BYTE DTR_CONTROL_DISABLE = 0;
inline constexpr BYTE DTR_CONTROL_ENABLE = 1;
inline constexpr BYTE DTR_CONTROL_HANDSHAKE = 2;
inline constexpr BYTE RTS_CONTROL_DISABLE = 0;
inline constexpr BYTE RTS_CONTROL_ENABLE = 1;
inline constexpr BYTE RTS_CONTROL_HANDSHAKE = 2;

inline constexpr DWORD MAXDWORD = 0xFFFFFFFF;

// The record of one overlapped transfer or event wait. A caller zeroes it and sets hEvent; the
// device keeps the outcome in Internal (a result code) and InternalHigh (bytes transferred).
struct OVERLAPPED {
    std::uintptr_t Internal = 0;
    std::uintptr_t InternalHigh = 0;
    CManualEvent* hEvent = nullptr;
};

// Line settings. A termios has no DSR/DTR flow control: CRTSCTS stands for the whole hardware
// handshake, and reads back as CTS and DSR output flow with DTR and RTS in handshake mode.
struct DCB {
    DWORD DCBlength = sizeof(DCB);
    DWORD BaudRate = 0;
    bool fParity = false;
    bool fOutxCtsFlow = false;
    bool fOutxDsrFlow = false;
    BYTE fDtrControl = DTR_CONTROL_DISABLE;
    BYTE fRtsControl = RTS_CONTROL_DISABLE;
    bool fOutX = false;
    bool fInX = false;
    BYTE ByteSize = 8;
    BYTE Parity = NOPARITY;
    BYTE StopBits = ONESTOPBIT;
    char EvtChar = 0;
};

// Read and write time-outs in milliseconds, with the usual rules: an interval of MAXDWORD and
// zero totals returns at once with what has arrived; all zero waits for the whole count.
struct COMMTIMEOUTS {
    DWORD ReadIntervalTimeout = 0;
    DWORD ReadTotalTimeoutMultiplier = 0;
    DWORD ReadTotalTimeoutConstant = 0;
    DWORD WriteTotalTimeoutMultiplier = 0;
    DWORD WriteTotalTimeoutConstant = 0;
};

struct COMMCONFIG {
    DWORD dwSize = sizeof(COMMCONFIG);
    WORD wVersion = 1;
    DCB dcb;
};
