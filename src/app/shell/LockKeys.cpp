#include "shell/LockKeys.h"

#include <QGuiApplication>

#include <X11/XKBlib.h>

namespace {

bool IndicatorOn(Display* pDisplay, const char* szName) {
    const Atom atom = XInternAtom(pDisplay, szName, True);
    Bool bOn = False;
    if (atom == None || !XkbGetNamedIndicator(pDisplay, atom, nullptr, &bOn, nullptr, nullptr)) {
        return false;
    }
    return bOn != False;
}

} // namespace

SLockKeys ReadLockKeys() {
    SLockKeys locks;
    auto* pX11 = qGuiApp != nullptr ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>()
                                    : nullptr;
    Display* pDisplay = pX11 != nullptr ? pX11->display() : nullptr;
    if (pDisplay == nullptr) {
        return locks;
    }
    locks.m_bCaps = IndicatorOn(pDisplay, "Caps Lock");
    locks.m_bNum = IndicatorOn(pDisplay, "Num Lock");
    locks.m_bScroll = IndicatorOn(pDisplay, "Scroll Lock");
    return locks;
}
