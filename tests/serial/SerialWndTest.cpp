#include "SerialWnd.h"
#include "LineCounters.h"
#include "SerialTestSupport.h"
#include "WindowMessage.h"

#include <gtest/gtest.h>

#include <chrono>
#include <semaphore>
#include <string>
#include <sys/ioctl.h>
#include <thread>

namespace {

class CTestSerialWnd : public CSerialWnd {
public:
    ~CTestSerialWnd() override { Close(); }
    CThread* ListenerThread() const { return m_hListenerThread.get(); }
};

class SerialWndTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_pty.IsOpen()); }

    CPtyPair m_pty;
    CMessageQueue m_queue;
    CTestSerialWnd m_port;
};

TEST(SerialWndMessageTest, TheDefaultMessageIsTheRegisteredName) {
    EXPECT_GE(g_nDefaultComMsg, 0xC000u);
    EXPECT_EQ(g_nDefaultComMsg, RegisterWindowMessage("CSerialWnd_DefaultComMsg"));
}

TEST_F(SerialWndTest, PostsTheDefaultMessageWithEventBitsAndParameter) {
    ASSERT_EQ(m_port.Open(m_pty.PathText(), &m_queue, 0, 1234, 0, 0), ERROR_SUCCESS);
    ASSERT_TRUE(m_pty.Send("1.5 -2 3#"));
    CMessage message;
    ASSERT_TRUE(m_queue.Get(&message, 10000));
    EXPECT_EQ(message.nMessage, g_nDefaultComMsg);
    EXPECT_EQ(LOWORD(message.wParam), EV_RXCHAR);
    EXPECT_EQ(HIWORD(message.wParam), 0u);
    EXPECT_EQ(message.lParam, 1234);
    m_queue.Post(message.nMessage, message.wParam, message.lParam);
    EXPECT_EQ(ReadNotified(m_port, m_queue, 9), "1.5 -2 3#");
}

TEST_F(SerialWndTest, PostsTheMessageItIsGiven) {
    ASSERT_EQ(m_port.Open(m_pty.PathText(), &m_queue, 0xC777, 0, 0, 0), ERROR_SUCCESS);
    ASSERT_TRUE(m_pty.Send("1"));
    CMessage message;
    ASSERT_TRUE(m_queue.Get(&message, 10000));
    EXPECT_EQ(message.nMessage, 0xC777u);
}

TEST_F(SerialWndTest, OneNotificationPerArrivalNotPerUnreadByte) {
    ASSERT_EQ(m_port.Open(m_pty.PathText(), &m_queue, 0, 0, 0, 0), ERROR_SUCCESS);
    ASSERT_TRUE(m_pty.Send("abc"));
    CMessage message;
    ASSERT_TRUE(m_queue.Get(&message, 10000));
    // The bytes stay unread: no further notification comes for them.
    EXPECT_FALSE(m_queue.Get(&message, 200));
    ASSERT_TRUE(m_pty.Send("d"));
    ASSERT_TRUE(m_queue.Get(&message, 10000));
    char buffer[100];
    DWORD nRead = 0;
    ASSERT_EQ(m_port.Read(buffer, sizeof buffer, &nRead, nullptr, INFINITE), ERROR_SUCCESS);
    EXPECT_EQ(std::string(buffer, nRead), "abcd");
}

std::atomic<std::uint32_t> g_nBreaks{0};
std::atomic<std::uint32_t> g_nFrames{0};

int ReadTestCounters(int, CLineCounters* pCounters) {
    *pCounters = CLineCounters{};
    pCounters->nBreak = g_nBreaks;
    pCounters->nFrame = g_nFrames;
    return 0;
}

TEST_F(SerialWndTest, ACharacterABreakAndALineErrorMakeOneNotification) {
    SetLineCounterReader(&ReadTestCounters);
    const std::unique_ptr<void, void (*)(void*)> restore(
        &g_nBreaks, [](void*) { SetLineCounterReader(nullptr); });
    ASSERT_EQ(m_port.Open(m_pty.PathText(), &m_queue, 0, 0, 0, 0), ERROR_SUCCESS);
    ++g_nBreaks;
    ++g_nFrames;
    // A wake with nothing to report (setting the mask again) between the errors and the
    // arrival must not take the errors from the notification; the pause lets it come first.
    ASSERT_EQ(m_port.SetWatchMask(m_port.GetWatchMask()), ERROR_SUCCESS);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_TRUE(m_pty.Send(std::string(1, '\0')));
    CMessage message;
    ASSERT_TRUE(m_queue.Get(&message, 10000));
    EXPECT_EQ(LOWORD(message.wParam), EV_RXCHAR | EV_BREAK | EV_ERR);
    EXPECT_EQ(HIWORD(message.wParam), CE_BREAK | CE_FRAME);
    ASSERT_TRUE(m_pty.Send("x"));
    ASSERT_TRUE(m_queue.Get(&message, 10000));
    EXPECT_EQ(LOWORD(message.wParam), EV_RXCHAR);
    EXPECT_EQ(HIWORD(message.wParam), 0u);
}

