#include "PortConnection.h"

#include "PlatformError.h"
#include "PortChoice.h"
#include "PortFailure.h"
#include "SerialWnd.h"

bool ConnectPort(CSerialWnd& serial, CNotifyTarget* pTarget, const CPortSelection& selection,
                 std::string* pstrReason) {
    pstrReason->clear();
    CPortFailure failure;
    const char* szPort = PortOfChoice(selection.nPort);
    SetLastSystemErrno(0);
    if (szPort != nullptr) {
        failure.nCode = serial.Open(szPort, pTarget, 0, 0, 0, 0);
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
