#pragma once

#include "BasicTypes.h"

#include <cstdint>

// A tty's settings as the kernel keeps them, with each speed as a number of bits per second,
// so that any speed can be set, not only those that have a B constant (termios2 with BOTHER).
// The flag fields hold the bits of <termios.h>; this header includes none of it, because the
// kernel's termios2 and the C library's termios cannot both be declared in one file.
struct CTtyState {
    std::uint32_t nIflag = 0;
    std::uint32_t nOflag = 0;
    std::uint32_t nCflag = 0; // without the speed bits (CBAUD, CIBAUD)
    std::uint32_t nLflag = 0;
    std::uint8_t nLine = 0;
    std::uint8_t vCc[19] = {};
    DWORD dwInSpeed = 0; // 0: the same as the output speed
    DWORD dwOutSpeed = 0;
};

// Each gives 0 or an errno. A speed with a B constant is written as that constant, so that
// programs that only know those read it back; any other as BOTHER.
int ReadTtyState(int hFd, CTtyState* pState) noexcept;
int WriteTtyState(int hFd, const CTtyState& state) noexcept;

// What every port uses to write its state from now on; nullptr restores the driver's. Lets a
// test play a driver that does not take a speed, which a pseudo-terminal never refuses.
using TtyStateWriter = int (*)(int hFd, const CTtyState& state);
void SetTtyStateWriter(TtyStateWriter pfnWriter) noexcept;
// The driver's own writer, for a stand-in that passes its changed state on.
int WriteTtyStateToDriver(int hFd, const CTtyState& state) noexcept;