TEST_F(SerialWndTest, StartListeningAgainStartsNoSecondThread) {
    ASSERT_EQ(m_port.Open(m_pty.PathText(), &m_queue, 0, 0, 0, 0), ERROR_SUCCESS);
    CThread* pThread = m_port.ListenerThread();
    ASSERT_NE(pThread, nullptr);
    EXPECT_EQ(m_port.StartListening(), ERROR_SUCCESS);
    EXPECT_EQ(m_port.ListenerThread(), pThread);
    ASSERT_TRUE(m_pty.Send("1"));
    CMessage message;
    ASSERT_TRUE(m_queue.Get(&message, 10000));
    const bool bSecond = m_queue.Get(&message, 200);
    EXPECT_FALSE(bSecond) << std::hex << message.wParam;
}

TEST_F(SerialWndTest, StopListeningWithoutAThreadReturnsAtOnce) {
    EXPECT_EQ(m_port.StopListening(INFINITE), ERROR_SUCCESS);
    ASSERT_EQ(m_port.CSerialListener::Open(m_pty.PathText(), 0, 0, false), ERROR_SUCCESS);
    EXPECT_EQ(m_port.ListenerThread(), nullptr);
    EXPECT_EQ(m_port.StopListening(INFINITE), ERROR_SUCCESS);
    EXPECT_EQ(m_port.Close(), ERROR_SUCCESS);
}

