#pragma once

#include <string>
#include <vector>

// Port names as the user knows them ("COM1".."COM4") and the devices behind them.
//
// A name that begins with '/' is a device path, used as it is. Any other name is looked up
// without regard to case: an explicit mapping (SetPortMapping) wins; otherwise "COMn" is the
// device detection gave that name (SetDetectedPorts). Finding devices is the caller's business
// (PortDiscovery.h); it hands the list over here. All functions are thread-safe.

using SerialHardwareProbe = bool (*)(const std::string& strPath);

// A device as found on the system: its path and, for a USB device, its maker and product as
// the device reports them ("" when unknown), and what tells that board from every other: its
// serial number and the number of the interface the port belongs to ("" when it reports none).
struct CFoundPort {
    std::string strPath;
    std::string strDescription;
    std::string strUsbSerial = {};
    std::string strUsbInterface = {};
};

// Whether an on-board port (/dev/ttyS*) has a UART behind it, from sysfs or TIOCGSERIAL.
bool SerialHardwarePresent(const std::string& strPath) noexcept;

// The order in which found devices become COM1, COM2, ...: USB devices (ttyACM*, ttyUSB*)
// first, then the others, each group by name and then by number (ttyUSB2 before ttyUSB10).
// ttyS* devices without hardware are left out; duplicates are dropped.
std::vector<std::string> OrderPortDevices(const std::vector<std::string>& vFound,
                                          SerialHardwareProbe pfnProbe = &SerialHardwarePresent);
// Matches the names to the devices found now, so that a device plugged in later is offered
// too. A name keeps its device for as long as that device is found; a device found for the
// first time takes the lowest free name, in the order above. Names that have an explicit
// mapping, and the devices those name, take no part.
void SetDetectedPorts(const std::vector<CFoundPort>& vFound,
                      SerialHardwareProbe pfnProbe = &SerialHardwarePresent);

// Maps a name to a device path (absolute); an empty or null device removes the mapping. False
// for an empty name, a name beginning with '/', or a device that is not an absolute path.
bool SetPortMapping(const char* szName, const char* szDevice) noexcept;
// The same from "NAME=/dev/device", as given on the command line.
bool SetPortMappingFromText(const char* szMapping) noexcept;
// Forgets the explicit mappings and the detected devices.
void ClearPortMappings() noexcept;

// The device behind a name: 0, or 2 (file not found) when there is none.
int ResolvePortName(const char* szName, std::string* pstrPath) noexcept;
// "COM1  (/dev/ttyACM0)", with the device's maker and product when known
// ("COM1  (/dev/ttyACM0)  Arduino LLC, Arduino Uno"), or "COM1  (none)".
std::string DescribePortName(const char* szName);
