#pragma once

#include "SerialTypes.h"
#include "TtyState.h"

// The translation between line settings and a tty's state, kept apart from the device so that
// every combination can be checked: a pseudo-terminal's driver forces 8 data bits and no
// parity whatever it is given.

// The fastest speed a port is asked for: what GetBaudRate can still return.
inline constexpr DWORD kMaxLineSpeed = 0x7FFFFFFF;

// 0 when the settings can be expressed (a speed from 1 to kMaxLineSpeed, 5..8 data bits,
// parity 0..4, one or two stop bits), else 87.
int CheckLineSettings(const DCB& dcb) noexcept;

// Raw bytes in and out: no echo, no translation, no flow or modem control, 8 data bits;
// VMIN 1, so that a non-blocking read tells "nothing yet" (EAGAIN) from a hang-up (0).
// Breaks and bytes with framing or parity errors are dropped (IGNBRK, INPCK with IGNPAR): left
// in, each would reach the data as a NUL byte. The driver still counts them (LineCounters.h).
void MakeRawState(CTtyState* pState) noexcept;
// Writes speed, size, parity, stop bits and flow control; keeps the rest, and keeps dropping
// bad bytes whatever the parity check asks.
void LineSettingsToState(const DCB& dcb, CTtyState* pState) noexcept;
// Fills every field of *pDcb but EvtChar and fParity, which a tty does not hold: it checks
// every byte it can (see MakeRawState).
void LineSettingsFromState(const CTtyState& state, DCB* pDcb) noexcept;
