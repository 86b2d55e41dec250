#pragma once

#include "BasicTypes.h"

#include <string>
#include <string_view>

// What the positions of Port Setup's lists pass to the port. The speed list keeps its first
// five speeds at their places and goes on with the faster ones boards use today; a speed the
// user types that is not in the list is kept apart from it, as a number.

inline constexpr DWORD kSpeedChoices[] = {
    2400,   9600,   19200,  38400,  57600,   115200,  230400,
    250000, 460800, 500000, 921600, 1000000, 2000000, 3000000,
};
inline constexpr int kPortChoiceCount = 4;

// "COM1".."COM4" for positions 0..3; null outside the list, where no port is opened.
const char* PortOfChoice(int nPort);
// The speed to connect at: the typed speed when there is one (above 0), else the list's, and
// 9600 for a position outside the list.
DWORD SpeedOfChoice(int nSpeed, int nTypedSpeed);
// The list position of a speed; -1 when the list does not have it.
int SpeedChoiceIndex(DWORD dwSpeed);
// "2" passes 2, anything else one stop bit (0).
BYTE StopBitsOfChoice(int nStopBits);
// "Even" (1) passes 2 and "Odd" (2) passes 1, the port's codes; anything else none (0).
BYTE ParityOfChoice(int nParity);

// Chooses a speed: its list position (and no typed speed) when the list has it, else -1 and
// the speed as typed.
void ChooseSpeed(DWORD dwSpeed, int* pnSpeed, int* pnTypedSpeed);

// A speed as a user writes it: digits with an optional "bps" after them, spaces around; from 1
// to the fastest a port is asked for. False for anything else.
bool ParseSpeedText(std::string_view text, DWORD* pdwSpeed);
// How the list shows a speed: "115200 bps".
std::string SpeedChoiceText(DWORD dwSpeed);
