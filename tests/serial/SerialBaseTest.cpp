#include "SerialBase.h"
#include "KernelTtySpeed.h"
#include "PortNames.h"
#include "PtyPair.h"
#include "SerialListener.h"
#include "SerialTestSupport.h"
#include "TtyState.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

namespace {

class CTestSerialBase : public CSerialBase {
public:
    COMMTIMEOUTS Timeouts() {
        COMMTIMEOUTS timeouts;
        m_hPort->GetTimeouts(&timeouts);
        return timeouts;
    }
    DCB State() {
        DCB dcb;
        m_hPort->GetState(&dcb);
        return dcb;
    }
};

// A driver that keeps parity, which a pseudo-terminal clears whatever it is given.
CTtyState g_written;
int RecordState(int hFd, const CTtyState& state) {
    g_written = state;
    return WriteTtyStateToDriver(hFd, state);
}

class CIdleListener : public CSerialListener {
public:
    ~CIdleListener() override { Close(); }
    void OnSerialEvent(DWORD, DWORD) override {}
};

TEST(SerialClosedTest, EveryOperationOnAClosedPortGives6) {
    CSerialBase port;
    char buffer[4];
    DWORD nCount = 77;
    EXPECT_EQ(port.Read(buffer, sizeof buffer, &nCount, nullptr, INFINITE), ERROR_INVALID_HANDLE);
    EXPECT_EQ(nCount, 0u);
    nCount = 77;
    EXPECT_EQ(port.Write("x", &nCount, nullptr, INFINITE), ERROR_INVALID_HANDLE);
    EXPECT_EQ(nCount, 0u);
    EXPECT_EQ(port.Configure(9600, 8, 0, 0), ERROR_INVALID_HANDLE);
    EXPECT_EQ(port.SetReadMode(0), ERROR_INVALID_HANDLE);
    EXPECT_EQ(port.WaitForEvent(nullptr, INFINITE), ERROR_INVALID_HANDLE);
    EXPECT_EQ(port.SetWatchMask(EV_RXCHAR), ERROR_INVALID_HANDLE);
    EXPECT_EQ(port.SetFlowControl(0), ERROR_INVALID_HANDLE);
    EXPECT_EQ(port.SetEventCharacter('#', true), ERROR_INVALID_HANDLE);
    EXPECT_EQ(port.GetWatchMask(), 0u);
    EXPECT_EQ(port.GetBaudRate(), -1);
    EXPECT_EQ(port.GetDataBits(), -1);
    EXPECT_EQ(port.GetParity(), -1);
    EXPECT_EQ(port.GetStopBits(), -1);
    EXPECT_EQ(port.GetFlowControl(), -1);
    EXPECT_EQ(port.GetEventCharacter(), '\0');
    EXPECT_EQ(port.TakeEvents(), 0u);
    EXPECT_EQ(port.Close(), ERROR_SUCCESS);

    CIdleListener listener;
    EXPECT_EQ(listener.StartListening(), ERROR_INVALID_HANDLE);
    EXPECT_EQ(listener.StopListening(INFINITE), ERROR_SUCCESS);
    EXPECT_EQ(listener.Close(), ERROR_SUCCESS);
}

TEST(SerialOpenTest, AMissingDeviceGives2AndLeavesThePortClosed) {
    ClearPortMappings();
    CPtyPair pty;
    CSerialBase port;
    EXPECT_EQ(port.Open("/dev/kovra-no-such-port", 0, 0, true), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(port.Open("COM3", 0, 0, true), ERROR_FILE_NOT_FOUND);
    char buffer[4];
    EXPECT_EQ(port.Read(buffer, sizeof buffer, nullptr, nullptr, INFINITE), ERROR_INVALID_HANDLE);
    EXPECT_EQ(port.Open(pty.PathText(), 0, 0, true), ERROR_SUCCESS);
}

TEST(SerialOpenTest, ASecondOpenGives1247AndKeepsTheFirstPort) {
    CPtyPair first;
    CPtyPair second;
    CSerialBase port;
    ASSERT_EQ(port.Open(first.PathText(), 0, 0, true), ERROR_SUCCESS);
    EXPECT_EQ(port.Open(second.PathText(), 0, 0, true), ERROR_ALREADY_INITIALIZED);
    ASSERT_TRUE(first.Send("still here"));
    ASSERT_TRUE(WaitForInput(first));
    char buffer[32];
    DWORD nRead = 0;
    ASSERT_EQ(port.Read(buffer, sizeof buffer, &nRead, nullptr, INFINITE), ERROR_SUCCESS);
    EXPECT_EQ(std::string(buffer, nRead), "still here");
    // The second port was never touched.
    CSerialBase other;
    EXPECT_EQ(other.Open(second.PathText(), 0, 0, true), ERROR_SUCCESS);
}

TEST(SerialOpenTest, APortOpenElsewhereCannotBeOpened) {
    CPtyPair pty;
    CSerialBase owner;
    CSerialBase intruder;
    ASSERT_EQ(owner.Open(pty.PathText(), 0, 0, true), ERROR_SUCCESS);
    EXPECT_EQ(intruder.Open(pty.PathText(), 0, 0, true), ERROR_ACCESS_DENIED);
    EXPECT_EQ(intruder.SetReadMode(0), ERROR_INVALID_HANDLE);
    owner.Close();
    EXPECT_EQ(intruder.Open(pty.PathText(), 0, 0, true), ERROR_SUCCESS);
}

TEST(SerialOpenTest, ComNamesGoThroughThePortMap) {
    CPtyPair pty;
    ASSERT_TRUE(SetPortMapping("COM2", pty.PathText()));
    CSerialBase port;
    EXPECT_EQ(port.Open("COM2", 0, 0, true), ERROR_SUCCESS);
    ClearPortMappings();
}

TEST(SerialOpenTest, OpenLeavesThePortWithItsDefaults) {
    CPtyPair pty;
    termios tio = pty.Settings();
    cfsetospeed(&tio, B38400);
    cfsetispeed(&tio, B38400);
    tio.c_cflag |= CSTOPB | CRTSCTS;
    tio.c_iflag |= INPCK | IXON;
    tcsetattr(pty.Slave(), TCSANOW, &tio);

    CSerialBase port;
    ASSERT_EQ(port.Open(pty.PathText(), 0, 0, true), ERROR_SUCCESS);
    tio = pty.Settings();
    EXPECT_EQ(cfgetospeed(&tio), static_cast<speed_t>(B9600));
    EXPECT_EQ(tio.c_cflag & (CSTOPB | CRTSCTS), 0u);
    EXPECT_EQ(tio.c_iflag & IXON, 0u);
    EXPECT_EQ(port.GetBaudRate(), 9600);
    EXPECT_EQ(port.GetDataBits(), 8);
    EXPECT_EQ(port.GetParity(), 0);
    EXPECT_EQ(port.GetStopBits(), 0);
    EXPECT_EQ(port.GetFlowControl(), 0);
    EXPECT_EQ(port.GetWatchMask(), EV_RXCHAR | EV_BREAK | EV_ERR);
}

class SerialBaseTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_pty.IsOpen());
        ASSERT_EQ(m_port.Open(m_pty.PathText(), 0, 0, true), ERROR_SUCCESS);
    }

    std::string Read(DWORD nSize = 100, DWORD dwTimeoutMs = INFINITE, int nExpected = 0) {
        char buffer[100];
        DWORD nRead = 12345;
        EXPECT_EQ(m_port.Read(buffer, nSize, &nRead, nullptr, dwTimeoutMs), nExpected);
        return nRead <= sizeof buffer ? std::string(buffer, nRead) : "<bad count>";
    }

    CPtyPair m_pty;
    CTestSerialBase m_port;
};

