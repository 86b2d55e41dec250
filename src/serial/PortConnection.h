#pragma once

#include "NotifyTarget.h"

#include <string>

class CSerialWnd;

// The port settings as Port Setup keeps them: list positions, and a typed speed in bits per
// second that the list does not have (0 when the list's speed applies).
struct CPortSelection {
    int nPort = 0;
    int nSpeed = 1;
    int nTypedSpeed = 0;
    int nStopBits = 0;
    int nParity = 0;
};

// Connect: opens the chosen port on serial with the target for its notifications (message id
// 0, queue sizes 0), gives it the chosen line settings and read mode 0. A port that cannot
// take them is closed again, so that a later Connect can succeed. False with the reason in
// *pstrReason (PortFailure.h) when the port is not connected.
bool ConnectPort(CSerialWnd& serial, CNotifyTarget* pTarget, const CPortSelection& selection,
                 std::string* pstrReason);
