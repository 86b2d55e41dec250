#include "LineCounters.h"

#include "SerialTypes.h"

#include <atomic>
#include <cerrno>
#include <linux/serial.h>
#include <sys/ioctl.h>

namespace {

int ReadDriverCounters(int hFd, CLineCounters* pCounters) {
    serial_icounter_struct counts{};
    if (ioctl(hFd, TIOCGICOUNT, &counts) != 0) {
        return errno;
    }
    pCounters->nBreak = static_cast<std::uint32_t>(counts.brk);
    pCounters->nFrame = static_cast<std::uint32_t>(counts.frame);
    pCounters->nOverrun = static_cast<std::uint32_t>(counts.overrun);
    pCounters->nParity = static_cast<std::uint32_t>(counts.parity);
    pCounters->nBufferOverrun = static_cast<std::uint32_t>(counts.buf_overrun);
    return 0;
}

std::atomic<LineCounterReader> g_pfnLineCounterReader{&ReadDriverCounters};

} // namespace

void SetLineCounterReader(LineCounterReader pfnReader) noexcept {
    g_pfnLineCounterReader.store(pfnReader != nullptr ? pfnReader : &ReadDriverCounters);
}

int ReadLineCounters(int hFd, CLineCounters* pCounters) noexcept {
    return g_pfnLineCounterReader.load()(hFd, pCounters);
}

DWORD LineEventsBetween(const CLineCounters& before, const CLineCounters& after) noexcept {
    DWORD dwEvents = 0;
    if (after.nBreak != before.nBreak) {
        dwEvents |= EV_BREAK;
    }
    if (after.nFrame != before.nFrame || after.nOverrun != before.nOverrun ||
        after.nParity != before.nParity) {
        dwEvents |= EV_ERR;
    }
    return dwEvents;
}

DWORD LineErrorsBetween(const CLineCounters& before, const CLineCounters& after) noexcept {
    DWORD dwErrors = 0;
    if (after.nBufferOverrun != before.nBufferOverrun) {
        dwErrors |= CE_RXOVER;
    }
    if (after.nOverrun != before.nOverrun) {
        dwErrors |= CE_OVERRUN;
    }
    if (after.nParity != before.nParity) {
        dwErrors |= CE_RXPARITY;
    }
    if (after.nFrame != before.nFrame) {
        dwErrors |= CE_FRAME;
    }
    if (after.nBreak != before.nBreak) {
        dwErrors |= CE_BREAK;
    }
    return dwErrors;
}
