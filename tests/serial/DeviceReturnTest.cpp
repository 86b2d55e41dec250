#include "DeviceReturn.h"
#include "PortConnection.h"
#include "PortNames.h"
#include "ScratchDirectory.h"
#include "SerialTestSupport.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

namespace {

// kovra-devsim playing a board that is re-flashed: it goes away and comes back on another
// pseudo-terminal under the same link.
class CReflashedBoard {
public:
    explicit CReflashedBoard(const std::string& strLink) {
        int hOut[2] = {-1, -1};
        if (pipe2(hOut, O_CLOEXEC) != 0) {
            return;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, hOut[1], STDOUT_FILENO);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        const char* const argv[] = {
            KOVRA_DEVSIM,        "--rate", "100",    "--hang-up-after", "0.4",
            "--come-back-after", "0.4",    "--link", strLink.c_str(),   nullptr};
        posix_spawn(&m_nPid, KOVRA_DEVSIM, &actions, nullptr, const_cast<char* const*>(argv),
                    environ);
        posix_spawn_file_actions_destroy(&actions);
        close(hOut[1]);
        // The link is there once the port's path is printed. The pipe stays open for the
        // paths that follow.
        m_hOut = hOut[0];
        char c = 0;
        while (read(m_hOut, &c, 1) == 1 && c != '\n') {
        }
    }
    ~CReflashedBoard() {
        if (m_nPid > 0) {
            kill(m_nPid, SIGTERM);
            waitpid(m_nPid, nullptr, 0);
        }
        close(m_hOut);
    }
    CReflashedBoard(const CReflashedBoard&) = delete;
    CReflashedBoard& operator=(const CReflashedBoard&) = delete;

private:
    pid_t m_nPid = -1;
    int m_hOut = -1;
};

// What the program does with "Reconnect When the Board Returns": on the device-gone notice it
// starts watching, closes the port, and connects again with the same settings once the board
// is back.
TEST(DeviceReturnTest, ABoardReflashedUnderALinkIsSeenBackAndConnectedAgain) {
    CScratchDirectory dir;
    const std::string strLink = dir.PathOf("board");
    const CReflashedBoard devsim(strLink);
    ClearPortMappings();
    ASSERT_TRUE(SetPortMapping("COM1", strLink.c_str()));
    CSerialWnd serial;
    CMessageQueue queue;
    std::string strReason;
    const CPortSelection selection;
    SConnection connection;
    ASSERT_TRUE(ConnectChosenPort(serial, &queue, selection, &strReason, &connection)) << strReason;
    EXPECT_EQ(connection.strDevice, strLink);

    CMessage message;
    bool bGone = false;
    while (!bGone && queue.Get(&message, 10000)) {
        bGone = (LOWORD(message.wParam) & EV_KOVRA_DEVICE_GONE) != 0;
    }
    ASSERT_TRUE(bGone);
    EXPECT_TRUE(serial.IsCurrentConnection(message.lParam));
    CDeviceWatcher watcher;
    ASSERT_EQ(watcher.Start(connection.identity), 0);
    serial.Close();
    EXPECT_FALSE(watcher.Drain(&strReason));

    std::string strPath;
    ASSERT_TRUE(WaitForReturn(watcher, &strPath));
    EXPECT_EQ(strPath, strLink);
    SConnection again;
    ASSERT_TRUE(ReconnectPort(serial, &queue, strPath, selection, &strReason, &again)) << strReason;
    EXPECT_NE(again.lNumber, connection.lNumber);
    EXPECT_NE(ReadNotified(serial, queue, 20).find('#'), std::string::npos);
    serial.Close();
    ClearPortMappings();
}

} // namespace
