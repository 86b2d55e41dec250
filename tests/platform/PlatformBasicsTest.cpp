#include "ManualEvent.h"
#include "MessageQueue.h"
#include "PlatformError.h"
#include "Thread.h"
#include "WindowMessage.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

TEST(ErrnoTableTest, MapsEachErrnoToItsCode) {
    EXPECT_EQ(ErrorFromErrno(ENOENT), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(ErrorFromErrno(EACCES), ERROR_ACCESS_DENIED);
    EXPECT_EQ(ErrorFromErrno(EBUSY), ERROR_ACCESS_DENIED);
    for (const int nErrno : {EIO, ENOTTY, EINVAL, ENXIO, EAGAIN}) {
        EXPECT_EQ(ErrorFromErrno(nErrno), ERROR_GEN_FAILURE) << nErrno;
    }
    // A failure whose errno got lost must not read as success.
    EXPECT_NE(ErrorFromErrno(0), ERROR_SUCCESS);
}

TEST(RegisterWindowMessageTest, OneIdPerNameFromC000) {
    const UINT nFirst = RegisterWindowMessage("KovraTest_First");
    const UINT nSecond = RegisterWindowMessage("KovraTest_Second");
    EXPECT_GE(nFirst, 0xC000u);
    EXPECT_LE(nFirst, 0xFFFFu);
    EXPECT_NE(nFirst, nSecond);
    EXPECT_EQ(RegisterWindowMessage("KovraTest_First"), nFirst);
    EXPECT_EQ(RegisterWindowMessage("kovratest_FIRST"), nFirst);
    EXPECT_EQ(RegisterWindowMessage(""), 0u);
    EXPECT_EQ(RegisterWindowMessage(nullptr), 0u);
}

TEST(RegisterWindowMessageTest, ThreadsRacingForTheSameNamesAgree) {
    constexpr int kThreads = 6;
    constexpr int kNames = 40;
    std::vector<std::vector<UINT>> vIds(kThreads, std::vector<UINT>(kNames));
    std::vector<std::thread> vThreads;
    for (int t = 0; t < kThreads; ++t) {
        vThreads.emplace_back([t, &vIds] {
            for (int i = 0; i < kNames; ++i) {
                // Every thread walks the names in its own order.
                const int nName = (t % 2 == 0 ? i + 7 * t : kNames - 1 - i + 7 * t) % kNames;
                const std::string strName = "KovraRace_" + std::to_string(nName);
                vIds[static_cast<std::size_t>(t)][static_cast<std::size_t>(nName)] =
                    RegisterWindowMessage(strName.c_str());
            }
        });
    }
    for (auto& thread : vThreads) {
        thread.join();
    }
    std::set<UINT> distinct;
    for (int i = 0; i < kNames; ++i) {
        const UINT nId = vIds[0][static_cast<std::size_t>(i)];
        distinct.insert(nId);
        for (int t = 1; t < kThreads; ++t) {
            EXPECT_EQ(vIds[static_cast<std::size_t>(t)][static_cast<std::size_t>(i)], nId);
        }
    }
    EXPECT_EQ(distinct.size(), static_cast<std::size_t>(kNames));
}

TEST(ManualEventTest, StaysSetUntilReset) {
    std::unique_ptr<CManualEvent> pEvent;
    ASSERT_EQ(CManualEvent::Create(&pEvent), ERROR_SUCCESS);
    EXPECT_EQ(pEvent->Wait(0), WAIT_TIMEOUT);
    EXPECT_EQ(pEvent->Wait(20), WAIT_TIMEOUT);
    ASSERT_EQ(pEvent->Set(), ERROR_SUCCESS);
    EXPECT_EQ(pEvent->Wait(0), WAIT_OBJECT_0);
    EXPECT_EQ(pEvent->Wait(INFINITE), WAIT_OBJECT_0);
    ASSERT_EQ(pEvent->Reset(), ERROR_SUCCESS);
    EXPECT_EQ(pEvent->Wait(0), WAIT_TIMEOUT);
    // Setting twice still needs only one reset.
    pEvent->Set();
    pEvent->Set();
    pEvent->Reset();
    EXPECT_EQ(pEvent->Wait(0), WAIT_TIMEOUT);
}

TEST(ManualEventTest, SetOnAnotherThreadWakesAnEndlessWait) {
    std::unique_ptr<CManualEvent> pEvent;
    ASSERT_EQ(CManualEvent::Create(&pEvent), ERROR_SUCCESS);
    std::thread setter([&pEvent] { pEvent->Set(); });
    EXPECT_EQ(pEvent->Wait(INFINITE), WAIT_OBJECT_0);
    setter.join();
}

DWORD WaitForEventThenReturn42(void* pArg) {
    static_cast<CManualEvent*>(pArg)->Wait(INFINITE);
    return 42;
}

TEST(ThreadTest, WaitReportsTheEndAndTheExitCode) {
    std::unique_ptr<CManualEvent> pGo;
    ASSERT_EQ(CManualEvent::Create(&pGo), ERROR_SUCCESS);
    std::unique_ptr<CThread> pThread;
    ASSERT_EQ(CThread::Start(&WaitForEventThenReturn42, pGo.get(), &pThread), ERROR_SUCCESS);
    EXPECT_EQ(pThread->Wait(30), WAIT_TIMEOUT);
    std::uint64_t nCpu = 0;
    EXPECT_EQ(pThread->GetCpuTimeNs(&nCpu), ERROR_SUCCESS);
    pGo->Set();
    EXPECT_EQ(pThread->Wait(INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(pThread->GetExitCode(), 42u);
    EXPECT_EQ(pThread->Wait(0), WAIT_OBJECT_0);
}

struct CSelfWait {
    std::unique_ptr<CThread> pThread;
    std::unique_ptr<CManualEvent> pStarted;
    DWORD dwResult = 0;
};

DWORD WaitForOwnEnd(void* pArg) {
    auto* pSelf = static_cast<CSelfWait*>(pArg);
    pSelf->pStarted->Wait(INFINITE);
    pSelf->dwResult = pSelf->pThread->Wait(INFINITE);
    return 0;
}

TEST(ThreadTest, AThreadWaitingForItselfFailsInsteadOfHanging) {
    CSelfWait self;
    ASSERT_EQ(CManualEvent::Create(&self.pStarted), ERROR_SUCCESS);
    ASSERT_EQ(CThread::Start(&WaitForOwnEnd, &self, &self.pThread), ERROR_SUCCESS);
    self.pStarted->Set();
    ASSERT_EQ(self.pThread->Wait(INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(self.dwResult, WAIT_FAILED);
}

TEST(MessageQueueTest, DeliversInOrderAcrossThreads) {
    CMessageQueue queue;
    CMessage message;
    EXPECT_FALSE(queue.Get(&message, 0));
    std::thread poster([&queue] {
        for (int i = 0; i < 1000; ++i) {
            queue.Post(0xC123, static_cast<WPARAM>(i), -i);
        }
    });
    for (int i = 0; i < 1000; ++i) {
        ASSERT_TRUE(queue.Get(&message, INFINITE));
        EXPECT_EQ(message.nMessage, 0xC123u);
        EXPECT_EQ(message.wParam, static_cast<WPARAM>(i));
        EXPECT_EQ(message.lParam, -i);
    }
    poster.join();
    EXPECT_EQ(queue.GetCount(), 0u);
}

} // namespace
