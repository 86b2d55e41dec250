#pragma once

#include <string>
#include <vector>

// Port names as the user knows them ("COM1".."COM4") and the devices behind them.
//
// A name that begins with '/' is a device path, used as it is. Any other name is looked up
// without regard to case: an explicit mapping (SetPortMapping) wins; otherwise "COMn" is the
// n-th detected device (SetDetectedPorts). Enumerating devices is the caller's business; it
// hands the list over here. All functions are thread-safe.

using SerialHardwareProbe = bool (*)(const std::string& strPath);

// Whether an on-board port (/dev/ttyS*) has a UART behind it, from sysfs or TIOCGSERIAL.
bool SerialHardwarePresent(const std::string& strPath) noexcept;

// The order in which found devices become COM1, COM2, ...: USB devices (ttyACM*, ttyUSB*)
// first, then the others, each group by name and then by number (ttyUSB2 before ttyUSB10).
// ttyS* devices without hardware are left out; duplicates are dropped.
std::vector<std::string> OrderPortDevices(const std::vector<std::string>& vFound,
                                          SerialHardwareProbe pfnProbe = &SerialHardwarePresent);
// Replaces the detected devices with vFound, ordered as above.
void SetDetectedPorts(const std::vector<std::string>& vFound,
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
// "COM1  (/dev/ttyACM0)", or "COM1  (none)" when nothing is behind the name.
std::string DescribePortName(const char* szName);
