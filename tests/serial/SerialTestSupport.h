#pragma once

#include "ManualEvent.h"
#include "MessageQueue.h"
#include "NotifyTarget.h"
#include "PtyPair.h"
#include "SerialWnd.h"
#include "TtyState.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <poll.h>
#include <string>
#include <thread>

// Waits until the port side of pty has something to read (the test's own descriptor shares
// the port's input queue); false after nTimeoutMs.
inline bool WaitForInput(const CPtyPair& pty, int nTimeoutMs = 10000) {
    pollfd pfd{pty.Slave(), POLLIN, 0};
    return poll(&pfd, 1, nTimeoutMs) == 1;
}

// A queue that also tells how many messages were posted to it, and when.
class CSignallingQueue final : public CNotifyTarget {
public:
    CSignallingQueue() { CManualEvent::Create(&m_pPosted); }
    void Post(UINT nMessage, WPARAM wParam, LPARAM lParam) noexcept override {
        m_queue.Post(nMessage, wParam, lParam);
        ++m_nPosted;
        m_pPosted->Set();
    }
    bool WaitPosted(DWORD dwTimeoutMs = 10000) {
        return m_pPosted->Wait(dwTimeoutMs) == WAIT_OBJECT_0;
    }
    CMessageQueue m_queue;
    std::atomic<int> m_nPosted{0};

private:
    std::unique_ptr<CManualEvent> m_pPosted;
};

// Counts the posts that arrive after the test declared the port closed.
class CCountingTarget final : public CNotifyTarget {
public:
    CCountingTarget() { CManualEvent::Create(&m_pPosted); }
    void Post(UINT, WPARAM, LPARAM) noexcept override {
        ++m_nPosts;
        if (m_bClosed) {
            ++m_nLate;
        }
        m_pPosted->Set();
    }
    std::unique_ptr<CManualEvent> m_pPosted;
    std::atomic<int> m_nPosts{0};
    std::atomic<int> m_nLate{0};
    std::atomic<bool> m_bClosed{false};
};

// Plays a device that streams bytes for as long as it lives.
class CStreamingDevice {
public:
    explicit CStreamingDevice(int hMaster)
        : m_thread([this, hMaster] {
              const std::string strChunk = "12.5 -3.25 7#\r\n0.001 2 3 4 5 6 7 8 9 10#\r\n";
              while (!m_bStop) {
                  if (write(hMaster, strChunk.data(), strChunk.size()) < 0 && errno == EAGAIN) {
                      pollfd pfd{hMaster, POLLOUT, 0};
                      poll(&pfd, 1, 1);
                  }
              }
          }) {}
    ~CStreamingDevice() {
        m_bStop = true;
        m_thread.join();
    }
    CStreamingDevice(const CStreamingDevice&) = delete;
    CStreamingDevice& operator=(const CStreamingDevice&) = delete;

private:
    std::atomic<bool> m_bStop{false};
    std::thread m_thread;
};

// Appends what waits in the port, read in chunks as the view does until a short one; false
// when a read fails.
inline bool ReadWaiting(CSerialWnd& port, std::string* pstrData) {
    char buffer[100];
    DWORD nRead = 0;
    do {
        if (port.Read(buffer, sizeof buffer, &nRead, nullptr, INFINITE) != ERROR_SUCCESS) {
            return false;
        }
        pstrData->append(buffer, nRead);
    } while (nRead == sizeof buffer);
    return true;
}

// Reads what each notification announces, as the view does, until nCount bytes came.
inline std::string ReadNotified(CSerialWnd& port, CMessageQueue& queue, std::size_t nCount) {
    std::string strData;
    CMessage message;
    while (strData.size() < nCount && queue.Get(&message, 10000)) {
        if (LOWORD(message.wParam) == EV_RXCHAR && !ReadWaiting(port, &strData)) {
            break;
        }
    }
    return strData;
}

// A driver that falls back to 115200 for anything faster, as a UART does above its clock
// (for SetTtyStateWriter).
inline int WriteAtMost115200(int hFd, const CTtyState& state) {
    CTtyState clamped = state;
    clamped.dwOutSpeed = std::min<DWORD>(clamped.dwOutSpeed, 115200);
    return WriteTtyStateToDriver(hFd, clamped);
}
