#include "SerialWnd.h"
#include "LineCounters.h"
#include "SerialTestSupport.h"
#include "WindowMessage.h"

#include <gtest/gtest.h>

#include <semaphore>
#include <string>

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
    char buffer[100];
    DWORD nRead = 0;
    EXPECT_EQ(m_port.Read(buffer, sizeof buffer, &nRead, nullptr, INFINITE), ERROR_GEN_FAILURE);
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

} // namespace
