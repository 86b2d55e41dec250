#pragma once

#include "BasicTypes.h"

#include <QEvent>

class QObject;

// A serial notification on its way from the listener thread to the user-interface thread, as
// a posted Qt event.
class CSerialMessageEvent : public QEvent {
public:
    CSerialMessageEvent(UINT nMessage, WPARAM wParam, LPARAM lParam)
        : QEvent(EventType()), m_nMessage(nMessage), m_wParam(wParam), m_lParam(lParam) {}

    static QEvent::Type EventType();

    // Posts the notification to pTarget from any thread; false when there was no memory for
    // it (the notice is lost, not the data: the bytes wait in the port and the next arrival
    // posts again).
    static bool Post(QObject* pTarget, UINT nMessage, WPARAM wParam, LPARAM lParam) noexcept;
    // The notification an event handler got, or null for any other event.
    static const CSerialMessageEvent* From(QEvent* pEvent);

    UINT m_nMessage;
    WPARAM m_wParam;
    LPARAM m_lParam;
};