TEST_F(SerialBaseTest, ReadModeZeroReturnsAtOnceWithWhatHasArrived) {
    EXPECT_EQ(Read(), "");
    ASSERT_TRUE(m_pty.Send("1.5 -2 3#"));
    ASSERT_TRUE(WaitForInput(m_pty));
    EXPECT_EQ(Read(4), "1.5 ");
    EXPECT_EQ(Read(), "-2 3#");
    ASSERT_TRUE(m_pty.Send("7"));
    ASSERT_TRUE(WaitForInput(m_pty));
    char c = 0;
    EXPECT_EQ(m_port.Read(&c, 1, nullptr, nullptr, INFINITE), ERROR_SUCCESS);
    EXPECT_EQ(c, '7');
}

TEST_F(SerialBaseTest, AnUnknownReadModeIsRefusedAndChangesNothing) {
    ASSERT_EQ(m_port.SetReadMode(1), ERROR_SUCCESS);
    EXPECT_EQ(m_port.SetReadMode(2), E_INVALIDARG);
    EXPECT_EQ(m_port.SetReadMode(-1), E_INVALIDARG);
    const COMMTIMEOUTS timeouts = m_port.Timeouts();
    EXPECT_EQ(timeouts.ReadIntervalTimeout, 0u);
    EXPECT_EQ(timeouts.ReadTotalTimeoutMultiplier, 0u);
    EXPECT_EQ(timeouts.ReadTotalTimeoutConstant, 0u);
    ASSERT_EQ(m_port.SetReadMode(0), ERROR_SUCCESS);
    EXPECT_EQ(m_port.Timeouts().ReadIntervalTimeout, MAXDWORD);
}

