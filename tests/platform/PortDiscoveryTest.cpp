#include "PortDiscovery.h"
#include "FakeSysfs.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

std::vector<std::pair<std::string, std::string>> Sorted(const std::vector<CFoundPort>& vFound) {
    std::vector<std::pair<std::string, std::string>> vPairs;
    for (const CFoundPort& found : vFound) {
        vPairs.emplace_back(found.strPath, found.strDescription);
    }
    std::sort(vPairs.begin(), vPairs.end());
    return vPairs;
}

TEST(PortDiscoveryTest, FindsTtysWithADeviceAndTheirUsbMakerAndProduct) {
    CFakeSysfs sysfs;
    sysfs.AddUsbDevice("pci0/usb1/1-2", "Arduino LLC", "Arduino Uno");
    sysfs.AddTty("ttyACM0", "pci0/usb1/1-2/1-2:1.0", "ttyACM0");
    sysfs.AddUsbDevice("pci0/usb1/1-3", "FTDI", "");
    sysfs.AddTty("ttyUSB0", "pci0/usb1/1-3/1-3:1.0/ttyUSB0", "ttyUSB0");
    sysfs.AddTty("ttyS0", "platform/serial8250", "ttyS0");
    sysfs.AddTty("tty0", "", "tty0");
    sysfs.AddTty("board7", "platform/kovra", "pts/7");
    const std::vector<std::pair<std::string, std::string>> vExpected = {
        {"/dev/pts/7", ""},
        {"/dev/ttyACM0", "Arduino LLC, Arduino Uno"},
        {"/dev/ttyS0", ""},
        {"/dev/ttyUSB0", "FTDI"},
    };
    EXPECT_EQ(Sorted(FindSerialPorts(sysfs.Root().string())), vExpected);
    EXPECT_TRUE(FindSerialPorts("/tmp/kovra-no-such-sysfs").empty());
}

// The program looks again each time Port Setup opens: a board that appears is offered under
// a free name with what it reports, and the others keep theirs.
TEST(PortDiscoveryTest, ADeviceThatAppearsIsOfferedUnderAFreeName) {
    CFakeSysfs sysfs;
    ClearPortMappings();
    setenv("KOVRA_SYSFS_ROOT", sysfs.Root().c_str(), 1);
    sysfs.AddTty("ttyUSB3", "usb/3-1/3-1:1.0/ttyUSB3", "ttyUSB3");
    RediscoverPorts();
    const std::string strBefore = DescribePortName("COM1") + " / " + DescribePortName("COM2");
    sysfs.AddUsbDevice("usb/1-1", "Arduino LLC", "Arduino Uno");
    sysfs.AddTty("ttyACM0", "usb/1-1/1-1:1.0", "ttyACM0");
    RediscoverPorts();
    const std::string strAfter = DescribePortName("COM1") + " / " + DescribePortName("COM2");
    unsetenv("KOVRA_SYSFS_ROOT");
    ClearPortMappings();
    EXPECT_EQ(strBefore, "COM1  (/dev/ttyUSB3) / COM2  (none)");
    EXPECT_EQ(strAfter, "COM1  (/dev/ttyUSB3) / COM2  (/dev/ttyACM0)  Arduino LLC, Arduino Uno");
}

} // namespace
