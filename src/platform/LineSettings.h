#pragma once

#include "SerialTypes.h"

#include <termios.h>

// The translation between line settings and a termios, kept apart from the device so that
// every combination can be checked: a pseudo-terminal's driver forces 8 data bits and no
// parity whatever it is given.

// 0 when the settings can be expressed (a termios speed, 5..8 data bits, parity 0..4, one or
// two stop bits), else 87.
int CheckLineSettings(const DCB& dcb) noexcept;
// Writes speed, size, parity, stop bits, parity check and flow control; keeps the rest.
void LineSettingsToTermios(const DCB& dcb, termios* pTio) noexcept;
// Fills every field of *pDcb but EvtChar, which a termios does not hold.
void LineSettingsFromTermios(const termios& tio, DCB* pDcb) noexcept;
