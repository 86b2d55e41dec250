#include "SerialDevice.h"
#include "LineSettings.h"
#include "PtyPair.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

namespace {

class SerialDeviceTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_pty.IsOpen());
        ASSERT_EQ(CSerialDevice::Open(m_pty.PathText(), &m_pDevice), ERROR_SUCCESS);
        ASSERT_EQ(CManualEvent::Create(&m_pEvent), ERROR_SUCCESS);
        m_record.hEvent = m_pEvent.get();
    }

    void UseTimeouts(DWORD dwInterval, DWORD dwMultiplier, DWORD dwConstant) {
        COMMTIMEOUTS timeouts;
        timeouts.ReadIntervalTimeout = dwInterval;
        timeouts.ReadTotalTimeoutMultiplier = dwMultiplier;
        timeouts.ReadTotalTimeoutConstant = dwConstant;
        ASSERT_EQ(m_pDevice->SetTimeouts(timeouts), ERROR_SUCCESS);
    }

    // Starts an overlapped event wait; true when it is left pending.
    bool StartWait() {
        m_record = OVERLAPPED{};
        m_record.hEvent = m_pEvent.get();
        m_dwEvents = 0xDEAD;
        return m_pDevice->WaitEvent(&m_dwEvents, &m_record) == ERROR_IO_PENDING;
    }

    CPtyPair m_pty;
    std::unique_ptr<CSerialDevice> m_pDevice;
    std::unique_ptr<CManualEvent> m_pEvent;
    OVERLAPPED m_record;
    DWORD m_dwEvents = 0;
};

