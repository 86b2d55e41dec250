#include "PortNames.h"
#include "BasicTypes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

bool OnlyTtyS0HasHardware(const std::string& strPath) {
    return strPath == "/dev/ttyS0";
}

class PortNamesTest : public ::testing::Test {
protected:
    void SetUp() override { ClearPortMappings(); }
    void TearDown() override { ClearPortMappings(); }

    static std::string Resolve(const char* szName) {
        std::string strPath = "unchanged";
        if (ResolvePortName(szName, &strPath) != ERROR_SUCCESS) {
            return strPath.empty() ? "<none>" : "<dirty>";
        }
        return strPath;
    }
};

TEST_F(PortNamesTest, UsbDevicesComeFirstInNumberOrder) {
    const std::vector<std::string> vFound = {
        "/dev/ttyS1", "/dev/ttyUSB10", "/dev/ttyACM0", "/dev/ttyUSB2",
        "/dev/ttyS0", "/dev/ttyUSB2",  "/dev/ttyAMA0",
    };
    const std::vector<std::string> vExpected = {
        "/dev/ttyACM0", "/dev/ttyUSB2", "/dev/ttyUSB10", "/dev/ttyAMA0", "/dev/ttyS0",
    };
    EXPECT_EQ(OrderPortDevices(vFound, &OnlyTtyS0HasHardware), vExpected);
}

std::vector<CFoundPort> Found(const std::vector<std::string>& vPaths) {
    std::vector<CFoundPort> vFound;
    for (const std::string& strPath : vPaths) {
        vFound.push_back({strPath, ""});
    }
    return vFound;
}

TEST_F(PortNamesTest, ComNamesFollowTheDetectedDevices) {
    SetDetectedPorts(Found({"/dev/ttyS0", "/dev/ttyUSB0"}), &OnlyTtyS0HasHardware);
    EXPECT_EQ(Resolve("COM1"), "/dev/ttyUSB0");
    EXPECT_EQ(Resolve("com2"), "/dev/ttyS0");
    EXPECT_EQ(Resolve("COM3"), "<none>");
    EXPECT_EQ(Resolve("COM0"), "<none>");
    EXPECT_EQ(Resolve("LPT1"), "<none>");
    EXPECT_EQ(Resolve(""), "<none>");
    EXPECT_EQ(Resolve(nullptr), "<none>");
    EXPECT_EQ(DescribePortName("COM1"), "COM1  (/dev/ttyUSB0)");
    EXPECT_EQ(DescribePortName("COM4"), "COM4  (none)");
}

TEST_F(PortNamesTest, AnExplicitMappingWinsUntilRemoved) {
    SetDetectedPorts(Found({"/dev/ttyUSB0"}), nullptr);
    ASSERT_TRUE(SetPortMapping("com1", "/dev/pts/7"));
    ASSERT_TRUE(SetPortMapping("COM4", "/tmp/board"));
    EXPECT_EQ(Resolve("COM1"), "/dev/pts/7");
    EXPECT_EQ(Resolve("COM4"), "/tmp/board");
    ASSERT_TRUE(SetPortMapping("COM1", nullptr));
    EXPECT_EQ(Resolve("COM1"), "/dev/ttyUSB0");
    // Detecting again keeps what the user asked for.
    SetDetectedPorts({}, nullptr);
    EXPECT_EQ(Resolve("COM4"), "/tmp/board");
}

