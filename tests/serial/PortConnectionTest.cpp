#include "PortConnection.h"
#include "FakeSysfs.h"
#include "KernelTtySpeed.h"
#include "PortChoice.h"
#include "PortDiscovery.h"
#include "PortNames.h"
#include "SerialTestSupport.h"

#include <gtest/gtest.h>

namespace {

// The list's own texts and values are checked through the dialog (tests/app); here what lies
// around them.
TEST(PortChoiceTest, PositionsOutsideTheListsAndTypedSpeeds) {
    EXPECT_EQ(SpeedOfChoice(-1, 0), 9600u);
    EXPECT_EQ(SpeedOfChoice(14, 0), 9600u);
    EXPECT_EQ(SpeedOfChoice(1, 74880), 74880u); // a typed speed wins
    EXPECT_EQ(PortOfChoice(4), nullptr);
    EXPECT_EQ(PortOfChoice(-1), nullptr);
    EXPECT_EQ(ParityOfChoice(3), NOPARITY);
    EXPECT_EQ(StopBitsOfChoice(2), ONESTOPBIT);

    int nSpeed = 0;
    int nTyped = 0;
    ChooseSpeed(115200, &nSpeed, &nTyped);
    EXPECT_EQ(std::make_pair(nSpeed, nTyped), std::make_pair(5, 0));
    ChooseSpeed(74880, &nSpeed, &nTyped);
    EXPECT_EQ(std::make_pair(nSpeed, nTyped), std::make_pair(-1, 74880));
}

TEST(PortChoiceTest, ASpeedIsAWholePositiveNumberWithAnOptionalUnit) {
    for (const auto& [szText, dwExpected] :
         std::vector<std::pair<const char*, DWORD>>{{"115200", 115200},
                                                    {" 250000 bps ", 250000},
                                                    {"74880BPS", 74880},
                                                    {"2147483647", 2147483647}}) {
        DWORD dwSpeed = 0;
        EXPECT_TRUE(ParseSpeedText(szText, &dwSpeed)) << szText;
        EXPECT_EQ(dwSpeed, dwExpected) << szText;
    }
    for (const char* szBad : {"", " ", "bps", "0", "0 bps", "-9600", "12.5", "115200 baud",
                              "0x1C200", "2147483648", "99999999999999999999999"}) {
        DWORD dwSpeed = 77;
        EXPECT_FALSE(ParseSpeedText(szBad, &dwSpeed)) << szBad;
        EXPECT_EQ(dwSpeed, 77u) << szBad;
    }
}

class PortConnectionTest : public ::testing::Test {
protected:
    void SetUp() override {
        ClearPortMappings();
        ASSERT_TRUE(SetPortMapping("COM2", m_pty.PathText()));
    }
    void TearDown() override { ClearPortMappings(); }

