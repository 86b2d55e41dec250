#include "commands/CommandIds.h"
#include "session/AcquisitionSession.h"
#include "view/KovraPlotterView.h"

#include "AppTestSupport.h"
#include "PlotData.h"
#include "PortNames.h"
#include "SerialWnd.h"

#include <QAction>

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <thread>
#include <tuple>
#include <unistd.h>

namespace {

std::vector<float> Channel(int i) {
    std::vector<float> values;
    for (int j = 0; j < g_pPlotData->GetSampleCount(i); ++j) {
        values.push_back(g_pPlotData->GetSample(i, j));
    }
    return values;
}

// A program connected to a pseudo-terminal that the test writes to.
struct CConnectedApp {
    CConnectedApp() {
        SetPortMapping("COM1", terminal.Path().c_str());
        app.Frame().Action(ID_CONNECTION_CONNECT)->trigger();
    }
    CPtyPair terminal;
    CAppFixture app;
};

// The first update puts every start value in place, whatever the fields held before.
TEST(AcquisitionGlueTest, StartsWithTheDefaults) {
    CKovraPlotterView view;
    SPlotSettings& plot = view.Plot();
    plot = {40.0f, true, 7, 9.0f, 8.0f, true, 3.0f, -3.0f, true};
    CAcquisitionSession& session = view.Session();
    session.m_nPort = session.m_nSpeed = session.m_nTypedSpeed = 3;
    session.m_nStopBits = session.m_nParity = 1;
    session.m_bConnected = true;
    session.m_eBoardFormat = EBoardFormat::kLines;
    session.m_bCollecting = false;
    view.OnInitialUpdate();
    EXPECT_EQ(std::make_tuple(plot.m_fPointsPerDiv, plot.m_bDoublePpdAtMax, plot.m_nScrollBack,
                              plot.m_fYMax, plot.m_fYMin, plot.m_bAutoScale, plot.m_fAutoMax,
                              plot.m_fAutoMin, plot.m_bKeepCollectingWhenScrolled),
              std::make_tuple(5.0f, false, 0, 2.5f, -2.5f, false, 0.0f, 0.0f, false));
    EXPECT_EQ(std::make_tuple(session.m_nPort, session.m_nSpeed, session.m_nTypedSpeed,
                              session.m_nStopBits, session.m_nParity, session.m_bConnected,
                              session.m_eBoardFormat, session.m_bCollecting),
              std::make_tuple(0, 1, 0, 0, 0, false, EBoardFormat::kHashSets, true));
    ASSERT_NE(g_pPlotData, nullptr);
    EXPECT_EQ(g_pPlotData->m_cLimiter, '#');
    EXPECT_EQ(g_pPlotData->GetColor(2), 4);
    view.DestroyWindow();
    EXPECT_EQ(g_pPlotData, nullptr);
}

// A port whose reads fail, as a device in trouble does.
class CFailingSerial : public CSerialWnd {
public:
    int Read(void*, DWORD, DWORD* pnRead, OVERLAPPED*, DWORD) override {
        *pnRead = 0;
        return 31;
    }
};

TEST(AcquisitionGlueTest, EndingTheProgramWhileTheReadErrorIsShownStopsTheRead) {
    CAppFixture app;
    delete g_pSerial;
    g_pSerial = new CFailingSerial;
    app.View().Session().m_bConnected = true;
    app.m_dialogs.m_fnDuringModal = [&app] { app.View().DestroyWindow(); };
    app.View().Session().OnSerialMsg(MAKEWPARAM(EV_RXCHAR, 0), 0);
    EXPECT_EQ(app.m_dialogs.m_vNotified, std::vector<QString>{"read error"});
    EXPECT_EQ(g_pPlotData, nullptr);
}

TEST(AcquisitionGlueTest, ABurstLongerThanOneReadIsTakenWhole) {
    CConnectedApp connected;
    ASSERT_TRUE(connected.app.View().Session().m_bConnected);
    std::string strBurst;
    for (int k = 0; strBurst.size() < 1000; ++k) {
        strBurst += std::to_string(k) + " " + std::to_string(-k) + "#\r\n";
    }
    const int nSets = static_cast<int>(std::count(strBurst.begin(), strBurst.end(), '#'));
    connected.terminal.Send(strBurst);
    // Nothing more is sent: every set must arrive from the one burst.
    ASSERT_TRUE(CAppFixture::WaitFor([&] { return g_pPlotData->GetSampleCount(0) == nSets; }));
    EXPECT_EQ(g_pPlotData->GetSample(0, nSets - 1), static_cast<float>(nSets - 1));
    EXPECT_EQ(g_pPlotData->GetSample(1, nSets - 1), static_cast<float>(1 - nSets));
}

// A port that is never empty until nTotal bytes of sets were read.
class CFloodingSerial : public CSerialWnd {
public:
    explicit CFloodingSerial(std::size_t nTotal) : m_nLeft(nTotal) {}
    int Read(void* pBuffer, DWORD nSize, DWORD* pnRead, OVERLAPPED*, DWORD) override {
        static const std::string strSets = "1 2 3 4#5 6 7 8#";
        DWORD n = 0;
        for (; n < nSize && m_nLeft > 0; ++n, --m_nLeft) {
            static_cast<char*>(pBuffer)[n] = strSets[m_nRead++ % strSets.size()];
        }
        *pnRead = n;
        return 0;
    }
    std::size_t m_nLeft;
    std::size_t m_nRead = 0;
};

TEST(AcquisitionGlueTest, AFloodingDeviceLeavesTheWindowResponsiveAndLosesNothing) {
    CAppFixture app;
    constexpr std::size_t kTotal = 1 << 20; // a whole number of 16-byte pairs of sets
    auto* pSerial = new CFloodingSerial(kTotal);
    delete g_pSerial;
    g_pSerial = pSerial;
    app.View().Session().m_bConnected = true;
    // One notification reads a share and hands the rest on, rather than taking it all.
    app.View().Session().OnSerialMsg(MAKEWPARAM(EV_RXCHAR, 0), 0);
    const std::size_t nLeft = pSerial->m_nLeft;
    EXPECT_GT(nLeft, 0u);
    // The notifications the port makes meanwhile, queued before the hand-over, leave the
    // reading to it: otherwise each would be another long read before the paint and input.
    for (int i = 0; i < 20; ++i) {
        app.View().Session().OnSerialMsg(MAKEWPARAM(EV_RXCHAR, 0), 0);
    }
    EXPECT_EQ(pSerial->m_nLeft, nLeft);
    ASSERT_TRUE(CAppFixture::WaitFor([&] { return pSerial->m_nLeft == 0; }));
    CAppFixture::Pump(50);
    EXPECT_EQ(g_pPlotData->GetTotalSampleCount(), static_cast<int>(kTotal / 16 * 8));
    app.View().Session().m_bConnected = false;
}

// What waited in the port when the device went away is read to its end before the port
// closes, however much it is: nothing would read it later.
TEST(AcquisitionGlueTest, ADeviceThatGoesAwayHasAllItSentReadFirst) {
    CPtyPair terminal;
    CAppFixture app;
    constexpr std::size_t kTotal = 1 << 20;
    auto* pSerial = new CFloodingSerial(kTotal);
    delete g_pSerial;
    g_pSerial = pSerial;
    SetPortMapping("COM1", terminal.PathText());
    ASSERT_TRUE(app.View().Session().OpenSerialPort());
    app.View().Session().OnSerialMsg(MAKEWPARAM(EV_KOVRA_DEVICE_GONE, 0),
                                     app.View().Session().Connection().lNumber);
    EXPECT_EQ(pSerial->m_nLeft, 0u);
    EXPECT_EQ(g_pPlotData->GetTotalSampleCount(), static_cast<int>(kTotal / 16 * 8));
    EXPECT_FALSE(app.View().Session().m_bConnected);
    EXPECT_EQ(app.Status(), "Error: port closed by the device..");
}

TEST(AcquisitionGlueTest, BytesReceivedWhilePausedAreDropped) {
    CConnectedApp connected;
    connected.terminal.Send("1 2");
    CAppFixture::Pump(200);
    connected.app.Frame().Action(ID_OTHER_TOGGLEPLOT)->trigger();
    connected.terminal.Send("99 98 97#");
    CAppFixture::Pump(300);
    EXPECT_EQ(g_pPlotData->GetTotalSampleCount(), 0);
    // What the pause tore is not joined to what comes after it: the set and the number
    // half received before the pause are dropped ("2" and "6" would make "26").
    connected.app.Frame().Action(ID_OTHER_TOGGLEPLOT)->trigger();
    connected.terminal.Send("6 7#");
    ASSERT_TRUE(CAppFixture::WaitFor([] { return g_pPlotData->GetSampleCount(0) == 1; }));
    EXPECT_EQ(Channel(0), std::vector<float>{6.0f});
    EXPECT_EQ(Channel(1), std::vector<float>{7.0f});
    EXPECT_EQ(g_pPlotData->m_nLastSetCount, 2);
}

TEST(AcquisitionGlueTest, OnlyReceivedDataNotificationsAreRead) {
    CConnectedApp connected;
    CKovraPlotterView& view = connected.app.View();
    connected.terminal.Send("4 5#6 7#");
    ASSERT_TRUE(CAppFixture::WaitFor([] { return g_pPlotData->GetSampleCount(0) == 2; }));
    // Notifications handled here without running the event loop: one that reports an error
    // or a break with the data reads nothing; the next plain one reads what waits.
    connected.terminal.Send("8 9#");
    usleep(100000);
    view.Session().OnSerialMsg(MAKEWPARAM(EV_RXCHAR | EV_ERR, CE_FRAME), 0);
    view.Session().OnSerialMsg(MAKEWPARAM(EV_BREAK, 0), 0);
    EXPECT_EQ(g_pPlotData->GetSampleCount(0), 2);
    view.Session().OnSerialMsg(MAKEWPARAM(EV_RXCHAR, 0), 0);
    EXPECT_EQ(g_pPlotData->GetSampleCount(0), 3);
}

TEST(AcquisitionGlueTest, NulBytesFromTheBoardLoseNothing) {
    CConnectedApp connected;
    std::string strBurst;
    for (int k = 0; k < 23; ++k) {
        strBurst += std::to_string(k) + " " + std::to_string(k + 1) + std::string("#\r\n\0", 4);
    }
    connected.terminal.Send(strBurst);
    ASSERT_TRUE(CAppFixture::WaitFor([] { return g_pPlotData->GetSampleCount(0) == 23; }));
    EXPECT_EQ(g_pPlotData->GetSample(1, 22), 23.0f);
}

TEST(AcquisitionGlueTest, ConnectingAgainStartsAFreshSet) {
    CConnectedApp connected;
    connected.terminal.Send("1 2 3#\r\n10 20 3");
    ASSERT_TRUE(CAppFixture::WaitFor([] { return g_pPlotData->GetSampleCount(0) == 1; }));
    CAppFixture::Pump(100);
    connected.app.Frame().Action(ID_CONNECTION_DISCONNECT)->trigger();
    connected.app.Frame().Action(ID_CONNECTION_CONNECT)->trigger();
    ASSERT_TRUE(connected.app.View().Session().m_bConnected);
    connected.terminal.Send("4 5 6#");
    ASSERT_TRUE(CAppFixture::WaitFor([] { return g_pPlotData->GetSampleCount(0) == 2; }));
    EXPECT_EQ(Channel(0), (std::vector<float>{1.0f, 4.0f}));
    EXPECT_EQ(Channel(2), (std::vector<float>{3.0f, 6.0f}));
    EXPECT_EQ(g_pPlotData->GetSampleCount(3), 0);
}

TEST(AcquisitionGlueTest, ABoardPrintingLinesGetsAHintAndIsPlottedWhenLinesEndSets) {
    CConnectedApp connected;
    CKovraPlotterView& view = connected.app.View();
    const QString strHint = QStringLiteral("Receiving data, but no set has ended: the board ends "
                                           "its lines without '#' (Port Setup can read one set "
                                           "per line)");
    // One reading a line, ten lines a second, no '#'.
    for (int k = 0; k < 40 && connected.app.Status() != strHint; ++k) {
        connected.terminal.Send("1.5 -2 3\r\n");
        CAppFixture::Pump(100);
    }
    EXPECT_EQ(connected.app.Status(), strHint);
    EXPECT_EQ(g_pPlotData->GetTotalSampleCount(), 0);

    view.Session().SetBoardFormat(EBoardFormat::kLines);
    connected.terminal.Send("4 5 6\r\n7 8 9\r\n");
    ASSERT_TRUE(CAppFixture::WaitFor([] { return g_pPlotData->GetSampleCount(0) == 2; }));
    EXPECT_EQ(Channel(0), (std::vector<float>{4.0f, 7.0f}));
    EXPECT_EQ(Channel(2), (std::vector<float>{6.0f, 9.0f}));

    // The view's setting, as loaded settings leave it, reaches the store with the next port.
    connected.app.Frame().Action(ID_CONNECTION_DISCONNECT)->trigger();
    view.Session().m_eBoardFormat = EBoardFormat::kHashSets;
    connected.app.Frame().Action(ID_CONNECTION_CONNECT)->trigger();
    EXPECT_EQ(g_pPlotData->GetBoardFormat(), EBoardFormat::kHashSets);
}

TEST(AcquisitionGlueTest, TheStatusBarTellsOfDroppedValues) {
    CConnectedApp connected;
    connected.app.View().Session().SetBoardFormat(EBoardFormat::kLines);
    connected.terminal.Send("1,2,3,4,5,6,7,8,9,10,11,12,13,14\r\n");
    EXPECT_TRUE(CAppFixture::WaitFor([&] {
        return connected.app.Status() == "A set held 14 values: only 10 channels are kept";
    }));
}

TEST(AcquisitionGlueTest, NewAsksBeforeClearing) {
    CAppFixture app;
    g_pPlotData->Interpret("1 2 3#");
    g_pPlotData->SetSoundEnabled(0, true);
    g_pPlotData->SetColor(0, 5);
    app.m_dialogs.m_vConfirmAnswers = {false, true};
    app.Frame().Action(ID_FILE_NEW)->trigger();
    EXPECT_EQ(g_pPlotData->GetTotalSampleCount(), 3);
    app.Frame().Action(ID_FILE_NEW)->trigger();
    EXPECT_EQ(g_pPlotData->GetTotalSampleCount(), 0);
    EXPECT_EQ(g_pPlotData->m_nLastSetCount, 0);
    EXPECT_FALSE(g_pPlotData->GetSoundEnabled(0));
    EXPECT_EQ(g_pPlotData->GetColor(0), 5);
    EXPECT_EQ(app.m_dialogs.m_vAsked.back(), "Are you sure you want to teamkill all data?");
}

TEST(AcquisitionGlueTest, TestSetsFollowTheGenerator) {
    CAppFixture app;
    g_fTestPhase1 = 0.0f;
    g_fTestPhase2 = 0.0f;
    app.View().Plot().m_nScrollBack = 7;
    for (int k = 0; k < 3; ++k) {
        app.View().GenerateTestSet();
    }
    EXPECT_EQ(Channel(0), (std::vector<float>{0.0f, 0.2f, 0.4f}));
    EXPECT_EQ(Channel(1), (std::vector<float>{0.0f, 0.05f, 0.1f}));
    EXPECT_EQ(Channel(2), (std::vector<float>{-1.0f, -1.0f, -1.0f}));
    EXPECT_EQ(app.View().Plot().m_nScrollBack, 0);
    // The square wave turns positive with the twelfth set.
    for (int k = 3; k < 12; ++k) {
        app.View().GenerateTestSet();
    }
    EXPECT_EQ(g_pPlotData->GetSample(2, 10), -1.0f);
    EXPECT_EQ(g_pPlotData->GetSample(2, 11), 1.0f);
}

TEST(AcquisitionGlueTest, TeardownClosesEverythingAndKeepsAUsersLog) {
    {
        std::ofstream existing("debug.txt");
        existing << "a user's own notes\n";
    }
    // ThreadSanitizer starts a helper thread of its own with the first thread a program starts.
    std::thread([] {}).join();
    const int nThreadsBefore = ThreadCount();
    {
        CConnectedApp connected;
        ASSERT_TRUE(connected.app.View().Session().m_bConnected);
        EXPECT_GT(ThreadCount(), nThreadsBefore);
    }
    EXPECT_EQ(ThreadCount(), nThreadsBefore);
    EXPECT_EQ(g_pPlotData, nullptr);
    EXPECT_EQ(g_pSerial, nullptr);
    std::ifstream log("debug.txt");
    std::stringstream contents;
    contents << log.rdbuf();
    EXPECT_EQ(contents.str(), "a user's own notes\n");
    std::remove("debug.txt");
    { CAppFixture app; }
    std::ifstream created("debug.txt", std::ios::ate);
    ASSERT_TRUE(created.is_open());
    EXPECT_EQ(created.tellg(), 0);
}

} // namespace
