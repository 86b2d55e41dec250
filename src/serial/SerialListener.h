#pragma once

#include "SerialBase.h"
#include "Thread.h"

#include <atomic>
#include <memory>

// A port with a listener thread: while the port is open the thread waits for the watched
// events (received characters, break, line error) and reports each completed wait, with the
// line-error bits read and cleared at that moment, through OnSerialEvent. One call per
// completed wait, whatever the number of bytes; a wait that completes with no watched bit
// (the mask being set again) makes no call.
//
// Device gone: when the device disappears (USB unplugged, the other end of a pseudo-terminal
// closed) the listener makes one last OnSerialEvent call whose event bits contain
// EV_KOVRA_DEVICE_GONE (0x8000, defined in SerialTypes.h; never part of a watch mask, possibly
// together with other bits), and then ends. The port stays open until Close; reads on it fail.
// A receiver should tell the user and close the port.
//
// Close (and the destructor) stop and join the thread before the port is released, and return
// promptly whatever the port receives. Close must not be called from OnSerialEvent. A class
// derived from this one must Close in its own destructor, while its OnSerialEvent still exists.
class CSerialListener : public CSerialBase {
public:
    CSerialListener() = default;
    ~CSerialListener() override;

    // Opens in overlapped mode; bStartListening starts the thread too.
    int Open(const char* szPort, DWORD dwInQueue, DWORD dwOutQueue, bool bStartListening) override;
    int Close() override;
    // Starts the thread unless one is recorded.
    virtual int StartListening();
    // Stops the thread and waits at most dwTimeoutMs for its end. When it has not ended by
    // then, it stays recorded (a later Close waits for it) and the result is ERROR_TIMEOUT.
    virtual int StopListening(DWORD dwTimeoutMs);
    // Called on the listener thread.
    virtual void OnSerialEvent(DWORD dwEvents, DWORD dwErrors) = 0;

    // The thread's body; its exit code.
    DWORD ListenLoop();

protected:
    std::atomic<bool> m_bStopListening{false};
    std::unique_ptr<CThread> m_hListenerThread;
    std::unique_ptr<CManualEvent> m_hListenerEvent;

private:
    static DWORD ThreadRoutine(void* pThis);
};
