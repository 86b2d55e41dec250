#pragma once

#include "DeviceIdentity.h"
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

// A connection made by ConnectChosenPort or ReconnectPort.
struct SConnection {
    LPARAM lNumber = 0;       // the parameter of its messages (CSerialWnd::IsCurrentConnection)
    std::string strDevice;    // the device opened: "/dev/ttyACM0", a link as it was given
    SDeviceIdentity identity; // what knows it again when it comes back (CDeviceWatcher)
    CPortSelection selection; // the settings it was made with
};

// Connect: opens the chosen port on serial with the target for its notifications (message id
// 0, queue sizes 0), gives it the chosen line settings and read mode 0. A port that cannot
// take them is closed again, so that a later Connect can succeed. False with the reason in
// *pstrReason (PortFailure.h) when the port is not connected.
bool ConnectPort(CSerialWnd& serial, CNotifyTarget* pTarget, const CPortSelection& selection,
                 std::string* pstrReason);

// Connect as the user asks for it (F2, the command line's device): looks the ports up again
// first (RediscoverPorts), so that a board plugged in since the last look connects at once, and
// numbers the connection (its messages carry the number). Otherwise as ConnectPort.
bool ConnectChosenPort(CSerialWnd& serial, CNotifyTarget* pTarget, const CPortSelection& selection,
                       std::string* pstrReason, SConnection* pConnection);

// Connects again to a device that came back at strDevice (the path CDeviceWatcher::Drain
// gave), with the settings of *pConnection, whatever Port Setup says meanwhile; a new number,
// as ConnectChosenPort.
bool ReconnectPort(CSerialWnd& serial, CNotifyTarget* pTarget, const std::string& strDevice,
                   std::string* pstrReason, SConnection* pConnection);
