#include "TtyState.h"

// The kernel's termios2, not the C library's termios (see the header).
#include <asm/termbits.h>
#include <sys/ioctl.h>

#include <atomic>
#include <cerrno>
#include <cstring>

namespace {

static_assert(sizeof(CTtyState::vCc) == NCCS);

struct CSpeedCode {
    DWORD dwBaud;
    std::uint32_t nCode;
};

constexpr CSpeedCode kSpeedCodes[] = {
    {0, B0},
    {50, B50},
    {75, B75},
    {110, B110},
    {134, B134},
    {150, B150},
    {200, B200},
    {300, B300},
    {600, B600},
    {1200, B1200},
    {1800, B1800},
    {2400, B2400},
    {4800, B4800},
    {9600, B9600},
    {19200, B19200},
    {38400, B38400},
    {57600, B57600},
    {115200, B115200},
    {230400, B230400},
    {460800, B460800},
    {500000, B500000},
    {576000, B576000},
    {921600, B921600},
    {1000000, B1000000},
    {1152000, B1152000},
    {1500000, B1500000},
    {2000000, B2000000},
    {2500000, B2500000},
    {3000000, B3000000},
    {3500000, B3500000},
    {4000000, B4000000},
};

std::uint32_t SpeedCode(DWORD dwBaud) {
    for (const CSpeedCode& s : kSpeedCodes) {
        if (s.dwBaud == dwBaud) {
            return s.nCode;
        }
    }
    return BOTHER;
}

constexpr std::uint32_t kSpeedBits = CBAUD | (CBAUD << IBSHIFT);

std::atomic<TtyStateWriter> g_pfnWriter{&WriteTtyStateToDriver};

} // namespace

int ReadTtyState(int hFd, CTtyState* pState) noexcept {
    termios2 tio{};
    if (ioctl(hFd, TCGETS2, &tio) != 0) {
        return errno;
    }
    // The kernel fills both speed fields whichever way the speed was set.
    pState->nIflag = tio.c_iflag;
    pState->nOflag = tio.c_oflag;
    pState->nCflag = tio.c_cflag & ~kSpeedBits;
    pState->nLflag = tio.c_lflag;
    pState->nLine = tio.c_line;
    std::memcpy(pState->vCc, tio.c_cc, sizeof pState->vCc);
    pState->dwOutSpeed = tio.c_ospeed;
    pState->dwInSpeed = tio.c_ispeed == tio.c_ospeed ? 0 : tio.c_ispeed;
    return 0;
}

int WriteTtyStateToDriver(int hFd, const CTtyState& state) noexcept {
    termios2 tio{};
    tio.c_iflag = state.nIflag;
    tio.c_oflag = state.nOflag;
    tio.c_cflag = (state.nCflag & ~kSpeedBits) | SpeedCode(state.dwOutSpeed);
    if (state.dwInSpeed != 0 && state.dwInSpeed != state.dwOutSpeed) {
        tio.c_cflag |= SpeedCode(state.dwInSpeed) << IBSHIFT;
    }
    tio.c_lflag = state.nLflag;
    tio.c_line = state.nLine;
    std::memcpy(tio.c_cc, state.vCc, sizeof state.vCc);
    tio.c_ospeed = state.dwOutSpeed;
    tio.c_ispeed = state.dwInSpeed != 0 ? state.dwInSpeed : state.dwOutSpeed;
    if (ioctl(hFd, TCSETS2, &tio) != 0) {
        return errno;
    }
    return 0;
}

int WriteTtyState(int hFd, const CTtyState& state) noexcept {
    return g_pfnWriter.load()(hFd, state);
}

void SetTtyStateWriter(TtyStateWriter pfnWriter) noexcept {
    g_pfnWriter.store(pfnWriter != nullptr ? pfnWriter : &WriteTtyStateToDriver);
}
