#pragma once

#include "DeviceWatcher.h"

#include <QObject>

#include <functional>
#include <string>

class QSocketNotifier;

// Waits for a board that went away to come back and connects to it again. The device
// watcher's descriptor sits in the event loop: nothing runs while nothing changes in the
// folders where the board would appear, and each change is looked at once.
class CReconnector : public QObject {
    Q_OBJECT

public:
    // fnConnect connects to the device at the path it is given; true when it did. While it
    // fails, waiting goes on and the next change tries again.
    explicit CReconnector(std::function<bool(const std::string&)> fnConnect,
                          QObject* pParent = nullptr);
    ~CReconnector() override;

    // Begins waiting for the device: called before its port is closed, so that its going is
    // seen. A result code, 0 when waiting; nothing is looked at before LookNow or the event
    // loop.
    int Start(const SDeviceIdentity& identity);
    // Looks at once, for a device that is back already.
    void LookNow();
    void Stop();
    bool Waiting() const { return m_watcher.IsWatching(); }
    // The device waited for, by the path it was opened by; empty while not waiting.
    std::string WaitingFor() const;

private:
    CDeviceWatcher m_watcher;
    QSocketNotifier* m_pNotifier = nullptr;
    std::function<bool(const std::string&)> m_fnConnect;
};
