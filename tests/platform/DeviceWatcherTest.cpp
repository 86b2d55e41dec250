#include "DeviceWatcher.h"
#include "FakeSysfs.h"
#include "PtyPair.h"
#include "ScratchDirectory.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <poll.h>
#include <unistd.h>

namespace {

// Waits at most five seconds for the watcher to say the device is back, as an event loop does:
// Drain when its descriptor is readable.
bool WaitForReturn(CDeviceWatcher& watcher, std::string* pstrPath) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!watcher.Drain(pstrPath)) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            end - std::chrono::steady_clock::now());
        pollfd pfd{watcher.GetFd(), POLLIN, 0};
        if (left.count() <= 0 || poll(&pfd, 1, static_cast<int>(left.count())) <= 0) {
            return false;
        }
    }
    return true;
}

// "pts/3" for "/dev/pts/3": a node's DEVNAME.
std::string DevName(const CPtyPair& pty) {
    return pty.Path().substr(5);
}

class DeviceWatcherTest : public ::testing::Test {
protected:
    SDeviceRoots Roots() const { return {m_sysfs.Root().string(), m_dir.PathOf("serial/by-id")}; }

    CFakeSysfs m_sysfs;
    CScratchDirectory m_dir;
    CDeviceWatcher m_watcher;
    std::string m_strPath;
};

// kovra-devsim --link: the board comes back on a new pseudo-terminal and the link is made
// again. A pseudo-terminal that merely gets the old number is somebody else's.
TEST_F(DeviceWatcherTest, ALinkToAPseudoTerminalIsBackWhenTheLinkIsMadeAgain) {
    const std::string strLink = m_dir.PathOf("board");
    auto pBoard = std::make_unique<CPtyPair>();
    ASSERT_EQ(symlink(pBoard->PathText(), strLink.c_str()), 0);
    const SDeviceIdentity identity = IdentifyDevice(strLink, Roots());
    EXPECT_TRUE(identity.bLink && identity.bPseudoTerminal);

    ASSERT_EQ(m_watcher.Start(identity), 0);
    EXPECT_FALSE(m_watcher.Drain(&m_strPath)) << "still the device that went away";
    pBoard.reset();
    const CPtyPair stranger;
    EXPECT_FALSE(m_watcher.Drain(&m_strPath)) << m_strPath;

    const CPtyPair board;
    ASSERT_EQ(symlink(board.PathText(), (strLink + ".new").c_str()), 0);
    ASSERT_EQ(rename((strLink + ".new").c_str(), strLink.c_str()), 0);
    ASSERT_TRUE(WaitForReturn(m_watcher, &m_strPath));
    EXPECT_EQ(m_strPath, strLink);
}

// Without a serial number or a stable name the path is the device: back when a node is there
// again after it went. A pseudo-terminal by its own path never is: whoever opens the next
// terminal may get its number.
TEST_F(DeviceWatcherTest, APathIsBackWhenANodeIsThereAgainUnlessItIsAPseudoTerminal) {
    // /dev/ttyUSB0 going and coming back, played by a name made again in a folder of its own.
    const std::string strDevice = m_dir.PathOf("ttyUSB0");
    auto pBoard = std::make_unique<CPtyPair>();
    ASSERT_EQ(symlink(pBoard->PathText(), strDevice.c_str()), 0);
    SDeviceIdentity device = IdentifyDevice(strDevice, Roots());
    device.bLink = false;
    device.bPseudoTerminal = false;
    ASSERT_EQ(m_watcher.Start(device), 0);
    EXPECT_FALSE(m_watcher.Drain(&m_strPath));
    ASSERT_EQ(unlink(strDevice.c_str()), 0);
    pBoard.reset();
    EXPECT_FALSE(m_watcher.Drain(&m_strPath));
    const CPtyPair board;
    ASSERT_EQ(symlink(board.PathText(), strDevice.c_str()), 0);
    ASSERT_TRUE(WaitForReturn(m_watcher, &m_strPath));
    EXPECT_EQ(m_strPath, strDevice);

    auto pTerminal = std::make_unique<CPtyPair>();
    ASSERT_EQ(m_watcher.Start(IdentifyDevice(pTerminal->Path(), Roots())), 0);
    EXPECT_FALSE(m_watcher.Drain(&m_strPath));
    pTerminal.reset();
    const CPtyPair stranger; // most often given the number that was just freed
    EXPECT_FALSE(m_watcher.Drain(&m_strPath)) << "took " << stranger.Path();
}

// A board with a USB serial number is known by it, under whatever name it comes back; another
// board is not it.
TEST_F(DeviceWatcherTest, ABoardWithASerialNumberIsKnownByIt) {
    m_sysfs.AddUsbDevice("usb1/1-1", "Kovra", "Board", "K0VRA-17");
    m_sysfs.AddUsbDevice("usb1/1-2", "Kovra", "Board", "K0VRA-18");
    auto pBoard = std::make_unique<CPtyPair>();
    m_sysfs.AddTty("ttyACM0", "usb1/1-1/1-1:1.0", DevName(*pBoard));
    const SDeviceIdentity identity = IdentifyDevice(pBoard->Path(), Roots());
    EXPECT_EQ(identity.strUsbSerial, "K0VRA-17");

    ASSERT_EQ(m_watcher.Start(identity), 0);
    EXPECT_FALSE(m_watcher.Drain(&m_strPath));
    m_sysfs.RemoveTty("ttyACM0");
    pBoard.reset();
    const CPtyPair other;
    m_sysfs.AddTty("ttyACM1", "usb1/1-2/1-2:1.0", DevName(other));
    EXPECT_FALSE(m_watcher.Drain(&m_strPath)) << m_strPath;

    const CPtyPair board;
    m_sysfs.AddTty("ttyACM2", "usb1/1-1/1-1:1.0", DevName(board));
    ASSERT_TRUE(WaitForReturn(m_watcher, &m_strPath));
    EXPECT_EQ(m_strPath, board.Path());
}

// udev removes /dev/serial/by-id with its last name and makes both again.
TEST_F(DeviceWatcherTest, ADeviceWithAStableNameIsBackWhenTheNameIs) {
    const std::string strById = m_dir.PathOf("serial/by-id/usb-Kovra_Board-if00");
    std::filesystem::create_directories(m_dir.PathOf("serial/by-id"));
    auto pBoard = std::make_unique<CPtyPair>();
    ASSERT_EQ(symlink(pBoard->PathText(), strById.c_str()), 0);
    const SDeviceIdentity identity = IdentifyDevice(pBoard->Path(), Roots());
    EXPECT_EQ(identity.strById, strById);

    ASSERT_EQ(m_watcher.Start(identity), 0);
    pBoard.reset();
    std::filesystem::remove_all(m_dir.PathOf("serial"));
    EXPECT_FALSE(m_watcher.Drain(&m_strPath));
    const CPtyPair board;
    EXPECT_FALSE(m_watcher.Drain(&m_strPath)) << "not before its name";

    std::filesystem::create_directories(m_dir.PathOf("serial/by-id"));
    ASSERT_EQ(symlink(board.PathText(), strById.c_str()), 0);
    ASSERT_TRUE(WaitForReturn(m_watcher, &m_strPath));
    EXPECT_EQ(m_strPath, strById);
}

} // namespace
