#include "SerialDevice.h"
#include "KernelTtySpeed.h"
#include "LineSettings.h"
#include "PlatformError.h"
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
    // The detail a user is told: not a terminal.
    EXPECT_EQ(LastSystemErrno(), ENOTTY);
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
    DCB back;
    ASSERT_EQ(m_pDevice->GetState(&back), ERROR_SUCCESS);
    EXPECT_TRUE(back.fParity);

    dcb.BaudRate = 2400;
    dcb.Parity = NOPARITY;
    dcb.fParity = false;
    dcb.StopBits = ONESTOPBIT;
    ASSERT_EQ(m_pDevice->SetState(dcb), ERROR_SUCCESS);
    tio = m_pty.Settings();
    EXPECT_EQ(cfgetospeed(&tio), static_cast<speed_t>(B2400));
    EXPECT_EQ(tio.c_cflag & (PARODD | CSTOPB), 0u);
    // Bad bytes are dropped on the device itself, whatever the parity.
    EXPECT_EQ(tio.c_iflag & (IGNBRK | IGNPAR | INPCK | BRKINT | PARMRK),
              static_cast<tcflag_t>(IGNBRK | IGNPAR | INPCK));
    ASSERT_EQ(m_pDevice->GetState(&back), ERROR_SUCCESS);
    EXPECT_EQ(back.BaudRate, 2400u);
    EXPECT_EQ(back.StopBits, ONESTOPBIT);
    EXPECT_FALSE(back.fParity);
}

TEST(LineSettingsTest, EverySettingSurvivesTheTripThroughATtyState) {
    for (const DWORD dwBaud : {2400u, 9600u, 57600u, 115200u, 250000u, 12345u, 3000000u}) {
        for (BYTE nSize = 5; nSize <= 8; ++nSize) {
            for (BYTE nParity = NOPARITY; nParity <= SPACEPARITY; ++nParity) {
                for (const BYTE nStop : {ONESTOPBIT, TWOSTOPBITS}) {
                    DCB dcb;
                    dcb.BaudRate = dwBaud;
                    dcb.ByteSize = nSize;
                    dcb.Parity = nParity;
                    dcb.StopBits = nStop;
                    ASSERT_EQ(CheckLineSettings(dcb), ERROR_SUCCESS);
                    CTtyState state;
                    LineSettingsToState(dcb, &state);
                    DCB back;
                    LineSettingsFromState(state, &back);
                    EXPECT_EQ(back.BaudRate, dwBaud);
                    EXPECT_EQ(back.ByteSize, nSize);
                    EXPECT_EQ(back.Parity, nParity);
                    EXPECT_EQ(back.StopBits, nStop);
                }
            }
        }
    }
    DCB dcb;
    for (const DWORD dwBad : {0u, kMaxLineSpeed + 1}) {
        dcb.BaudRate = dwBad;
        EXPECT_EQ(CheckLineSettings(dcb), ERROR_INVALID_PARAMETER) << dwBad;
    }
}

