#pragma once

#include "NotifyTarget.h"
#include "SerialListener.h"

#include <atomic>

// The id of the message "CSerialWnd_DefaultComMsg", registered before main() runs.
extern const UINT g_nDefaultComMsg;

// A listening port that reports each completed event wait by posting a message to a target:
//   message  the id given to Open, or g_nDefaultComMsg for 0
//   wParam   low word: the event bits (EV_RXCHAR 0x0001, EV_BREAK 0x0040, EV_ERR 0x0080,
//            EV_KOVRA_DEVICE_GONE 0x8000 in the last message of a device that went away;
//            never 0); high word: the line-error bits (CE_ values), 0 when none
//   lParam   the parameter given to Open
// The message carries no byte count: the receiver reads what has arrived with Read (read mode
// 0 returns at once). Bytes left unread bring no further message until more arrive. Nothing is
// posted once Close has returned; a message already posted is still delivered, and Read then
// gives 6.
class CSerialWnd : public CSerialListener {
public:
    CSerialWnd() = default;
    ~CSerialWnd() override;

    using CSerialListener::Open;
    int Close() override;
    void OnSerialEvent(DWORD dwEvents, DWORD dwErrors) override;
    // Opens szPort in overlapped mode with read mode 0, then starts listening.
    virtual int Open(const char* szPort, CNotifyTarget* pTarget, UINT nMessage, LPARAM lParam,
                     DWORD dwInQueue, DWORD dwOutQueue);

    // A number for a new connection, to be given to Open as the parameter: its messages then
    // tell which connection they come from, and a notice still queued from a port closed since
    // is known for one. Never the same twice in a process, and from 256 up, so that small
    // parameters stay free for a receiver's messages to itself.
    static LPARAM NewConnectionNumber() noexcept;
    // Whether a message with this parameter comes from the port open now (on the thread that
    // opens and closes it).
    bool IsCurrentConnection(LPARAM lParam) const noexcept;

protected:
    std::atomic<CNotifyTarget*> m_hWndTarget{nullptr};
    std::atomic<UINT> m_nTargetMsg{0};
    std::atomic<LPARAM> m_lTargetParam{0};
};
