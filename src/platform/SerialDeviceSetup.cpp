// Opening a port and its settings: line, time-outs, watched events.
#include "SerialDevice.h"

#include "LineSettings.h"
#include "PlatformError.h"

#include <cerrno>
#include <fcntl.h>
#include <new>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {

// A real port's close waits, up to 30 s, for output the line has not taken yet (a board that
// reads nothing, a slow line). Disconnect and exit give it 100 ms and drop the rest, which the
// send already reported as not sent.
void DropUnsentOutput(int hFd) {
    for (int nWait = 0; nWait < 20; ++nWait) {
        int nQueued = 0;
        if (ioctl(hFd, TIOCOUTQ, &nQueued) != 0 || nQueued == 0) {
            return;
        }
        usleep(5000);
    }
    tcflush(hFd, TCOFLUSH);
}

// Closes a descriptor unless released to its new owner.
class CFdGuard {
public:
    explicit CFdGuard(int hFd) : m_hFd(hFd) {}
    ~CFdGuard() {
        if (m_hFd >= 0) {
            close(m_hFd);
        }
    }
    CFdGuard(const CFdGuard&) = delete;
    CFdGuard& operator=(const CFdGuard&) = delete;
    int Get() const { return m_hFd; }
    int Release() {
        const int hFd = m_hFd;
        m_hFd = -1;
        return hFd;
    }

private:
    int m_hFd;
};

// Raw mode (LineSettings.h), through the same writer as every later setting.
int MakeRaw(int hFd) {
    CTtyState state;
    if (const int nErrno = ReadTtyState(hFd, &state); nErrno != 0) {
        return ErrorFromErrno(nErrno);
    }
    MakeRawState(&state);
    if (const int nErrno = WriteTtyState(hFd, state); nErrno != 0) {
        return ErrorFromErrno(nErrno);
    }
    return ERROR_SUCCESS;
}

// A UART samples each bit in its middle, so a speed a little off still talks; a driver that
// could not come near the speed asked for falls back to another one, which shows here.
bool NearEnough(DWORD dwGot, DWORD dwWanted) {
    const std::int64_t nOff = static_cast<std::int64_t>(dwGot) - dwWanted;
    return (nOff < 0 ? -nOff : nOff) * 100 <= static_cast<std::int64_t>(dwWanted) * 3;
}

} // namespace