// A board plugged in later is offered without moving the others: a name keeps its device
// while it is there, a new device takes the lowest free name, and mapped names stay put.
TEST_F(PortNamesTest, DetectingAgainMovesNoNameThatStillHasItsDevice) {
    SetDetectedPorts(Found({"/dev/ttyS0", "/dev/ttyUSB0"}), &OnlyTtyS0HasHardware);
    ASSERT_EQ(Resolve("COM1"), "/dev/ttyUSB0");
    ASSERT_EQ(Resolve("COM2"), "/dev/ttyS0");

    // A USB board would sort first, but the names taken stay taken.
    SetDetectedPorts(Found({"/dev/ttyS0", "/dev/ttyUSB0", "/dev/ttyACM0"}), &OnlyTtyS0HasHardware);
    EXPECT_EQ(Resolve("COM1"), "/dev/ttyUSB0");
    EXPECT_EQ(Resolve("COM2"), "/dev/ttyS0");
    EXPECT_EQ(Resolve("COM3"), "/dev/ttyACM0");

    // Unplugged: its name is free, and the next new device takes it.
    SetDetectedPorts(Found({"/dev/ttyS0", "/dev/ttyACM0"}), &OnlyTtyS0HasHardware);
    EXPECT_EQ(Resolve("COM1"), "<none>");
    EXPECT_EQ(Resolve("COM3"), "/dev/ttyACM0");
    SetDetectedPorts(Found({"/dev/ttyS0", "/dev/ttyACM0", "/dev/ttyACM1", "/dev/ttyUSB5"}),
                     &OnlyTtyS0HasHardware);
    EXPECT_EQ(Resolve("COM1"), "/dev/ttyACM1");
    EXPECT_EQ(Resolve("COM2"), "/dev/ttyS0");
    EXPECT_EQ(Resolve("COM3"), "/dev/ttyACM0");
    EXPECT_EQ(Resolve("COM4"), "/dev/ttyUSB5");

    // A mapped name is never given to a device, and a mapped device takes no second name.
    ClearPortMappings();
    ASSERT_TRUE(SetPortMapping("COM1", "/dev/ttyACM0"));
    SetDetectedPorts(Found({"/dev/ttyACM0", "/dev/ttyUSB0"}), nullptr);
    EXPECT_EQ(Resolve("COM1"), "/dev/ttyACM0");
    EXPECT_EQ(Resolve("COM2"), "/dev/ttyUSB0");
    EXPECT_EQ(Resolve("COM3"), "<none>");
    // Mapped after it was found, a device is offered under its mapped name only.
    ASSERT_TRUE(SetPortMapping("COM4", "/dev/ttyUSB0"));
    SetDetectedPorts(Found({"/dev/ttyACM0", "/dev/ttyUSB0"}), nullptr);
    EXPECT_EQ(Resolve("COM2"), "<none>");
    EXPECT_EQ(Resolve("COM4"), "/dev/ttyUSB0");
}

TEST_F(PortNamesTest, TheListShowsMakerAndProductOfADevice) {
    ASSERT_TRUE(SetPortMapping("COM3", "/dev/ttyACM0"));
    SetDetectedPorts({{"/dev/ttyACM0", "Arduino LLC, Arduino Uno"}, {"/dev/ttyS0", ""}},
                     &OnlyTtyS0HasHardware);
    EXPECT_EQ(DescribePortName("COM1"), "COM1  (/dev/ttyS0)");
    EXPECT_EQ(DescribePortName("COM3"), "COM3  (/dev/ttyACM0)  Arduino LLC, Arduino Uno");
    EXPECT_EQ(DescribePortName("COM2"), "COM2  (none)");
}

TEST_F(PortNamesTest, APathIsUsedAsItIs) {
    ASSERT_TRUE(SetPortMapping("COM1", "/dev/ttyACM0"));
    EXPECT_EQ(Resolve("/dev/ttyUSB3"), "/dev/ttyUSB3");
}

TEST_F(PortNamesTest, MappingsFromTheCommandLine) {
    EXPECT_TRUE(SetPortMappingFromText("COM2=/dev/ttyACM0"));
    EXPECT_EQ(Resolve("COM2"), "/dev/ttyACM0");
    for (const char* szBad : {"COM1", "=/dev/ttyS0", "COM1=", "COM1=ttyS0", "/dev/x=/dev/y"}) {
        EXPECT_FALSE(SetPortMappingFromText(szBad)) << szBad;
    }
    EXPECT_FALSE(SetPortMappingFromText(nullptr));
    EXPECT_EQ(Resolve("COM1"), "<none>");
}

} // namespace