TEST_F(SerialBaseTest, ReadModeOneWaitsForTheFullCountAndATimeOutKeepsWhatCame) {
    ASSERT_EQ(m_port.SetReadMode(1), ERROR_SUCCESS);
    ASSERT_TRUE(m_pty.Send("abc"));
    EXPECT_EQ(Read(6, 50, ERROR_TIMEOUT), "abc");
    std::thread device([this] { m_pty.Send("defghi"); });
    EXPECT_EQ(Read(6), "defghi");
    device.join();
}

TEST(SerialPlainModeTest, RecordsAndFiniteTimeOutsNeedOverlappedMode) {
    CPtyPair pty;
    CSerialBase port;
    ASSERT_EQ(port.Open(pty.PathText(), 0, 0, false), ERROR_SUCCESS);
    char buffer[8];
    DWORD nCount = 5;
    std::unique_ptr<CManualEvent> pEvent;
    CManualEvent::Create(&pEvent);
    OVERLAPPED record;
    record.hEvent = pEvent.get();
    EXPECT_EQ(port.Read(buffer, sizeof buffer, &nCount, &record, INFINITE), ERROR_INVALID_FUNCTION);
    EXPECT_EQ(nCount, 0u);
    EXPECT_EQ(port.Read(buffer, sizeof buffer, &nCount, nullptr, 100), ERROR_INVALID_FUNCTION);
    EXPECT_EQ(port.Write("x", &nCount, nullptr, 100), ERROR_INVALID_FUNCTION);
    EXPECT_EQ(port.WaitForEvent(nullptr, 100), ERROR_INVALID_FUNCTION);
    EXPECT_EQ(port.WaitForEvent(&record, INFINITE), ERROR_INVALID_FUNCTION);
    EXPECT_TRUE(pty.Receive(1, 50).empty());

    ASSERT_TRUE(pty.Send("ok"));
    ASSERT_TRUE(WaitForInput(pty));
    ASSERT_EQ(port.Read(buffer, sizeof buffer, &nCount, nullptr, INFINITE), ERROR_SUCCESS);
    EXPECT_EQ(std::string(buffer, nCount), "ok");
    ASSERT_EQ(port.Write("back", &nCount, nullptr, INFINITE), ERROR_SUCCESS);
    EXPECT_EQ(pty.Receive(4, 5000), "back");
}

struct CLineCase {
    DWORD dwBaud;
    BYTE nParity;
    BYTE nStopBits;
    speed_t speed;
    bool bOdd;
    bool bTwoStops;
};

TEST_F(SerialBaseTest, ConfigureSetsTheLineOnTheDevice) {
    const CLineCase cases[] = {
        {57600, 2, 2, B57600, false, true}, {2400, 1, 0, B2400, true, false},
        {9600, 0, 0, B9600, false, false},  {38400, 0, 2, B38400, false, true},
        {19200, 1, 2, B19200, true, true},
    };
    for (const CLineCase& c : cases) {
        ASSERT_EQ(m_port.Configure(c.dwBaud, 8, c.nParity, c.nStopBits), ERROR_SUCCESS);
        const termios tio = m_pty.Settings();
        EXPECT_EQ(cfgetospeed(&tio), c.speed) << c.dwBaud;
        EXPECT_EQ((tio.c_cflag & CSTOPB) != 0, c.bTwoStops) << c.dwBaud;
        EXPECT_EQ((tio.c_cflag & PARODD) != 0, c.bOdd) << c.dwBaud;
        EXPECT_EQ(m_port.GetBaudRate(), static_cast<int>(c.dwBaud));
        EXPECT_EQ(m_port.GetStopBits(), c.nStopBits);
    }
    // Speeds beyond the five, with a B constant or without, as the kernel holds them.
    for (const DWORD dwBaud : {115200u, 250000u, 1000000u, 74880u}) {
        ASSERT_EQ(m_port.Configure(dwBaud, 8, 0, 0), ERROR_SUCCESS);
        EXPECT_EQ(KernelTtySpeed(m_pty.Slave()), dwBaud);
        EXPECT_EQ(m_port.GetBaudRate(), static_cast<int>(dwBaud));
    }
}