int CSerialDevice::Open(const char* szPath, std::unique_ptr<CSerialDevice>* ppDevice) noexcept {
    ppDevice->reset();
    if (szPath == nullptr || *szPath == '\0') {
        return ErrorFromErrno(ENOENT);
    }
    CFdGuard fd(open(szPath, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (fd.Get() < 0) {
        return LastError();
    }
    if (!isatty(fd.Get())) {
        return LastError();
    }
    // TIOCEXCL keeps out other openers except privileged ones; the lock keeps out every
    // program that locks too, root included.
    if (flock(fd.Get(), LOCK_EX | LOCK_NB) != 0) {
        return ErrorFromErrno(errno == EWOULDBLOCK ? EBUSY : errno);
    }
    if (ioctl(fd.Get(), TIOCEXCL) != 0) {
        return LastError();
    }
    if (const int nResult = MakeRaw(fd.Get()); nResult != ERROR_SUCCESS) {
        return nResult;
    }
    // A port starts empty, as a line does that nobody listened to.
    tcflush(fd.Get(), TCIFLUSH);

    CFdGuard wake(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC));
    if (wake.Get() < 0) {
        return LastError();
    }
    CFdGuard epoll(epoll_create1(EPOLL_CLOEXEC));
    if (epoll.Get() < 0) {
        return LastError();
    }
    epoll_event port{};
    port.events = EPOLLIN | EPOLLET;
    port.data.fd = fd.Get();
    epoll_event woken{};
    woken.events = EPOLLIN;
    woken.data.fd = wake.Get();
    if (epoll_ctl(epoll.Get(), EPOLL_CTL_ADD, fd.Get(), &port) != 0 ||
        epoll_ctl(epoll.Get(), EPOLL_CTL_ADD, wake.Get(), &woken) != 0) {
        return LastError();
    }

    auto* pDevice = new (std::nothrow) CSerialDevice(fd.Get(), wake.Get(), epoll.Get());
    if (pDevice == nullptr) {
        SetLastSystemErrno(ENOMEM);
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    fd.Release();
    wake.Release();
    epoll.Release();
    CLineCounters counters;
    pDevice->m_bHasCounters = ReadLineCounters(pDevice->m_hFd, &counters) == 0;
    pDevice->m_countersForEvents = counters;
    pDevice->m_countersForErrors = counters;
    ppDevice->reset(pDevice);
    return ERROR_SUCCESS;
}

CSerialDevice::~CSerialDevice() {
    {
        std::lock_guard lock(m_mutex);
        for (COperation& op : m_vOperations) {
            if (op.bActive && op.pEvent != nullptr) {
                op.pEvent->DetachDriver(this);
            }
            op.bActive = false;
        }
    }
    ioctl(m_hFd, TIOCNXCL);
    close(m_hEpoll);
    close(m_hWake);
    DropUnsentOutput(m_hFd);
    close(m_hFd);
}

int CSerialDevice::GetState(DCB* pDcb) noexcept {
    CTtyState state;
    if (const int nErrno = ReadTtyState(m_hFd, &state); nErrno != 0) {
        return ErrorFromErrno(nErrno);
    }
    std::lock_guard lock(m_mutex);
    pDcb->EvtChar = m_cEventChar;
    pDcb->fParity = m_bParityCheck;
    LineSettingsFromState(state, pDcb);
    return ERROR_SUCCESS;
}

int CSerialDevice::SetState(const DCB& dcb) noexcept {
    if (const int n = CheckLineSettings(dcb); n != ERROR_SUCCESS) {
        SetLastSystemErrno(EINVAL);
        return n;
    }
    CTtyState before;
    if (const int nErrno = ReadTtyState(m_hFd, &before); nErrno != 0) {
        return ErrorFromErrno(nErrno);
    }
    CTtyState wanted = before;
    LineSettingsToState(dcb, &wanted);
    if (const int nErrno = WriteTtyState(m_hFd, wanted); nErrno != 0) {
        return ErrorFromErrno(nErrno);
    }
    // A driver takes a speed it cannot do without a word; only reading it back tells.
    CTtyState taken;
    if (const int nErrno = ReadTtyState(m_hFd, &taken); nErrno != 0) {
        return ErrorFromErrno(nErrno);
    }
    if (!NearEnough(taken.dwOutSpeed, dcb.BaudRate)) {
        WriteTtyState(m_hFd, before);
        SetLastSystemErrno(ERANGE);
        return ERROR_INVALID_PARAMETER;
    }
    std::lock_guard lock(m_mutex);
    m_cEventChar = dcb.EvtChar;
    m_bParityCheck = dcb.fParity;
    return ERROR_SUCCESS;
}

bool CSerialDevice::IsGone() noexcept {
    std::lock_guard lock(m_mutex);
    return m_bGone;
}

int CSerialDevice::GetTimeouts(COMMTIMEOUTS* pTimeouts) noexcept {
    std::lock_guard lock(m_mutex);
    *pTimeouts = m_timeouts;
    return ERROR_SUCCESS;
}

int CSerialDevice::SetTimeouts(const COMMTIMEOUTS& timeouts) noexcept {
    std::lock_guard lock(m_mutex);
    m_timeouts = timeouts;
    return ERROR_SUCCESS;
}

int CSerialDevice::SetQueueSizes(DWORD, DWORD) noexcept {
    return ERROR_SUCCESS;
}

int CSerialDevice::SetMask(DWORD dwMask) noexcept {
    m_dwMask.store(dwMask);
    const std::uint64_t nOne = 1;
    if (write(m_hWake, &nOne, sizeof nOne) != static_cast<ssize_t>(sizeof nOne)) {
        return LastError();
    }
    return ERROR_SUCCESS;
}

int CSerialDevice::GetDefaultConfig(const char*, COMMCONFIG* pConfig, DWORD* pnSize) noexcept {
    if (pConfig == nullptr || pnSize == nullptr || *pnSize < sizeof(COMMCONFIG)) {
        if (pnSize != nullptr) {
            *pnSize = sizeof(COMMCONFIG);
        }
        return ERROR_INSUFFICIENT_BUFFER;
    }
    COMMCONFIG config;
    config.dcb.BaudRate = 9600;
    config.dcb.ByteSize = 8;
    config.dcb.Parity = NOPARITY;
    config.dcb.StopBits = ONESTOPBIT;
    config.dcb.fDtrControl = DTR_CONTROL_ENABLE;
    config.dcb.fRtsControl = RTS_CONTROL_ENABLE;
    *pConfig = config;
    *pnSize = sizeof(COMMCONFIG);
    return ERROR_SUCCESS;
}

int CSerialDevice::SetConfig(const COMMCONFIG& config, DWORD nSize) noexcept {
    if (nSize < sizeof(COMMCONFIG)) {
        return ERROR_INVALID_PARAMETER;
    }
    return SetState(config.dcb);
}
