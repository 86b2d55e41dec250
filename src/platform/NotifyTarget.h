#pragma once

#include "BasicTypes.h"

// Where the serial layer's notifications go: the view in the application, a queue elsewhere.
//
// Post is called on the listener thread. It must be thread-safe, must not block for long and
// must not throw, and it must hand the message over to the receiver's own thread (for a Qt
// object, QCoreApplication::postEvent) rather than deliver it synchronously. Messages arrive
// in the order they were posted. The target must outlive every port that posts to it, until
// that port's Close has returned.
class CNotifyTarget {
public:
    virtual void Post(UINT nMessage, WPARAM wParam, LPARAM lParam) noexcept = 0;

protected:
    ~CNotifyTarget() = default;
};