TEST(SerialDeviceOpenTest, ReportsWhyAPortCannotBeOpened) {
    std::unique_ptr<CSerialDevice> pDevice;
    EXPECT_EQ(CSerialDevice::Open("/dev/kovra-no-such-port", &pDevice), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(pDevice, nullptr);
    EXPECT_EQ(CSerialDevice::Open("", &pDevice), ERROR_FILE_NOT_FOUND);

    char szFile[] = "/tmp/kovra-not-a-tty-XXXXXX";
    const int hFile = mkstemp(szFile);
    ASSERT_GE(hFile, 0);
    EXPECT_EQ(CSerialDevice::Open(szFile, &pDevice), ERROR_GEN_FAILURE);
    close(hFile);
    unlink(szFile);
}

TEST(SerialDeviceOpenTest, APortIsOpenedOnlyOnceAtATime) {
    CPtyPair pty;
    std::unique_ptr<CSerialDevice> pFirst;
    std::unique_ptr<CSerialDevice> pSecond;
    ASSERT_EQ(CSerialDevice::Open(pty.PathText(), &pFirst), ERROR_SUCCESS);
    EXPECT_EQ(CSerialDevice::Open(pty.PathText(), &pSecond), ERROR_ACCESS_DENIED);
    EXPECT_EQ(pSecond, nullptr);
    pFirst.reset();
    EXPECT_EQ(CSerialDevice::Open(pty.PathText(), &pSecond), ERROR_SUCCESS);
}

TEST_F(SerialDeviceTest, OpensRawAndEmpty) {
    m_pDevice.reset();
    termios cooked = m_pty.Settings();
    cooked.c_lflag |= ICANON | ECHO;
    cooked.c_iflag |= ICRNL;
    tcsetattr(m_pty.Slave(), TCSANOW, &cooked);
    ASSERT_TRUE(m_pty.Send("stale bytes"));
    ASSERT_EQ(CSerialDevice::Open(m_pty.PathText(), &m_pDevice), ERROR_SUCCESS);

    const termios tio = m_pty.Settings();
    EXPECT_EQ(tio.c_lflag & (ICANON | ECHO | ISIG), 0u);
    EXPECT_EQ(tio.c_iflag & (ICRNL | IXON), 0u);
    UseTimeouts(MAXDWORD, 0, 0);
    char buffer[32];
    DWORD nRead = 99;
    EXPECT_EQ(m_pDevice->Read(buffer, sizeof buffer, &nRead, nullptr), ERROR_SUCCESS);
    EXPECT_EQ(nRead, 0u);
    ASSERT_TRUE(m_pty.Send(std::string_view("1.5\r\n#\x00\xff", 8)));
    EXPECT_EQ(m_pDevice->Read(buffer, sizeof buffer, &nRead, nullptr), ERROR_SUCCESS);
    EXPECT_EQ(std::string(buffer, nRead), std::string("1.5\r\n#\x00\xff", 8));
}

// A pseudo-terminal's driver keeps the speed, the stop bits, the parity check and PARODD, but
// forces 8 data bits and clears PARENB: those two are checked on the translation below.
TEST_F(SerialDeviceTest, LineSettingsReachTheDevice) {
    DCB dcb;
    ASSERT_EQ(m_pDevice->GetState(&dcb), ERROR_SUCCESS);
    dcb.BaudRate = 57600;
    dcb.Parity = ODDPARITY;
    dcb.fParity = true;
    dcb.StopBits = TWOSTOPBITS;
    ASSERT_EQ(m_pDevice->SetState(dcb), ERROR_SUCCESS);
    termios tio = m_pty.Settings();
    EXPECT_EQ(cfgetospeed(&tio), static_cast<speed_t>(B57600));
    EXPECT_EQ(cfgetispeed(&tio), static_cast<speed_t>(B57600));
    EXPECT_NE(tio.c_cflag & PARODD, 0u);
    EXPECT_NE(tio.c_cflag & CSTOPB, 0u);
    EXPECT_NE(tio.c_iflag & INPCK, 0u);

    dcb.BaudRate = 2400;
    dcb.Parity = NOPARITY;
    dcb.fParity = false;
    dcb.StopBits = ONESTOPBIT;
    ASSERT_EQ(m_pDevice->SetState(dcb), ERROR_SUCCESS);
    tio = m_pty.Settings();
    EXPECT_EQ(cfgetospeed(&tio), static_cast<speed_t>(B2400));
    EXPECT_EQ(tio.c_cflag & (PARODD | CSTOPB), 0u);
    EXPECT_EQ(tio.c_iflag & INPCK, 0u);
    DCB back;
    ASSERT_EQ(m_pDevice->GetState(&back), ERROR_SUCCESS);
    EXPECT_EQ(back.BaudRate, 2400u);
    EXPECT_EQ(back.StopBits, ONESTOPBIT);
    EXPECT_FALSE(back.fParity);
}

TEST(LineSettingsTest, EverySettingSurvivesTheTripThroughATermios) {
    for (const DWORD dwBaud : {2400u, 9600u, 19200u, 38400u, 57600u, 115200u}) {
        for (BYTE nSize = 5; nSize <= 8; ++nSize) {
            for (BYTE nParity = NOPARITY; nParity <= SPACEPARITY; ++nParity) {
                for (const BYTE nStop : {ONESTOPBIT, TWOSTOPBITS}) {
                    DCB dcb;
                    dcb.BaudRate = dwBaud;
                    dcb.ByteSize = nSize;
                    dcb.Parity = nParity;
                    dcb.fParity = nParity != NOPARITY;
                    dcb.StopBits = nStop;
                    ASSERT_EQ(CheckLineSettings(dcb), ERROR_SUCCESS);
                    termios tio{};
                    LineSettingsToTermios(dcb, &tio);
                    DCB back;
                    LineSettingsFromTermios(tio, &back);
                    EXPECT_EQ(back.BaudRate, dwBaud);
                    EXPECT_EQ(back.ByteSize, nSize);
                    EXPECT_EQ(back.Parity, nParity);
                    EXPECT_EQ(back.fParity, nParity != NOPARITY);
                    EXPECT_EQ(back.StopBits, nStop);
                }
            }
        }
    }
}

TEST(LineSettingsTest, ParityIsCheckedOnlyWhenAskedAndBadBytesAreNeverHidden) {
    DCB dcb;
    dcb.BaudRate = 9600;
    dcb.Parity = EVENPARITY;
    termios tio{};
    tio.c_iflag = IGNPAR | PARMRK;
    LineSettingsToTermios(dcb, &tio);
    EXPECT_EQ(tio.c_cflag & (PARENB | PARODD | CMSPAR), static_cast<tcflag_t>(PARENB));
    // A byte with a parity error is neither dropped (IGNPAR) nor escaped (PARMRK).
    EXPECT_EQ(tio.c_iflag & (INPCK | IGNPAR | PARMRK), 0u);
    dcb.fParity = true;
    LineSettingsToTermios(dcb, &tio);
    EXPECT_NE(tio.c_iflag & INPCK, 0u);
}

TEST_F(SerialDeviceTest, NewCharactersCompleteAWaitButUnreadOnesDoNot) {
    ASSERT_EQ(m_pDevice->SetMask(EV_RXCHAR | EV_BREAK | EV_ERR), ERROR_SUCCESS);
    // The mask change completes the first wait with nothing.
    ASSERT_FALSE(StartWait());
    EXPECT_EQ(m_dwEvents, 0u);
    EXPECT_EQ(m_pEvent->Wait(0), WAIT_OBJECT_0);

    ASSERT_TRUE(StartWait());
    EXPECT_EQ(m_pEvent->Wait(50), WAIT_TIMEOUT);
    ASSERT_TRUE(m_pty.Send("a"));
    ASSERT_EQ(m_pEvent->Wait(INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(m_dwEvents, EV_RXCHAR);
    EXPECT_EQ(m_record.Internal, static_cast<std::uintptr_t>(ERROR_SUCCESS));

    // 'a' is still unread: it does not complete the next wait; a new character does.
    ASSERT_TRUE(StartWait());
    EXPECT_EQ(m_pEvent->Wait(100), WAIT_TIMEOUT);
    ASSERT_TRUE(m_pty.Send("b"));
    ASSERT_EQ(m_pEvent->Wait(INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(m_dwEvents, EV_RXCHAR);
}

TEST_F(SerialDeviceTest, ArrivalsBetweenWaitsCompleteTheNextWaitAtOnce) {
    m_pDevice->SetMask(EV_RXCHAR);
    StartWait();
    m_pEvent->Wait(INFINITE);
    ASSERT_TRUE(m_pty.Send("x"));
    // Give the pseudo-terminal a moment to deliver, then start the wait.
    pollfd pfd{m_pDevice->GetFd(), POLLIN, 0};
    ASSERT_EQ(poll(&pfd, 1, 5000), 1);
    EXPECT_FALSE(StartWait());
    EXPECT_EQ(m_dwEvents, EV_RXCHAR);
}

TEST_F(SerialDeviceTest, SettingTheMaskCompletesAPendingWaitWithNoBits) {
    m_pDevice->SetMask(EV_RXCHAR);
    StartWait();
    m_pEvent->Wait(INFINITE);
    ASSERT_TRUE(StartWait());
    std::thread other([this] { m_pDevice->SetMask(EV_RXCHAR); });
    ASSERT_EQ(m_pEvent->Wait(INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(m_dwEvents, 0u);
    other.join();
}

TEST_F(SerialDeviceTest, UnwatchedArrivalsDoNotCompleteAWait) {
    m_pDevice->SetMask(EV_BREAK);
    StartWait();
    m_pEvent->Wait(INFINITE);
    ASSERT_TRUE(StartWait());
    ASSERT_TRUE(m_pty.Send("zzz"));
    EXPECT_EQ(m_pEvent->Wait(100), WAIT_TIMEOUT);
    m_pDevice->SetMask(EV_RXCHAR);
    ASSERT_EQ(m_pEvent->Wait(INFINITE), WAIT_OBJECT_0);
}

TEST_F(SerialDeviceTest, AHangUpCompletesEveryWaitWithDeviceGone) {
    m_pDevice->SetMask(EV_RXCHAR);
    StartWait();
    m_pEvent->Wait(INFINITE);
    ASSERT_TRUE(StartWait());
    m_pty.CloseMaster();
    ASSERT_EQ(m_pEvent->Wait(INFINITE), WAIT_OBJECT_0);
    EXPECT_NE(m_dwEvents & EV_KOVRA_DEVICE_GONE, 0u);

    EXPECT_FALSE(StartWait());
    EXPECT_EQ(m_dwEvents, EV_KOVRA_DEVICE_GONE);
    UseTimeouts(MAXDWORD, 0, 0);
    char buffer[8];
    DWORD nRead = 0;
    EXPECT_EQ(m_pDevice->Read(buffer, sizeof buffer, &nRead, nullptr), ERROR_GEN_FAILURE);
    EXPECT_EQ(nRead, 0u);
}

TEST_F(SerialDeviceTest, AWaitForTheFullCountCompletesWhenAllHaveArrived) {
    UseTimeouts(0, 0, 0);
    char buffer[10] = {};
    DWORD nRead = 0;
    ASSERT_TRUE(m_pty.Send("0123"));
    ASSERT_EQ(m_pDevice->Read(buffer, 10, &nRead, &m_record), ERROR_IO_PENDING);
    EXPECT_EQ(m_pEvent->Wait(50), WAIT_TIMEOUT);
    EXPECT_EQ(m_pDevice->GetOverlappedResult(&m_record, &nRead, false), ERROR_IO_INCOMPLETE);
    std::thread device([this] {
        m_pty.Send("456");
        m_pty.Send("789");
    });
    ASSERT_EQ(m_pDevice->GetOverlappedResult(&m_record, &nRead, true), ERROR_SUCCESS);
    EXPECT_EQ(nRead, 10u);
    EXPECT_EQ(std::string(buffer, 10), "0123456789");
    device.join();
}

TEST_F(SerialDeviceTest, CancellingAReadKeepsTheBytesItHadTaken) {
    UseTimeouts(0, 0, 0);
    char buffer[10] = {};
    DWORD nRead = 0;
    ASSERT_TRUE(m_pty.Send("abc"));
    ASSERT_EQ(m_pDevice->Read(buffer, 10, &nRead, &m_record), ERROR_IO_PENDING);
    ASSERT_EQ(m_pEvent->Wait(30), WAIT_TIMEOUT);
    ASSERT_EQ(m_pDevice->CancelIo(), ERROR_SUCCESS);
    EXPECT_EQ(m_pEvent->Wait(0), WAIT_OBJECT_0);
    EXPECT_EQ(m_pDevice->GetOverlappedResult(&m_record, &nRead, false), ERROR_OPERATION_ABORTED);
    EXPECT_EQ(nRead, 3u);
    EXPECT_EQ(std::string(buffer, 3), "abc");
}

TEST_F(SerialDeviceTest, ATotalTimeOutEndsAReadWithWhatCame) {
    UseTimeouts(0, 0, 40);
    char buffer[10] = {};
    DWORD nRead = 0;
    ASSERT_TRUE(m_pty.Send("xy"));
    EXPECT_EQ(m_pDevice->Read(buffer, 10, &nRead, nullptr), ERROR_SUCCESS);
    EXPECT_EQ(std::string(buffer, nRead), "xy");
}

// Counters a test moves, standing in for a UART's.
std::atomic<std::uint32_t> g_nFakeBreaks{0};
std::atomic<std::uint32_t> g_nFakeFrames{0};

int ReadFakeCounters(int, CLineCounters* pCounters) {
    *pCounters = CLineCounters{};
    pCounters->nBreak = g_nFakeBreaks;
    pCounters->nFrame = g_nFakeFrames;
    return 0;
}

TEST(SerialDeviceCountersTest, BreaksAndLineErrorsComeFromTheDriversCounters) {
    SetLineCounterReader(&ReadFakeCounters);
    CPtyPair pty;
    std::unique_ptr<CSerialDevice> pDevice;
    std::unique_ptr<CManualEvent> pEvent;
    ASSERT_EQ(CSerialDevice::Open(pty.PathText(), &pDevice), ERROR_SUCCESS);
    ASSERT_EQ(CManualEvent::Create(&pEvent), ERROR_SUCCESS);
    pDevice->SetMask(EV_RXCHAR | EV_BREAK | EV_ERR);
    OVERLAPPED record;
    record.hEvent = pEvent.get();
    DWORD dwEvents = 0;
    pDevice->WaitEvent(&dwEvents, &record);

    ASSERT_EQ(pDevice->WaitEvent(&dwEvents, &record), ERROR_IO_PENDING);
    ++g_nFakeBreaks;
    ++g_nFakeFrames;
    ASSERT_TRUE(pty.Send(std::string(1, '\0')));
    ASSERT_EQ(pEvent->Wait(INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(dwEvents, EV_RXCHAR | EV_BREAK | EV_ERR);

    DWORD dwErrors = 0;
    ASSERT_EQ(pDevice->ClearError(&dwErrors), ERROR_SUCCESS);
    EXPECT_EQ(dwErrors, CE_BREAK | CE_FRAME);
    ASSERT_EQ(pDevice->ClearError(&dwErrors), ERROR_SUCCESS);
    EXPECT_EQ(dwErrors, 0u);
    SetLineCounterReader(nullptr);
}

TEST(SerialDeviceCountersTest, APortWithoutCountersReportsNoLineErrors) {
    CPtyPair pty;
    std::unique_ptr<CSerialDevice> pDevice;
    ASSERT_EQ(CSerialDevice::Open(pty.PathText(), &pDevice), ERROR_SUCCESS);
    DWORD dwErrors = 0xFF;
    EXPECT_EQ(pDevice->ClearError(&dwErrors), ERROR_SUCCESS);
    EXPECT_EQ(dwErrors, 0u);
}

TEST(LineCountersTest, EachCounterMapsToItsBits) {
    const CLineCounters before;
    CLineCounters after;
    after.nOverrun = 1;
    EXPECT_EQ(LineEventsBetween(before, after), EV_ERR);
    EXPECT_EQ(LineErrorsBetween(before, after), CE_OVERRUN);
    after = CLineCounters{};
    after.nParity = 7;
    EXPECT_EQ(LineErrorsBetween(before, after), CE_RXPARITY);
    after = CLineCounters{};
    after.nBufferOverrun = 1;
    // An overflowing input buffer is an error to report, not a line-status event.
    EXPECT_EQ(LineEventsBetween(before, after), 0u);
    EXPECT_EQ(LineErrorsBetween(before, after), CE_RXOVER);
    EXPECT_EQ(LineEventsBetween(after, after), 0u);
}

} // namespace
