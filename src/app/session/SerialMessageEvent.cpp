#include "session/SerialMessageEvent.h"

#include "session/EventHandOver.h"

#include <QCoreApplication>

#include <new>

QEvent::Type CSerialMessageEvent::EventType() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

bool CSerialMessageEvent::Post(QObject* pTarget, UINT nMessage, WPARAM wParam,
                               LPARAM lParam) noexcept {
    auto* pEvent = new (std::nothrow) CSerialMessageEvent(nMessage, wParam, lParam);
    if (pEvent == nullptr) {
        return false;
    }
    ReleaseToEventQueue(pEvent);
    try {
        QCoreApplication::postEvent(pTarget, pEvent);
    } catch (const std::bad_alloc&) {
        // The queue deletes an event it could not take.
        return false;
    }
    return true;
}

const CSerialMessageEvent* CSerialMessageEvent::From(QEvent* pEvent) {
    AcquireFromEventQueue(pEvent);
    return pEvent->type() == EventType() ? static_cast<CSerialMessageEvent*>(pEvent) : nullptr;
}