    CPtyPair m_pty;
    CSerialWnd m_serial;
    CMessageQueue m_queue;
    std::string m_strReason;
};

TEST_F(PortConnectionTest, ConnectsWithTheChosenSettings) {
    CPortSelection selection;
    selection.nPort = 1;
    selection.nSpeed = 7; // 250000 bps
    ASSERT_TRUE(ConnectPort(m_serial, &m_queue, selection, &m_strReason)) << m_strReason;
    EXPECT_EQ(KernelTtySpeed(m_pty.Slave()), 250000u);
    EXPECT_EQ(m_pty.Settings().c_cflag & CSTOPB, 0u);
    m_serial.Close();

    selection.nTypedSpeed = 74880;
    selection.nStopBits = 1;
    ASSERT_TRUE(ConnectPort(m_serial, &m_queue, selection, &m_strReason)) << m_strReason;
    EXPECT_EQ(KernelTtySpeed(m_pty.Slave()), 74880u);
    EXPECT_NE(m_pty.Settings().c_cflag & CSTOPB, 0u);
    EXPECT_TRUE(m_strReason.empty());
}

TEST_F(PortConnectionTest, EachFailureSaysWhyAndLeavesThePortClosed) {
    CPortSelection selection;
    selection.nPort = 1;
    {
        CSerialWnd other;
        ASSERT_EQ(other.Open(m_pty.PathText(), &m_queue, 0, 0, 0, 0), ERROR_SUCCESS);
        EXPECT_FALSE(ConnectPort(m_serial, &m_queue, selection, &m_strReason));
        EXPECT_EQ(m_strReason, m_pty.Path() + " is used by another program");
    }
    selection.nPort = 2;
    EXPECT_FALSE(ConnectPort(m_serial, &m_queue, selection, &m_strReason));
    EXPECT_EQ(m_strReason, "no device is behind COM3");
    selection.nPort = 4;
    EXPECT_FALSE(ConnectPort(m_serial, &m_queue, selection, &m_strReason));
    EXPECT_EQ(m_strReason, "no port is chosen");

    selection.nPort = 1;
    selection.nSpeed = 7;
    SetTtyStateWriter(&WriteAtMost115200);
    const bool bConnected = ConnectPort(m_serial, &m_queue, selection, &m_strReason);
    SetTtyStateWriter(nullptr);
    EXPECT_FALSE(bConnected);
    EXPECT_EQ(m_strReason, m_pty.Path() + " refused 250000 bps");
    // Closed again: the next try opens it.
    selection.nSpeed = 5;
    EXPECT_TRUE(ConnectPort(m_serial, &m_queue, selection, &m_strReason)) << m_strReason;
    EXPECT_EQ(KernelTtySpeed(m_pty.Slave()), 115200u);
}

// Connect looks the ports up again: a board plugged in after the start connects at the first
// Connect, and a name whose board is gone says so.
TEST(PortLookUpTest, ConnectFindsABoardPluggedInSinceTheStart) {
    CFakeSysfs sysfs;
    setenv("KOVRA_SYSFS_ROOT", sysfs.Root().c_str(), 1);
    ClearPortMappings();
    RediscoverPorts();
    CPtyPair board;
    sysfs.AddUsbDevice("usb1/1-1", "Kovra", "Board", "K0VRA-17");
    sysfs.AddTty("ttyACM0", "usb1/1-1/1-1:1.0", board.Path().substr(5));
    CSerialWnd serial;
    CMessageQueue queue;
    std::string strReason;
    SConnection connection;
    const CPortSelection selection;
    const bool bConnected = ConnectChosenPort(serial, &queue, selection, &strReason, &connection);
    serial.Close();
    sysfs.RemoveTty("ttyACM0");
    const bool bConnectedWhenGone =
        ConnectChosenPort(serial, &queue, selection, &strReason, &connection);
    unsetenv("KOVRA_SYSFS_ROOT");
    ClearPortMappings();
    EXPECT_TRUE(bConnected);
    EXPECT_EQ(connection.strDevice, board.Path());
    EXPECT_EQ(connection.identity.strUsbSerial, "K0VRA-17");
    EXPECT_FALSE(bConnectedWhenGone);
    EXPECT_EQ(strReason, "no device is behind COM1");
}

// The device-gone notice of a port closed since must not close the port open now.
TEST_F(PortConnectionTest, ALateNoticeIsKnownForOneOfAnEarlierConnection) {
    CPtyPair gone;
    ASSERT_TRUE(SetPortMapping("COM1", gone.PathText()));
    CPortSelection selection;
    SConnection first;
    SConnection second;
    ASSERT_TRUE(ConnectChosenPort(m_serial, &m_queue, selection, &m_strReason, &first));
    gone.CloseMaster();
    CMessage notice;
    ASSERT_TRUE(m_queue.Get(&notice, 10000));
    ASSERT_NE(LOWORD(notice.wParam) & EV_KOVRA_DEVICE_GONE, 0u);
    m_serial.Close();
    selection.nPort = 1;
    ASSERT_TRUE(ConnectChosenPort(m_serial, &m_queue, selection, &m_strReason, &second));
    EXPECT_EQ(notice.lParam, first.lNumber);
    EXPECT_GE(first.lNumber, 256); // the view's own messages use small numbers
    EXPECT_FALSE(m_serial.IsCurrentConnection(notice.lParam));
    EXPECT_TRUE(m_serial.IsCurrentConnection(second.lNumber));
}

} // namespace