TEST_F(SerialBaseTest, ConfigureRefusesWhatTheLineCannotDoAndKeepsTheOldSettings) {
    ASSERT_EQ(m_port.Configure(19200, 8, 0, 2), ERROR_SUCCESS);
    EXPECT_EQ(m_port.Configure(9600, 8, 0, 1), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(m_port.Configure(0, 8, 0, 0), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(m_port.Configure(9600, 9, 0, 0), ERROR_INVALID_PARAMETER);
    SetTtyStateWriter(&WriteAtMost115200);
    const int nRefused = m_port.Configure(250000, 8, 0, 0);
    SetTtyStateWriter(nullptr);
    EXPECT_EQ(nRefused, ERROR_INVALID_PARAMETER);
    const termios tio = m_pty.Settings();
    EXPECT_EQ(cfgetospeed(&tio), static_cast<speed_t>(B19200));
    EXPECT_NE(tio.c_cflag & CSTOPB, 0u);
}

// Parity code 0 clears the parity check and asks the line for none; any other code sets the
// check and the line's parity.
TEST_F(SerialBaseTest, TheParityCodeSetsTheLineAndTheParityCheck) {
    const std::pair<BYTE, tcflag_t> cases[] = {{0, 0},
                                               {1, PARENB | PARODD},
                                               {2, PARENB},
                                               {3, PARENB | PARODD | CMSPAR},
                                               {4, PARENB | CMSPAR},
                                               {0, 0}};
    SetTtyStateWriter(&RecordState);
    for (const auto& [nParity, nBits] : cases) {
        EXPECT_EQ(m_port.Configure(9600, 8, nParity, 0), ERROR_SUCCESS);
        EXPECT_EQ(g_written.nCflag & (PARENB | PARODD | CMSPAR), nBits) << int{nParity};
        EXPECT_EQ(m_port.State().fParity, nParity != 0) << int{nParity};
    }
    SetTtyStateWriter(nullptr);
}

TEST_F(SerialBaseTest, FlowControlKinds) {
    ASSERT_EQ(m_port.SetFlowControl(1), ERROR_SUCCESS);
    EXPECT_NE(m_pty.Settings().c_cflag & CRTSCTS, 0u);
    EXPECT_EQ(m_port.GetFlowControl(), 1);
    ASSERT_EQ(m_port.SetFlowControl(2), ERROR_SUCCESS);
    EXPECT_EQ(m_pty.Settings().c_cflag & CRTSCTS, 0u);
    EXPECT_EQ(m_pty.Settings().c_iflag & (IXON | IXOFF), static_cast<tcflag_t>(IXON | IXOFF));
    EXPECT_EQ(m_port.GetFlowControl(), 2);
    EXPECT_EQ(m_port.SetFlowControl(3), E_INVALIDARG);
    EXPECT_EQ(m_port.GetFlowControl(), 2);
    ASSERT_EQ(m_port.SetFlowControl(0), ERROR_SUCCESS);
    EXPECT_EQ(m_port.GetFlowControl(), 0);
}

TEST_F(SerialBaseTest, BothWriteFormsReachTheDevice) {
    DWORD nWritten = 0;
    ASSERT_EQ(m_port.Write("text\r\n", &nWritten, nullptr, INFINITE), ERROR_SUCCESS);
    EXPECT_EQ(nWritten, 6u);
    const char data[] = {'\0', '\x7f', '\xff'};
    ASSERT_EQ(m_port.Write(data, 3, nullptr, nullptr, 1000), ERROR_SUCCESS);
    EXPECT_EQ(m_pty.Receive(9, 5000), std::string("text\r\n\0\x7f\xff", 9));
}

TEST_F(SerialBaseTest, AnEventWaitWithATimeOutEndsWith1460OrTheEvents) {
    // Whatever Open's mask left pending completes first.
    m_port.WaitForEvent(nullptr, 0);
    m_port.TakeEvents();
    EXPECT_EQ(m_port.WaitForEvent(nullptr, 30), ERROR_TIMEOUT);
    std::thread device([this] { m_pty.Send("x"); });
    ASSERT_EQ(m_port.WaitForEvent(nullptr, INFINITE), ERROR_SUCCESS);
    EXPECT_EQ(m_port.TakeEvents(), EV_RXCHAR);
    EXPECT_EQ(m_port.TakeEvents(), 0u);
    device.join();
}

TEST_F(SerialBaseTest, TheEventCharacterJoinsTheMask) {
    ASSERT_EQ(m_port.SetEventCharacter('#', true), ERROR_SUCCESS);
    EXPECT_EQ(m_port.GetWatchMask(), EV_RXCHAR | EV_BREAK | EV_ERR | EV_RXFLAG);
    EXPECT_EQ(m_port.GetEventCharacter(), '#');
    ASSERT_EQ(m_port.SetEventCharacter('\n', false), ERROR_SUCCESS);
    EXPECT_EQ(m_port.GetEventCharacter(), '\n');
}

} // namespace
