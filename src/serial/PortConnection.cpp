#include "PortConnection.h"

#include "PlatformError.h"
#include "PortChoice.h"
#include "PortDiscovery.h"
#include "PortFailure.h"
#include "SerialWnd.h"

namespace {

// szPort null: no port is chosen.
bool Connect(CSerialWnd& serial, CNotifyTarget* pTarget, const char* szPort, LPARAM lParam,
             const CPortSelection& selection, std::string* pstrReason) {
    pstrReason->clear();
    CPortFailure failure;
    SetLastSystemErrno(0);
    if (szPort != nullptr) {
        failure.nCode = serial.Open(szPort, pTarget, 0, lParam, 0, 0);
        if (failure.nCode != 0) {
            failure.nErrno = LastSystemErrno();
            *pstrReason = DescribePortFailure(szPort, failure);
            return false;
        }
    }
    failure.eStep = EPortStep::kSettings;
    failure.dwSpeed = SpeedOfChoice(selection.nSpeed, selection.nTypedSpeed);
    failure.nParity = ParityOfChoice(selection.nParity);
    failure.nStopBits = StopBitsOfChoice(selection.nStopBits);
    // With no port opened, Configure answers 6.
    failure.nCode = serial.Configure(failure.dwSpeed, 8, failure.nParity, failure.nStopBits);
    if (failure.nCode == 0) {
        failure.nCode = serial.SetReadMode(0);
    }
    if (failure.nCode != 0) {
        failure.nErrno = LastSystemErrno();
        *pstrReason = DescribePortFailure(szPort, failure);
        serial.Close();
        return false;
    }
    return true;
}

bool ConnectNumbered(CSerialWnd& serial, CNotifyTarget* pTarget, const char* szPort,
                     const CPortSelection& selection, std::string* pstrReason,
                     SConnection* pConnection) {
    const LPARAM lNumber = CSerialWnd::NewConnectionNumber();
    if (!Connect(serial, pTarget, szPort, lNumber, selection, pstrReason)) {
        return false;
    }
    pConnection->lNumber = lNumber;
    pConnection->strDevice = serial.GetDevicePath();
    // Now, while the device is there to be looked at.
    pConnection->identity = IdentifyDevice(pConnection->strDevice);
    pConnection->selection = selection;
    return true;
}

} // namespace

bool ConnectPort(CSerialWnd& serial, CNotifyTarget* pTarget, const CPortSelection& selection,
                 std::string* pstrReason) {
    return Connect(serial, pTarget, PortOfChoice(selection.nPort), 0, selection, pstrReason);
}

bool ConnectChosenPort(CSerialWnd& serial, CNotifyTarget* pTarget, const CPortSelection& selection,
                       std::string* pstrReason, SConnection* pConnection) {
    RediscoverPorts();
    return ConnectNumbered(serial, pTarget, PortOfChoice(selection.nPort), selection, pstrReason,
                           pConnection);
}

bool ReconnectPort(CSerialWnd& serial, CNotifyTarget* pTarget, const std::string& strDevice,
                   std::string* pstrReason, SConnection* pConnection) {
    const CPortSelection selection = pConnection->selection;
    return ConnectNumbered(serial, pTarget, strDevice.c_str(), selection, pstrReason, pConnection);
}
