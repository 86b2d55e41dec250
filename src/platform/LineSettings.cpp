#include "LineSettings.h"

#include <termios.h>

namespace {

constexpr tcflag_t kAlwaysIn = IGNBRK | IGNPAR | INPCK;
constexpr tcflag_t kNeverIn = BRKINT | PARMRK | ISTRIP;

} // namespace

int CheckLineSettings(const DCB& dcb) noexcept {
    if (dcb.BaudRate == 0 || dcb.BaudRate > kMaxLineSpeed || dcb.ByteSize < 5 || dcb.ByteSize > 8 ||
        dcb.Parity > SPACEPARITY || (dcb.StopBits != ONESTOPBIT && dcb.StopBits != TWOSTOPBITS)) {
        return ERROR_INVALID_PARAMETER;
    }
    return ERROR_SUCCESS;
}

void MakeRawState(CTtyState* pState) noexcept {
    pState->nIflag &= ~static_cast<tcflag_t>(kNeverIn | INLCR | IGNCR | ICRNL | IUCLC | IXON |
                                             IXOFF | IXANY | IMAXBEL | IUTF8);
    pState->nIflag |= kAlwaysIn;
    pState->nOflag &= ~static_cast<tcflag_t>(OPOST);
    pState->nLflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    pState->nCflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CRTSCTS);
    pState->nCflag |= CS8 | CLOCAL | CREAD;
    pState->vCc[VMIN] = 1;
    pState->vCc[VTIME] = 0;
}

void LineSettingsToState(const DCB& dcb, CTtyState* pState) noexcept {
    pState->dwOutSpeed = dcb.BaudRate;
    pState->dwInSpeed = 0;
    constexpr tcflag_t kSizes[] = {CS5, CS6, CS7, CS8};
    pState->nCflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    pState->nCflag |= dcb.ByteSize >= 5 && dcb.ByteSize <= 8 ? kSizes[dcb.ByteSize - 5] : CS8;
    switch (dcb.Parity) {
    case ODDPARITY:
        pState->nCflag |= PARENB | PARODD;
        break;
    case EVENPARITY:
        pState->nCflag |= PARENB;
        break;
    case MARKPARITY:
        pState->nCflag |= PARENB | CMSPAR | PARODD;
        break;
    case SPACEPARITY:
        pState->nCflag |= PARENB | CMSPAR;
        break;
    default:
        break;
    }
    if (dcb.StopBits == TWOSTOPBITS) {
        pState->nCflag |= CSTOPB;
    }
    if (dcb.fOutxCtsFlow || dcb.fRtsControl == RTS_CONTROL_HANDSHAKE) {
        pState->nCflag |= CRTSCTS;
    }
    pState->nIflag &= ~static_cast<tcflag_t>(kNeverIn | IXON | IXOFF);
    pState->nIflag |= kAlwaysIn;
    if (dcb.fOutX) {
        pState->nIflag |= IXON;
    }
    if (dcb.fInX) {
        pState->nIflag |= IXOFF;
    }
}

void LineSettingsFromState(const CTtyState& state, DCB* pDcb) noexcept {
    DCB dcb;
    dcb.EvtChar = pDcb->EvtChar;
    dcb.fParity = pDcb->fParity;
    dcb.BaudRate = state.dwOutSpeed;
    switch (state.nCflag & CSIZE) {
    case CS5:
        dcb.ByteSize = 5;
        break;
    case CS6:
        dcb.ByteSize = 6;
        break;
    case CS7:
        dcb.ByteSize = 7;
        break;
    default:
        dcb.ByteSize = 8;
        break;
    }
    if ((state.nCflag & PARENB) == 0) {
        dcb.Parity = NOPARITY;
    } else if ((state.nCflag & CMSPAR) != 0) {
        dcb.Parity = (state.nCflag & PARODD) != 0 ? MARKPARITY : SPACEPARITY;
    } else {
        dcb.Parity = (state.nCflag & PARODD) != 0 ? ODDPARITY : EVENPARITY;
    }
    dcb.StopBits = (state.nCflag & CSTOPB) != 0 ? TWOSTOPBITS : ONESTOPBIT;
    const bool bHardware = (state.nCflag & CRTSCTS) != 0;
    dcb.fOutxCtsFlow = bHardware;
    dcb.fOutxDsrFlow = bHardware;
    dcb.fDtrControl = bHardware ? DTR_CONTROL_HANDSHAKE : DTR_CONTROL_ENABLE;
    dcb.fRtsControl = bHardware ? RTS_CONTROL_HANDSHAKE : RTS_CONTROL_ENABLE;
    dcb.fOutX = (state.nIflag & IXON) != 0;
    dcb.fInX = (state.nIflag & IXOFF) != 0;
    *pDcb = dcb;
}
