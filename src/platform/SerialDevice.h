#pragma once

#include "InputBuffer.h"
#include "LineCounters.h"
#include "ManualEvent.h"
#include "SerialTypes.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

class CDeadline;

// How port events and overlapped transfers work here.
//
// The serial classes start an operation with a record and then wait on the record's event.
// Nothing on Linux completes such an operation behind the program's back, so completion is
// lazy: an operation that cannot finish at once is recorded in the device (record, event,
// buffer or the place for the event bits), and whoever then waits on that event
// (CManualEvent::Wait -> Drive) does the work that completes it. For an event wait that work is
// one epoll_wait on
//  - the port, edge-triggered: only characters that arrive after the last completion wake it,
//    never bytes that merely sit unread (a tty raises an edge for every arrival; an edge
//    without growth of the input queue, as a termios change gives, is ignored);
//  - the device's wake eventfd, written by SetMask. It is level-triggered and drained only by a
//    completion, so a mask set while no wait is pending completes the next wait at once: a stop
//    request made between two waits is never lost.
// A completion reports EV_RXCHAR for new characters, EV_BREAK and EV_ERR for changed TIOCGICOUNT
// counters where the driver keeps them, nothing for a wake alone, and EV_KOVRA_DEVICE_GONE for a
// hang-up (EPOLLHUP/EPOLLERR, or EOF/EIO on a read). Gone is final: every later wait completes
// with it at once. Transfers are driven with poll() under the port's time-outs. There is no
// extra thread and no timer; every wait sleeps in the kernel.
//
// The completion that finds new characters also takes them off the port, into a buffer of
// the device (up to kDrainLimit bytes), and reads serve that buffer before the port. A UART
// without flow control holds a few KB, a third of a second at 115200 bps: the thread that waits
// for events (the listener) then keeps it empty however long the reading thread is busy, and
// the reader finds the bytes in order, as if they had waited in the port. What the events say
// does not change: EV_RXCHAR for characters that arrived, nothing for bytes that wait unread,
// in the buffer or in the port, and a hang-up after the bytes that came before it (which the
// buffer keeps, though a hung-up tty discards its own). While a read waits on the port for
// more bytes (read mode 1, time-outs), the draining pauses and the read takes the port's bytes
// itself. When the buffer is full the rest waits in the port, as it did without one.
//
// One operation of each kind (read, write, event wait) may be pending at a time, and one thread
// waits on its event. Operations started without a record block until they are complete.
class CSerialDevice final : public CEventDriver {
public:
    // Bytes taken off the port ahead of the reader at most: six minutes at 115200 bps, ten
    // seconds at 4 Mbps.
    static constexpr std::size_t kDrainLimit = 4 * 1024 * 1024;

    // Opens a tty for reading and writing, exclusively (TIOCEXCL and an advisory flock), in raw
    // mode, with its input flushed; a result code (2 missing, 5 in use or not permitted, 31 not
    // a terminal or otherwise unusable).
    static int Open(const char* szPath, std::unique_ptr<CSerialDevice>* ppDevice) noexcept;
    ~CSerialDevice();
    CSerialDevice(const CSerialDevice&) = delete;
    CSerialDevice& operator=(const CSerialDevice&) = delete;

    int GetState(DCB* pDcb) noexcept;
    // Any speed from 1 bps (termios2); 87 for 1.5 stop bits, a speed of 0, and a speed the
    // driver does not take (more than 3 % off when read back: the old settings stay, and
    // LastSystemErrno() gives ERANGE).
    int SetState(const DCB& dcb) noexcept;
    int GetTimeouts(COMMTIMEOUTS* pTimeouts) noexcept;
    int SetTimeouts(const COMMTIMEOUTS& timeouts) noexcept;
    // A tty's buffers have a fixed size; the request is accepted and changes nothing.
    int SetQueueSizes(DWORD dwInput, DWORD dwOutput) noexcept;

    // Sets the watched events and completes a pending event wait (see above).
    int SetMask(DWORD dwMask) noexcept;
    DWORD GetMask() const noexcept { return m_dwMask.load(); }

