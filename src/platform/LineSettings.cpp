#include "LineSettings.h"

namespace {

struct CSpeed {
    DWORD dwBaud;
    speed_t speed;
};

constexpr CSpeed kSpeeds[] = {
    {50, B50},           {75, B75},           {110, B110},         {134, B134},
    {150, B150},         {200, B200},         {300, B300},         {600, B600},
    {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
    {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
    {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000},
    {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
    {3500000, B3500000}, {4000000, B4000000},
};

bool SpeedFromBaud(DWORD dwBaud, speed_t* pSpeed) {
    for (const CSpeed& s : kSpeeds) {
        if (s.dwBaud == dwBaud) {
            *pSpeed = s.speed;
            return true;
        }
    }
    return false;
}

DWORD BaudFromSpeed(speed_t speed) {
    for (const CSpeed& s : kSpeeds) {
        if (s.speed == speed) {
            return s.dwBaud;
        }
    }
    return 0;
}

} // namespace

int CheckLineSettings(const DCB& dcb) noexcept {
    speed_t speed{};
    if (!SpeedFromBaud(dcb.BaudRate, &speed) || dcb.ByteSize < 5 || dcb.ByteSize > 8 ||
        dcb.Parity > SPACEPARITY || (dcb.StopBits != ONESTOPBIT && dcb.StopBits != TWOSTOPBITS)) {
        return ERROR_INVALID_PARAMETER;
    }
    return ERROR_SUCCESS;
}

void LineSettingsToTermios(const DCB& dcb, termios* pTio) noexcept {
    speed_t speed = B9600;
    SpeedFromBaud(dcb.BaudRate, &speed);
    cfsetispeed(pTio, speed);
    cfsetospeed(pTio, speed);
    constexpr tcflag_t kSizes[] = {CS5, CS6, CS7, CS8};
    pTio->c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    pTio->c_cflag |= dcb.ByteSize >= 5 && dcb.ByteSize <= 8 ? kSizes[dcb.ByteSize - 5] : CS8;
    switch (dcb.Parity) {
    case ODDPARITY:
        pTio->c_cflag |= PARENB | PARODD;
        break;
    case EVENPARITY:
        pTio->c_cflag |= PARENB;
        break;
    case MARKPARITY:
        pTio->c_cflag |= PARENB | CMSPAR | PARODD;
        break;
    case SPACEPARITY:
        pTio->c_cflag |= PARENB | CMSPAR;
        break;
    default:
        break;
    }
    if (dcb.StopBits == TWOSTOPBITS) {
        pTio->c_cflag |= CSTOPB;
    }
    if (dcb.fOutxCtsFlow || dcb.fRtsControl == RTS_CONTROL_HANDSHAKE) {
        pTio->c_cflag |= CRTSCTS;
    }
    pTio->c_iflag &= ~static_cast<tcflag_t>(INPCK | IGNPAR | PARMRK | IXON | IXOFF);
    if (dcb.fParity) {
        pTio->c_iflag |= INPCK;
    }
    if (dcb.fOutX) {
        pTio->c_iflag |= IXON;
    }
    if (dcb.fInX) {
        pTio->c_iflag |= IXOFF;
    }
}

void LineSettingsFromTermios(const termios& tio, DCB* pDcb) noexcept {
    DCB dcb;
    dcb.EvtChar = pDcb->EvtChar;
    dcb.BaudRate = BaudFromSpeed(cfgetospeed(&tio));
    switch (tio.c_cflag & CSIZE) {
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
    if ((tio.c_cflag & PARENB) == 0) {
        dcb.Parity = NOPARITY;
    } else if ((tio.c_cflag & CMSPAR) != 0) {
        dcb.Parity = (tio.c_cflag & PARODD) != 0 ? MARKPARITY : SPACEPARITY;
    } else {
        dcb.Parity = (tio.c_cflag & PARODD) != 0 ? ODDPARITY : EVENPARITY;
    }
    dcb.fParity = (tio.c_iflag & INPCK) != 0;
    dcb.StopBits = (tio.c_cflag & CSTOPB) != 0 ? TWOSTOPBITS : ONESTOPBIT;
    const bool bHardware = (tio.c_cflag & CRTSCTS) != 0;
    dcb.fOutxCtsFlow = bHardware;
    dcb.fOutxDsrFlow = bHardware;
    dcb.fDtrControl = bHardware ? DTR_CONTROL_HANDSHAKE : DTR_CONTROL_ENABLE;
    dcb.fRtsControl = bHardware ? RTS_CONTROL_HANDSHAKE : RTS_CONTROL_ENABLE;
    dcb.fOutX = (tio.c_iflag & IXON) != 0;
    dcb.fInX = (tio.c_iflag & IXOFF) != 0;
    *pDcb = dcb;
}