TEST_F(SerialWndTest, OpenFailuresLeaveNoListener) {
    EXPECT_EQ(m_port.Open("/dev/kovra-no-such-port", &m_queue, 0, 0, 0, 0), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(m_port.ListenerThread(), nullptr);
    ASSERT_EQ(m_port.Open(m_pty.PathText(), &m_queue, 0, 0, 0, 0), ERROR_SUCCESS);
    CPtyPair other;
    EXPECT_EQ(m_port.Open(other.PathText(), &m_queue, 0, 0, 0, 0), ERROR_ALREADY_INITIALIZED);
    ASSERT_TRUE(m_pty.Send("1"));
    CMessage message;
    EXPECT_TRUE(m_queue.Get(&message, 10000));
}

TEST_F(SerialWndTest, AQueuedNotificationOutlivesCloseAndReadThenGives6) {
    CSignallingQueue target;
    ASSERT_EQ(m_port.Open(m_pty.PathText(), &target, 0, 0, 0, 0), ERROR_SUCCESS);
    ASSERT_TRUE(m_pty.Send("12 34#"));
    ASSERT_TRUE(target.WaitPosted());
    EXPECT_EQ(m_port.Close(), ERROR_SUCCESS);
    CMessage message;
    ASSERT_TRUE(target.m_queue.Get(&message, 0));
    EXPECT_EQ(LOWORD(message.wParam), EV_RXCHAR);
    char buffer[100];
    DWORD nRead = 55;
    EXPECT_EQ(m_port.Read(buffer, sizeof buffer, &nRead, nullptr, INFINITE), ERROR_INVALID_HANDLE);
    EXPECT_EQ(nRead, 0u);
}

TEST_F(SerialWndTest, CloseIsPromptAndFinalOverAThousandCyclesWithDataArriving) {
    CCountingTarget target;
    {
        CStreamingDevice device(m_pty.Master());
        for (int i = 0; i < 1000; ++i) {
            target.m_bClosed = false;
            target.m_pPosted->Reset();
            ASSERT_EQ(m_port.Open(m_pty.PathText(), &target, 0, 0, 0, 0), ERROR_SUCCESS) << i;
            // Now and then the listener is surely busy when the port closes.
            if (i % 10 == 0) {
                ASSERT_EQ(target.m_pPosted->Wait(10000), WAIT_OBJECT_0) << i;
            }
            ASSERT_EQ(m_port.Close(), ERROR_SUCCESS);
            target.m_bClosed = true;
        }
    }
    EXPECT_EQ(target.m_nLate, 0);
    EXPECT_GT(target.m_nPosts, 0);
}

TEST_F(SerialWndTest, CloseIsPromptOverAThousandIdleCycles) {
    CCountingTarget target;
    for (int i = 0; i < 1000; ++i) {
        ASSERT_EQ(m_port.Open(m_pty.PathText(), &target, 0, 0, 0, 0), ERROR_SUCCESS) << i;
        ASSERT_EQ(m_port.Close(), ERROR_SUCCESS);
    }
    EXPECT_EQ(target.m_nPosts, 0);
}

// Holds the listener just before it starts an event wait until the stop request has set the
// mask: the moment in which a stop request completes no wait.
class CGatedSerialWnd : public CSerialWnd {
public:
    ~CGatedSerialWnd() override { Close(); }
    int WaitForEvent(OVERLAPPED* pOverlapped, DWORD dwTimeoutMs) override {
        if (m_bArmed.exchange(false)) {
            m_atGate.release();
            m_maskSet.acquire();
        }
        return CSerialWnd::WaitForEvent(pOverlapped, dwTimeoutMs);
    }
    int SetWatchMask(DWORD dwMask) override {
        const int n = CSerialWnd::SetWatchMask(dwMask);
        if (m_bStopListening) {
            m_maskSet.release();
        }
        return n;
    }
    std::atomic<bool> m_bArmed{false};
    std::binary_semaphore m_atGate{0};
    std::binary_semaphore m_maskSet{0};
};

TEST(SerialStopRaceTest, AStopRequestBetweenTwoWaitsIsNotLost) {
    CPtyPair pty;
    CMessageQueue queue;
    CGatedSerialWnd port;
    ASSERT_EQ(port.Open(pty.PathText(), &queue, 0, 0, 0, 0), ERROR_SUCCESS);
    // After one notification the listener has passed its stop-flag test when it is held.
    ASSERT_TRUE(pty.Send("1"));
    CMessage message;
    ASSERT_TRUE(queue.Get(&message, 10000));
    port.m_bArmed = true;
    ASSERT_TRUE(pty.Send("2"));
    port.m_atGate.acquire();
    // Nothing arrives from now on: only the stop request can end the coming wait.
    EXPECT_EQ(port.Close(), ERROR_SUCCESS);
}

TEST_F(SerialWndTest, AVanishingDeviceGivesOneLastNotificationAndTheListenerEnds) {
    ASSERT_EQ(m_port.Open(m_pty.PathText(), &m_queue, 0, 0, 0, 0), ERROR_SUCCESS);
    ASSERT_TRUE(m_pty.Send("12 "));
    CMessage message;
    ASSERT_TRUE(m_queue.Get(&message, 10000));
    EXPECT_EQ(LOWORD(message.wParam), EV_RXCHAR);
    m_pty.CloseMaster();
    ASSERT_TRUE(m_queue.Get(&message, 10000));
    EXPECT_NE(LOWORD(message.wParam) & EV_KOVRA_DEVICE_GONE, 0u);
    ASSERT_EQ(m_port.ListenerThread()->Wait(10000), WAIT_OBJECT_0);
    EXPECT_EQ(m_queue.GetCount(), 0u);
    // What came before the device went away is read first, although the hung-up tty has
    // discarded its own copy; then the read says the device is gone.
    char buffer[100];
    DWORD nRead = 0;
    EXPECT_EQ(m_port.Read(buffer, sizeof buffer, &nRead, nullptr, INFINITE), ERROR_SUCCESS);
    EXPECT_EQ(std::string(buffer, nRead), "12 ");
    EXPECT_EQ(m_port.Read(buffer, sizeof buffer, &nRead, nullptr, INFINITE), ERROR_GEN_FAILURE);
    EXPECT_EQ(nRead, 0u);
    EXPECT_EQ(m_port.Close(), ERROR_SUCCESS);
}

TEST(SerialWndLifetimeTest, DestroyingAnOpenPortStopsItsListenerAndReleasesThePort) {
    CPtyPair pty;
    CMessageQueue queue;
    {
        CSerialWnd port;
        ASSERT_EQ(port.Open(pty.PathText(), &queue, 0, 0, 0, 0), ERROR_SUCCESS);
        ASSERT_TRUE(pty.Send("1"));
        CMessage message;
        ASSERT_TRUE(queue.Get(&message, 10000));
    }
    CSerialWnd again;
    EXPECT_EQ(again.Open(pty.PathText(), &queue, 0, 0, 0, 0), ERROR_SUCCESS);
}

// A counting pattern that shows any byte lost, doubled or out of place.
std::string Pattern(std::size_t nStart, std::size_t nCount) {
    std::string strData;
    strData.reserve(nCount);
    for (std::size_t i = nStart; i < nStart + nCount; ++i) {
        strData.push_back(static_cast<char>(i % 251));
    }
    return strData;
}

int Unread(const CPtyPair& pty) {
    int nWaiting = -1;
    ioctl(pty.Slave(), FIONREAD, &nWaiting);
    return nWaiting;
}

// Reads in mode 0 until the port has nothing more, as the view does.
std::string ReadAll(CSerialWnd& port) {
    std::string strData;
    char buffer[100];
    DWORD nRead = 0;
    do {
        EXPECT_EQ(port.Read(buffer, sizeof buffer, &nRead, nullptr, INFINITE), ERROR_SUCCESS);
        strData.append(buffer, nRead);
    } while (nRead == sizeof buffer);
    return strData;
}

// A UART without flow control holds a few KB: the listener must keep the port empty while the
// reader is busy elsewhere, and the reader must still get every byte in order.
TEST_F(SerialWndTest, ArrivalsAreTakenOffThePortWhileTheReaderIsBusy) {
    CSignallingQueue target;
    ASSERT_EQ(m_port.Open(m_pty.PathText(), &target, 0, 0, 0, 0), ERROR_SUCCESS);
    std::string strSent;
    // Far more than the pseudo-terminal holds: without the listener's help the writes would
    // soon find the port full.
    for (int i = 0; i < 300; ++i) {
        const std::string strPiece = Pattern(strSent.size(), 1024);
        const int nPosted = target.m_nPosted;
        ASSERT_EQ(write(m_pty.Master(), strPiece.data(), strPiece.size()),
                  static_cast<ssize_t>(strPiece.size()))
            << "the port was full after " << strSent.size() << " bytes";
        strSent += strPiece;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while ((target.m_nPosted == nPosted || Unread(m_pty) != 0) &&
               std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        ASSERT_EQ(Unread(m_pty), 0) << "after " << strSent.size() << " bytes";
    }
    EXPECT_EQ(ReadAll(m_port), strSent);
}

TEST_F(SerialWndTest, WhatExceedsTheDrainLimitWaitsInThePortAndFollowsInOrder) {
    ASSERT_EQ(m_port.Open(m_pty.PathText(), &m_queue, 0, 0, 0, 0), ERROR_SUCCESS);
    const std::size_t nTotal = CSerialDevice::kDrainLimit + (1 << 20);
    const std::string strSent = Pattern(0, nTotal);
    std::atomic<std::size_t> nWritten{0};
    std::thread device([&] {
        while (nWritten < nTotal) {
            const ssize_t n = write(m_pty.Master(), strSent.data() + nWritten,
                                    std::min<std::size_t>(65536, nTotal - nWritten));
            if (n > 0) {
                nWritten += static_cast<std::size_t>(n);
            } else {
                pollfd pfd{m_pty.Master(), POLLOUT, 0};
                poll(&pfd, 1, 100);
            }
        }
    });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (nWritten < CSerialDevice::kDrainLimit && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_GE(nWritten, CSerialDevice::kDrainLimit);
    // Nobody reads: the device cannot send the rest, because the buffer stays bounded.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_LT(nWritten, nTotal);
    std::string strReceived;
    CMessage message;
    while (strReceived.size() < nTotal && m_queue.Get(&message, 10000)) {
        strReceived += ReadAll(m_port);
    }
    device.join();
    EXPECT_TRUE(strReceived == strSent) << "received " << strReceived.size() << " bytes";
}

// While a read waits on the port for its full count, the listener must not take the bytes
// from under it.
TEST_F(SerialWndTest, AReadForAFullCountGetsItWhileTheListenerRuns) {
    ASSERT_EQ(m_port.Open(m_pty.PathText(), &m_queue, 0, 0, 0, 0), ERROR_SUCCESS);
    ASSERT_EQ(m_port.SetReadMode(1), ERROR_SUCCESS);
    for (int i = 0; i < 100; ++i) {
        std::thread device([this] {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            m_pty.Send("01234");
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            m_pty.Send("56789");
        });
        char buffer[10];
        DWORD nRead = 0;
        EXPECT_EQ(m_port.Read(buffer, sizeof buffer, &nRead, nullptr, 5000), ERROR_SUCCESS);
        EXPECT_EQ(std::string(buffer, nRead), "0123456789") << i;
        device.join();
    }

    // A read left pending with the caller's record, while nobody waits for it, finds what the
    // listener took off the port meanwhile.
    std::unique_ptr<CManualEvent> pEvent;
    ASSERT_EQ(CManualEvent::Create(&pEvent), ERROR_SUCCESS);
    OVERLAPPED record;
    record.hEvent = pEvent.get();
    char buffer[10];
    CMessage message;
    while (m_queue.Get(&message, 0)) {
    }
    ASSERT_EQ(m_port.Read(buffer, sizeof buffer, nullptr, &record, INFINITE), ERROR_SUCCESS);
    ASSERT_TRUE(m_pty.Send("abcdefghij"));
    ASSERT_TRUE(m_queue.Get(&message, 10000));
    ASSERT_EQ(Unread(m_pty), 0);
    ASSERT_EQ(pEvent->Wait(5000), WAIT_OBJECT_0);
    EXPECT_EQ(std::string(buffer, sizeof buffer), "abcdefghij");
}

} // namespace