    // 0 when complete (the record's event is then set), ERROR_IO_PENDING when recorded for
    // lazy completion, or a result code. Without a record they block until complete.
    int WaitEvent(DWORD* pdwEvents, OVERLAPPED* pOverlapped) noexcept;
    int Read(void* pBuffer, DWORD nCount, DWORD* pnRead, OVERLAPPED* pOverlapped) noexcept;
    int Write(const void* pData, DWORD nCount, DWORD* pnWritten, OVERLAPPED* pOverlapped) noexcept;
    // The outcome of an operation started with pOverlapped; ERROR_IO_INCOMPLETE while it is
    // pending and bWait is false.
    int GetOverlappedResult(OVERLAPPED* pOverlapped, DWORD* pnTransferred, bool bWait) noexcept;
    // Ends the pending operations the calling thread started; each completes with 995 and
    // keeps the bytes it had transferred.
    int CancelIo() noexcept;
    // Reads and clears the line errors since the last call (CE_ bits; 0 without counters).
    int ClearError(DWORD* pdwErrors) noexcept;

    // The settings every port is given when opened: 9600 bps, 8 data bits, no parity, one stop
    // bit, no flow control.
    static int GetDefaultConfig(const char* szName, COMMCONFIG* pConfig, DWORD* pnSize) noexcept;
    int SetConfig(const COMMCONFIG& config, DWORD nSize) noexcept;

    int GetFd() const noexcept { return m_hFd; }
    // Whether the device went away (see above): every later wait and read says so.
    bool IsGone() noexcept;

    DWORD Drive(CManualEvent& event, DWORD dwTimeoutMs, int* pnError) noexcept override;
    void Forget(CManualEvent& event) noexcept override;

private:
    // Events taken from one epoll_wait.
    static constexpr int kMaxEpollEvents = 4;

    enum EOperation { kRead, kWrite, kWait, kOperationCount };

    struct COperation {
        bool bActive = false;
        std::uint32_t nSerial = 0;
        OVERLAPPED* pOverlapped = nullptr;
        CManualEvent* pEvent = nullptr;
        std::thread::id owner;
        unsigned char* pData = nullptr;
        DWORD nCount = 0;
        DWORD nDone = 0;
        bool bReturnAtOnce = false;
        bool bFirstByte = false;
        std::int64_t nTotalEndNs = -1;
        std::int64_t nIntervalNs = -1;
        std::int64_t nLastByteNs = 0;
        DWORD* pdwEvents = nullptr;
    };

    enum EAdvance { kFinished, kTimedOut, kFailed, kStale };

    CSerialDevice(int hFd, int hWake, int hEpoll) noexcept
        : m_hFd(hFd), m_hWake(hWake), m_hEpoll(hEpoll) {}

    int StartTransfer(EOperation eKind, unsigned char* pData, DWORD nCount, DWORD* pnDone,
                      OVERLAPPED* pOverlapped) noexcept;
    void SetupTransfer(EOperation eKind, COperation& op) const noexcept;
    int Pump(EOperation eKind, COperation& op) noexcept;
    static bool Finished(EOperation eKind, const COperation& op, std::int64_t nNowNs) noexcept;
    static std::int64_t NextDeadline(const COperation& op) noexcept;
    DWORD CollectEvents(const void* pEvents, int nEvents, bool* pbWoke) noexcept;
    // Takes what arrived off the port into m_input; true when new characters came.
    bool TakeArrivals() noexcept;
    bool HasNewInput() noexcept;
    EAdvance Advance(EOperation eKind, COperation& op, bool bRecorded, const CDeadline& wait,
                     std::unique_lock<std::mutex>& lock, int* pnStatus, DWORD* pdwEvents,
                     int* pnError) noexcept;
    void Record(EOperation eKind, COperation& op, OVERLAPPED* pOverlapped) noexcept;
    void Complete(EOperation eKind, int nStatus, DWORD dwEvents) noexcept;

    const int m_hFd;
    const int m_hWake;
    const int m_hEpoll;
    std::atomic<DWORD> m_dwMask{0};

    std::mutex m_mutex;
    COperation m_vOperations[kOperationCount];
    std::uint32_t m_nSerial = 0;
    COMMTIMEOUTS m_timeouts;
    char m_cEventChar = 0;
    bool m_bParityCheck = false;
    bool m_bGone = false;
    int m_nKnownInput = 0; // bytes queued in the port at the last look, less those read since
    CInputBuffer m_input{kDrainLimit};
    int m_nReadersWaiting = 0; // reads polling the port, which take its bytes themselves
    bool m_bHasCounters = false;
    CLineCounters m_countersForEvents;
    CLineCounters m_countersForErrors;
};
