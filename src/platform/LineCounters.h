#pragma once

#include "BasicTypes.h"

#include <cstdint>

// The line-status counters a serial driver keeps (TIOCGICOUNT). Breaks and line errors are
// seen as changes of these counters; a pseudo-terminal has none.
struct CLineCounters {
    std::uint32_t nBreak = 0;
    std::uint32_t nFrame = 0;
    std::uint32_t nOverrun = 0;
    std::uint32_t nParity = 0;
    std::uint32_t nBufferOverrun = 0;
};

// Reads the counters of an open port; 0 or an errno (ENOTTY/EINVAL: the driver keeps none).
using LineCounterReader = int (*)(int hFd, CLineCounters* pCounters);

// The reader every port uses from now on; nullptr restores the driver's TIOCGICOUNT. Lets a
// program without such hardware exercise the break and line-error paths.
void SetLineCounterReader(LineCounterReader pfnReader) noexcept;
int ReadLineCounters(int hFd, CLineCounters* pCounters) noexcept;

// EV_BREAK and EV_ERR for what changed between two readings.
DWORD LineEventsBetween(const CLineCounters& before, const CLineCounters& after) noexcept;
// CE_BREAK, CE_FRAME, CE_OVERRUN, CE_RXPARITY and CE_RXOVER for what changed.
DWORD LineErrorsBetween(const CLineCounters& before, const CLineCounters& after) noexcept;