// Left to a plain raw mode, a UART hands in a break, and a byte with a framing or parity
// error, as a NUL byte (termios(3)): numbers would be split or made up. They are dropped, with
// or without a parity check, and never escaped into the data (PARMRK).
TEST(LineSettingsTest, BreaksAndBadBytesNeverReachTheData) {
    constexpr tcflag_t kDrop = IGNBRK | IGNPAR | INPCK;
    constexpr tcflag_t kNever = BRKINT | PARMRK | ISTRIP;
    CTtyState state;
    state.nIflag = kNever | ICRNL | IXON;
    MakeRawState(&state);
    EXPECT_EQ(state.nIflag & (kDrop | kNever), kDrop);
    for (const bool bParity : {false, true}) {
        DCB dcb;
        dcb.BaudRate = 9600;
        dcb.Parity = bParity ? EVENPARITY : NOPARITY;
        dcb.fParity = bParity;
        state.nIflag |= kNever;
        LineSettingsToState(dcb, &state);
        EXPECT_EQ(state.nIflag & (kDrop | kNever), kDrop) << bParity;
        EXPECT_EQ((state.nCflag & PARENB) != 0, bParity);
    }
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

// Bytes the listener took off the port before the device went away are read first, with
// success; the failure comes with the next read.
TEST_F(SerialDeviceTest, BytesTakenBeforeAHangUpAreReadBeforeTheFailure) {
    m_pDevice->SetMask(EV_RXCHAR);
    StartWait();
    m_pEvent->Wait(INFINITE);
    ASSERT_TRUE(StartWait());
    ASSERT_TRUE(m_pty.Send("abc"));
    ASSERT_EQ(m_pEvent->Wait(INFINITE), WAIT_OBJECT_0);
    ASSERT_EQ(m_dwEvents, EV_RXCHAR);
    m_pty.CloseMaster();
    UseTimeouts(MAXDWORD, 0, 0);
    char buffer[8] = {};
    DWORD nRead = 0;
    EXPECT_EQ(m_pDevice->Read(buffer, sizeof buffer, &nRead, nullptr), ERROR_SUCCESS);
    EXPECT_EQ(std::string(buffer, nRead), "abc");
    EXPECT_EQ(m_pDevice->Read(buffer, sizeof buffer, &nRead, nullptr), ERROR_GEN_FAILURE);
    EXPECT_EQ(nRead, 0u);
}

// Once the listener's buffer is full, the rest waits in the port; the port then waking its
// readers without bringing anything (a change of the line settings does) is no new input.
TEST_F(SerialDeviceTest, AQueueThatDidNotGrowIsNoNewInput) {
    m_pDevice->SetMask(EV_RXCHAR);
    bool bPending = false;
    // One step of a listener: true when a wait completed.
    const auto listen = [&](DWORD dwMs) {
        if (!bPending && !StartWait()) {
            return true;
        }
        bPending = m_pEvent->Wait(dwMs) != WAIT_OBJECT_0;
        return !bPending;
    };
    std::atomic<bool> bSending{true};
    std::thread device([&] {
        m_pty.Send(std::string(CSerialDevice::kDrainLimit + 4096, 'x'));
        bSending = false;
    });
    while (bSending) {
        listen(20);
    }
    device.join();
    while (listen(200)) {
    }
    ASSERT_TRUE(bPending);
    DCB dcb;
    ASSERT_EQ(m_pDevice->GetState(&dcb), ERROR_SUCCESS);
    ASSERT_EQ(m_pDevice->SetState(dcb), ERROR_SUCCESS);
    EXPECT_EQ(m_pEvent->Wait(200), WAIT_TIMEOUT) << m_dwEvents;
    // Nothing of it is lost.
    UseTimeouts(MAXDWORD, 0, 0);
    std::string strRead(CSerialDevice::kDrainLimit + 8192, '\0');
    std::size_t nTotal = 0;
    for (DWORD nRead = 1; nRead > 0 && nTotal < strRead.size();) {
        ASSERT_EQ(m_pDevice->Read(strRead.data() + nTotal,
                                  static_cast<DWORD>(strRead.size() - nTotal), &nRead, nullptr),
                  ERROR_SUCCESS);
        nTotal += nRead;
    }
    EXPECT_EQ(nTotal, CSerialDevice::kDrainLimit + 4096);
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
    // The port drops breaks and bad bytes, and still learns of them from the counters.
    EXPECT_EQ(pty.Settings().c_iflag & (IGNBRK | IGNPAR | INPCK | BRKINT | PARMRK),
              static_cast<tcflag_t>(IGNBRK | IGNPAR | INPCK));
    pDevice->SetMask(EV_RXCHAR | EV_BREAK | EV_ERR);
    OVERLAPPED record;
    record.hEvent = pEvent.get();
    DWORD dwEvents = 0;
    pDevice->WaitEvent(&dwEvents, &record);

    ASSERT_EQ(pDevice->WaitEvent(&dwEvents, &record), ERROR_IO_PENDING);
    ++g_nFakeBreaks;
    ++g_nFakeFrames;
    ASSERT_TRUE(pty.Send("7"));
    ASSERT_EQ(pEvent->Wait(INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(dwEvents, EV_RXCHAR | EV_BREAK | EV_ERR);

    DWORD dwErrors = 0;
    ASSERT_EQ(pDevice->ClearError(&dwErrors), ERROR_SUCCESS);
    EXPECT_EQ(dwErrors, CE_BREAK | CE_FRAME);
    ASSERT_EQ(pDevice->ClearError(&dwErrors), ERROR_SUCCESS);
    EXPECT_EQ(dwErrors, 0u);
    SetLineCounterReader(nullptr);
}

// Speeds without a B constant go through termios2; the kernel is asked what it holds.
TEST_F(SerialDeviceTest, AnySpeedReachesTheDeviceAndReadsBack) {
    DCB dcb;
    ASSERT_EQ(m_pDevice->GetState(&dcb), ERROR_SUCCESS);
    for (const DWORD dwBaud : {250000u, 115200u, 31250u, 2000000u, 9600u}) {
        dcb.BaudRate = dwBaud;
        ASSERT_EQ(m_pDevice->SetState(dcb), ERROR_SUCCESS) << dwBaud;
        EXPECT_EQ(KernelTtySpeed(m_pty.Slave()), dwBaud);
        DCB back;
        ASSERT_EQ(m_pDevice->GetState(&back), ERROR_SUCCESS);
        EXPECT_EQ(back.BaudRate, dwBaud);
    }
    // A speed with a B constant is set as that, for programs that know no other.
    dcb.BaudRate = 115200;
    ASSERT_EQ(m_pDevice->SetState(dcb), ERROR_SUCCESS);
    const termios tio = m_pty.Settings();
    EXPECT_EQ(cfgetospeed(&tio), static_cast<speed_t>(B115200));
    EXPECT_EQ(cfgetispeed(&tio), static_cast<speed_t>(B115200));
}

// A driver that cannot do a speed takes another without an error, as a UART's does above its
// clock; this one runs every speed at most at 115200 and a little fast.
int WriteClampedToDriver(int hFd, const CTtyState& state) {
    CTtyState clamped = state;
    if (clamped.dwOutSpeed > 115200) {
        clamped.dwOutSpeed = 115200;
    } else if (clamped.dwOutSpeed == 100000) {
        clamped.dwOutSpeed = 102000; // 2 % off: still talks
    }
    return WriteTtyStateToDriver(hFd, clamped);
}

TEST_F(SerialDeviceTest, ASpeedTheDriverDoesNotTakeIsRefusedAndTheOldOneStays) {
    DCB dcb;
    ASSERT_EQ(m_pDevice->GetState(&dcb), ERROR_SUCCESS);
    dcb.BaudRate = 57600;
    ASSERT_EQ(m_pDevice->SetState(dcb), ERROR_SUCCESS);
    SetTtyStateWriter(&WriteClampedToDriver);
    dcb.BaudRate = 250000;
    dcb.StopBits = TWOSTOPBITS;
    const int nRefused = m_pDevice->SetState(dcb);
    const int nErrno = LastSystemErrno();
    dcb.BaudRate = 100000;
    const int nNear = m_pDevice->SetState(dcb);
    const unsigned nNearSpeed = KernelTtySpeed(m_pty.Slave());
    SetTtyStateWriter(nullptr);
    EXPECT_EQ(nRefused, ERROR_INVALID_PARAMETER);
    EXPECT_EQ(nErrno, ERANGE);
    EXPECT_EQ(nNear, ERROR_SUCCESS);
    EXPECT_EQ(nNearSpeed, 102000u);
    dcb.BaudRate = 57600;
    dcb.StopBits = ONESTOPBIT;
    ASSERT_EQ(m_pDevice->SetState(dcb), ERROR_SUCCESS);
    SetTtyStateWriter(&WriteClampedToDriver);
    dcb.BaudRate = 250000;
    dcb.StopBits = TWOSTOPBITS;
    m_pDevice->SetState(dcb);
    SetTtyStateWriter(nullptr);
    EXPECT_EQ(KernelTtySpeed(m_pty.Slave()), 57600u);
    EXPECT_EQ(m_pty.Settings().c_cflag & CSTOPB, 0u);
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
